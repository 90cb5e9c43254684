// The Recycle Bin as the shell shows it, for tests of replaced files; and, under Wine,
// where it is the desktop's trash folder, removing the tests' items again.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace kvtest {

// Names of the items in the Recycle Bin as the shell shows them.
inline std::vector<std::wstring> RecycleBinNames() {
    std::vector<std::wstring> names;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellFolder* desktop = nullptr;
    LPITEMIDLIST bin = nullptr;
    IShellFolder* folder = nullptr;
    IEnumIDList* items = nullptr;
    if (SUCCEEDED(::SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin)) &&
        SUCCEEDED(desktop->BindToObject(bin, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))) &&
        folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS | SHCONTF_FOLDERS, &items) == S_OK) {
        LPITEMIDLIST item = nullptr;
        ULONG got = 0;
        while (items->Next(1, &item, &got) == S_OK) {
            STRRET name{};
            wchar_t text[MAX_PATH] = {};
            if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &name)) &&
                SUCCEEDED(::StrRetToBufW(&name, item, text, MAX_PATH)))
                names.push_back(text);
            ::CoTaskMemFree(item);
        }
    }
    if (items) items->Release();
    if (folder) folder->Release();
    if (bin) ::CoTaskMemFree(bin);
    if (desktop) desktop->Release();
    if (SUCCEEDED(com)) ::CoUninitialize();
    return names;
}

inline bool InRecycleBin(const std::wstring& name) {
    for (const std::wstring& item : RecycleBinNames())
        if (item == name) return true;
    return false;
}

// Under Wine the Recycle Bin is the desktop's trash folder: empty our items out again.
inline void RemoveFromTrash(const std::wstring& name) {
    wchar_t home[MAX_PATH] = {};  // Wine gives the home folder as \??\Z:\...
    if (!::GetEnvironmentVariableW(L"WINEHOMEDIR", home, MAX_PATH) || std::wcsncmp(home, L"\\??\\", 4) != 0) return;
    const std::wstring base = std::wstring(home + 4) + L"\\.local\\share\\Trash\\";
    ::DeleteFileW((base + L"files\\" + name).c_str());
    ::DeleteFileW((base + L"info\\" + name + L".trashinfo").c_str());
}

// A name no other test run uses, so the bin's items can be told apart.
inline std::wstring UniqueName(const std::wstring& stem) {
    return stem + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
}

}  // namespace kvtest
