// How the programs start: the library search they set first thing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "scripted_dialogs.h"
#include "test_files.h"
#include "win/system_library.h"

namespace kvtest {
namespace {

std::wstring ProgramFolderOfTest() {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder = exe;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

bool LoadsByBareName(const std::wstring& name) {
    HMODULE module = ::LoadLibraryW(name.c_str());
    if (module) ::FreeLibrary(module);
    return module != nullptr;
}

}  // namespace

// A library of the program's folder or the current folder (both may be writable by users)
// is found by bare name until the search is restricted, and never after.
TEST(LibrarySearch, ProbesBesideTheProgramAndInTheCurrentFolderAreNoLongerLoaded) {
    const std::wstring here = ProgramFolderOfTest();
    const std::wstring temp = FreshTempPath(L"kvprobe");
    MakeFolder(temp);
    const std::wstring besideName = L"kvprobe-beside-" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
    const std::wstring currentName = L"kvprobe-current-" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
    // Our placeholder component is a real library that does nothing when loaded.
    ASSERT_TRUE(::CopyFileW((here + L"\\COMDLG32.OCX").c_str(), (here + L"\\" + besideName).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((here + L"\\COMDLG32.OCX").c_str(), (temp + L"\\" + currentName).c_str(), FALSE));
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    ::SetCurrentDirectoryW(temp.c_str());

    EXPECT_TRUE(LoadsByBareName(besideName));
    EXPECT_TRUE(LoadsByBareName(currentName));
    const bool restricted = kv::win::RestrictLibrarySearch();
    EXPECT_TRUE(restricted);
    EXPECT_FALSE(LoadsByBareName(besideName));
    EXPECT_FALSE(LoadsByBareName(currentName));
    EXPECT_TRUE(LoadsByBareName(L"version.dll"));  // the system folder's still are

    ::SetCurrentDirectoryW(saved);
    ::DeleteFileW((here + L"\\" + besideName).c_str());
    RemoveAll(temp);
}

}  // namespace kvtest
