// Libraries of the platform that are not loaded at start-up, taken from the system folder only.
//
// Our programs import only libraries that Windows always takes from the system folder (the
// known DLLs; the common controls come from the side-by-side store through the manifest).
// Any other library is loaded here, on first use, from the system folder and nowhere else, so
// that a file of the same name in the program's folder, the current folder or the temporary
// folder (all of which users may be able to write to) is never loaded.
#pragma once

#include <windows.h>

namespace kv::win {

// Called first thing in each program's WinMain, before any COM, common dialog or shell
// call: a library loaded by bare name from then on comes from the system folder only, and
// the current folder is no longer searched. Users may create files in the installation
// folder, so a library of theirs beside the program is never loaded. False when the system
// lacks the search flags (the current folder is taken out all the same).
bool RestrictLibrarySearch();

// The library from the system folder (e.g. L"version.dll", L"winspool.drv"), or nullptr with
// the reason in GetLastError. Loaded once; it stays loaded until the process ends.
HMODULE LoadSystemLibrary(const wchar_t* name);

// One exported function of a system library, or nullptr (reason in GetLastError).
FARPROC SystemProcAddress(const wchar_t* library, const char* procedure);

template <typename F>
F SystemProc(const wchar_t* library, const char* procedure) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(SystemProcAddress(library, procedure)));
}

}  // namespace kv::win
