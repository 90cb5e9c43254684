// A whole installation built in real folders under a fresh temporary folder: the
// installation folder, a temporary folder, desktops and Start Menus of a user and of all
// users, an installed-programs entry in the registry, and the uninstaller's host pointed at
// them. The removal then runs in-process; the copy is never started and the batch file's
// start is recorded instead.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scripted_dialogs.h"
#include "test_files.h"
#include "uninstaller/AppFunctions.h"

namespace kvtest {

std::vector<std::uint8_t> ReadAll(const std::wstring& path);

class Uninstall : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The installation Setup makes: four program files, the users' data files, Start Menu
    // shortcuts for all users (folder "Korvane"), a desktop shortcut for this user, the
    // install log (header, files, shortcuts, folders) and the installed-programs entry.
    void Install();
    // Writes the install log into the installation folder with these lines, CR LF each.
    void WriteLog(const std::vector<std::wstring>& lines);
    std::vector<std::wstring> StandardLogLines() const;
    // Puts the copy in place: the log and the program file in the temporary folder, and
    // the host's program folder set to `asFolder` (the temporary folder by default).
    void MakeCopy(const std::wstring& asFolder = {});
    // Loads frmMain as the program does when it starts.
    void StartProgram();
    // Continue, then the answer to the question.
    void ClickContinue();
    // The copy put in place and started, Continue, Yes, and a closing message starting so.
    void UninstallAnswering(const std::wstring& messageStart);
    bool EntryThere() const;
    // A real shell link at `link` leading to `target`.
    static void MakeShortcut(const std::wstring& link, const std::wstring& target);
    std::wstring BatchPath() const { return temp + L"\\killmyself.bat"; }
    // Makes `link` a symbolic link to `target` (a Unix link under Wine: a link to a folder is
    // seen as a reparse point, one to a file as a plain file); removed again by TearDown.
    // False when links cannot be made.
    bool MakeLink(const std::wstring& link, const std::wstring& target);
    // The same folder reached through Wine's drive Z: (empty elsewhere).
    static std::wstring ThroughDriveZ(const std::wstring& path);

    std::wstring root, install, temp, startMenuFolder, commonPrograms, programs, desktop, commonDesktop;
    kv::uninstall::SpecialFolders folders;
    ScriptedDialogs dialogs;
    std::vector<int> pauses;
    std::vector<std::pair<std::wstring, std::wstring>> copiesStarted;  // program, working folder
    std::vector<std::wstring> copyArguments;
    DWORD copyExitCode = 0;  // what a waited-for copy returns
    std::function<void()> copyDoes;  // what a waited-for copy does before it ends
    std::vector<std::wstring> links;
    std::wstring startFolder;  // the test program's working folder, given back by TearDown
    std::vector<std::pair<std::wstring, std::wstring>> batchesStarted;
    bool realBatch = false;
    static constexpr const wchar_t* kEntryKey = L"Software\\KorvaneTests\\Uninstall\\Korvane";
};

}  // namespace kvtest
