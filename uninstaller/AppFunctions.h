// KorvaneUninstaller's module AppFunctions: the program-wide state and the procedures that
// copy the uninstaller into the temporary folder, remove the installation the install log
// describes, and delete the uninstaller itself through "killmyself.bat".
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "uninstaller/uninstall_rules.h"

namespace kv::uninstall {

// What the procedures take from the computer, replaceable for tests. Empty members mean the
// real thing.
struct Host {
    std::wstring programFolder;  // the running program's folder
    std::wstring programName;    // the running program's file name without ".exe"
    std::function<std::wstring()> tempPath;  // the system's answer, with its trailing "\"
    std::optional<SpecialFolders> specialFolders;  // the shell's
    // Starts the copy in a normal window with the focus, with `args`, `folder` its working
    // folder; when `wait`, waits for it to end. Nothing when it could not be started, else
    // the copy's exit code (0 when not waited for).
    std::function<std::optional<DWORD>(const std::wstring& exe, const std::wstring& args, const std::wstring& folder,
                                       bool wait)>
        startCopy;
    // Starts the batch file in a hidden window, `folder` its current folder.
    std::function<bool(const std::wstring& batch, const std::wstring& folder)> startBatch;
    std::function<void(int ms)> pause;  // PauseTimer().Wait
    // Told of each file, folder or entry the removal is about to delete.
    std::function<void(const std::wstring& path)> deleting;
    // The installed-programs entry Setup wrote (deleted with its whole tree).
    HKEY entryRoot = HKEY_LOCAL_MACHINE;
    std::wstring entryKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvane";
};
Host& TheHost();

// Module-level state.
struct ModuleState {
    std::wstring LogPath;
    std::wstring TempFolder;
    std::wstring InstallPath;
    SpecialFolders Folders;  // filled at load
    SpecialFolders RealFolders;  // the same where they really are (filled by the removal)
    // The installation folders the log names, as written (trimmed) and where they really are.
    std::vector<std::wstring> InstallFolders, RealInstallFolders;
    bool EntryOurs = false;  // the installed-programs entry names one of those folders
    // What could not be deleted during the removal, and why.
    std::vector<Remaining> Failures;
    bool Ended = false;      // the program has ended (its window unloaded, nothing more runs)
    // What the last removal left behind (empty after a complete one).
    std::vector<Remaining> LastRemaining;
    bool InstallationGone = false;  // the last removal took the installation away whole
    Switches switches;            // from the command line
    int ExitCode = kExitSuccess;  // what the process returns
};
ModuleState& Module();
// Back to a fresh start (tests).
void ResetModule();

// The folders the shell knows, each without a trailing "\".
SpecialFolders ShellSpecialFolders(const std::wstring& tempFolder);

std::wstring ProgramFolderOfUninstaller();
std::wstring ProgramNameOfUninstaller();

// After the window (if any) shows: finds the install log and the temporary folder, and tells
// the first instance, which copies itself there, starts the copy and ends, from the copy.
// True for the copy, which then waits for the user (or, quiet, removes at once).
bool StartUp();

// A quiet run from start to end, no window and no question; returns the exit code.
int RunQuiet();

// Adds a line to the administrator's log file ("/log"), if one was given.
void WriteRunLog(const std::wstring& text);

std::wstring GetTempFolder();
void RelaunchFromTemp();
void RunUninstall();
void RemoveInstallFolder(const std::wstring& headerLine);
void DeleteFileForced(const std::wstring& path);
void DeleteFolderForced(const std::wstring& path);
bool IsFolderEmpty(const std::wstring& path);
bool IsFormLoaded(const std::wstring& name);
void DeleteSelf();

// The program ends: frmMain is unloaded and nothing further runs.
void EndProgram();
// The program ends failed (kExitFailed) once the message saying why has been shown.
void EndWithFailure(const std::wstring& message);

// One pause of PauseTimer.
void Pause(int ms);

bool FolderExists(const std::wstring& path);

}  // namespace kv::uninstall
