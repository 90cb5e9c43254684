// A package and a computer laid out in real folders under a fresh temporary folder: the
// package (Setup's folder with its "Support" files), a system folder, a program-files
// folder, the desktops and Start Menus of a user and of all users. Setup's host points at
// them; registrations, the start of the installed program and the beep are recorded and
// pauses only let messages run, so a whole installation runs in-process in a moment.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_dialogs.h"
#include "setup/AppFunctions.h"
#include "test_files.h"

namespace kvtest {

inline std::string ReadAll(const std::wstring& path) { return ReadText(path); }

// The computer's real folder of user profiles (the one Setup's guard knows).
std::wstring UsersFolder();
// An installation folder below `root` one character longer than the uninstaller can start from.
std::wstring TooLong(const std::wstring& root);

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The licence page as Setup starts, the tick, Continue: the welcome page is up.
    void StartAndAcceptLicence();
    // Continue on the welcome page: the prerequisite phase, then the options page.
    void ContinueWelcome();
    // Continue on the options page: the installation runs to its end.
    void ContinueOptions();
    // All three, with the options page left as it comes up unless `folder` is given.
    void InstallInto(const std::wstring& folder = {});

    std::wstring root, package, support, system, programFiles, desktop, programs, commonDesktop, commonPrograms;
    kv::setup::SpecialFolders folders;
    ScriptedDialogs dialogs;
    std::vector<std::wstring> registered;  // command lines
    std::vector<std::wstring> started;     // programs started at the end
    std::vector<int> pauses;
    int beeps = 0;
    int lastUnloads = 0;  // how often the last window went away
    static constexpr const wchar_t* kEntryKey = L"Software\\KorvaneTests\\Uninstall\\Korvane";
};

}  // namespace kvtest
