// How the programs start: the library search they set first thing, and the installed
// program started as the user at the desktop.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "scripted_dialogs.h"
#include "setup/AppFunctions.h"
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

// Waits for a file that a started program writes; false when it never comes.
bool AppearsWithin(const std::wstring& path, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (FileThere(path) && !ReadText(path).empty()) return true;
        ::Sleep(100);
    }
    return false;
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

// The program Setup starts at the end runs in the folder given, through the desktop's shell
// where it can be asked, else started by Setup itself.
TEST(StartAsDesktopUser, ThroughTheShellWhereItAnswersAndDirectlyOtherwise) {
    const std::wstring folder = FreshTempPath(L"kvstart");
    MakeFolder(folder);
    // A batch file in place of the program: it writes the folder it runs in.
    WriteAll(folder + L"\\probe.cmd", "@cd > \"%~dp0ran.txt\"\r\n");
    for (const bool askShell : {false, true}) {
        ::DeleteFileW((folder + L"\\ran.txt").c_str());
        const auto how = kv::setup::StartAsDesktopUser(folder + L"\\probe.cmd", folder, askShell);
        // The tests run at a desktop whose shell answers (Explorer; under Wine its explorer,
        // which keeps no shell window of its own, so there is nothing cheaper to ask first).
        EXPECT_EQ(how, askShell ? kv::setup::StartedThrough::DesktopShell : kv::setup::StartedThrough::Directly);
        std::printf("(started %s)\n", how == kv::setup::StartedThrough::DesktopShell ? "through the desktop's shell"
                                      : how == kv::setup::StartedThrough::Directly   ? "by Setup itself"
                                                                                     : "not at all");
        ASSERT_TRUE(AppearsWithin(folder + L"\\ran.txt", 30)) << "askShell " << askShell;
        std::string ranIn = ReadText(folder + L"\\ran.txt");
        while (!ranIn.empty() && (ranIn.back() == '\n' || ranIn.back() == '\r' || ranIn.back() == ' ')) ranIn.pop_back();
        EXPECT_EQ(_stricmp(ranIn.c_str(), Narrow(folder).c_str()), 0) << ranIn;
    }
    RemoveAll(folder);
}

}  // namespace kvtest
