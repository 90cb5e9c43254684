#include "win/system_library.h"

#include <string>

namespace kv::win {

bool RestrictLibrarySearch() {
    // Looked up, not imported: Windows 7 has it only with its loader update.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    const bool restricted = setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");  // the current folder out of the search
    return restricted;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    // A module loaded before is found again by the loader and only counted once more; we
    // never free it, so the count does not matter.
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;

    // A system without the search flags (Windows 7 before its loader update): the full path
    // into the system folder is just as exact.
    wchar_t folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, n) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC SystemProcAddress(const wchar_t* library, const char* procedure) {
    HMODULE module = LoadSystemLibrary(library);
    return module ? ::GetProcAddress(module, procedure) : nullptr;
}

}  // namespace kv::win
