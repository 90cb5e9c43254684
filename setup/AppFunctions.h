// Setup's module AppFunctions: the program-wide state of an installation and the procedures
// the wizard pages call: the special folders, component registration, folder creation,
// shortcuts, the write test of the package folder, the installed-items list and the
// install log, the access rights of the installation folder and the installed-programs
// entry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/setup_switches.h"

namespace kv::setup {

// The six shell folders Setup uses, each without a trailing "\" ("" when unknown).
struct SpecialFolders {
    std::wstring SystemFolder, ProgramFilesFolder, DesktopFolder, ProgramsFolder, CommonDesktopFolder,
        CommonProgramsFolder;
};

// What Setup takes from the computer, replaceable for tests. Empty members mean the real
// thing.
struct Host {
    std::wstring setupFolder;                       // the folder Setup runs from
    std::optional<SpecialFolders> specialFolders;   // the shell's
    // Creates "Scripting.FileSystemObject"; whether that worked.
    std::function<bool()> createScriptingObject;
    // Starts a command line in a minimized window with the focus and waits for its end;
    // whether it could be started.
    std::function<bool(const std::wstring& commandLine)> runAndWait;
    // Starts the installed program in a normal window with the focus.
    std::function<bool(const std::wstring& exe)> startProgram;
    std::function<void(int ms)> pause;  // PauseTimer().Wait
    std::function<void()> beep;
    // The installed-programs entry.
    HKEY entryRoot = HKEY_LOCAL_MACHINE;
    std::wstring entryKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvane";
    // Setup ends: every window unloaded and the message loop told to end.
    std::function<void()> endProgram;
};
Host& TheHost();

// Module-level state.
struct ModuleState {
    std::wstring SourceFolder;  // Setup's folder & "\Support"
    SpecialFolders Folders;
    bool HaveFileSystem = false;  // the scripting file-system object could be created
    std::wstring InstallPath;
    bool StartMenuAllUsers = false, StartMenuThisUser = false, DesktopAllUsers = false, DesktopThisUser = false;
    std::vector<std::wstring> InstalledItems{L""};
    bool Ended = false;  // Setup has ended
    // What Setup.exe returns: a wizard that ends before its installation run was cancelled.
    int ExitCode = kExitCancelled;
};
ModuleState& Module();
void ResetModule();  // back to a fresh start (tests)

std::wstring SetupFolder();

// Called when the welcome page loads: SourceFolder, the pause timer and the one-element
// InstalledItems.
void PrepareInstallation();

std::wstring GetSpecialFolder(int csidl);
void FillSpecialFolders();

bool RegisterComponent(const std::wstring& path);
void CreateFolderPath(const std::wstring& path);
void DeleteFileQuietly(const std::wstring& path);
bool MakeShortcut(const std::wstring& linkPath, const std::wstring& description, const std::wstring& targetPath,
                  int windowStyle, const std::wstring& iconLocation, const std::wstring& workingDirectory);
// The write test of the package folder: true when it passed.
bool TestInstallRights();
void AddInstalledItem(const std::wstring& path);
// Whether the whole log was written.
bool WriteInstallLog();

// The two controls the package carries for the system folder, placed and registered when
// missing; no message either way.
void EnsureInstallerRequirements();

// The prerequisite phase (special folders, scripting runtime, the two controls, the write
// test). False when Setup has ended with one of its two messages.
bool RunPrerequisites();
// The scripting runtime step: false when it stays unusable.
bool EnsureScriptingRuntime();

// Users may create files in the installation folder and change the files created there
// (Korvane keeps its accounts and action log beside itself); the installed program files
// may only be read and run by them.
bool GrantUsersDataAccess(const std::wstring& folder);
bool ProtectInstalledFile(const std::wstring& path);
// The access lists those two apply (LocalFree the result): the folder's list with the
// users' grants added, and the protected list of an installed file.
PACL DataAccessAcl(PACL existing);
PACL ProtectedFileAcl();

// The entry among the installed programs, and its removal with the installation.
bool WriteUninstallEntry();

// A folder named by its drive or share in its full form: "." and ".." resolved, "/" read as
// "\", and the part that exists in its long form (a short 8.3 name becomes the real name).
// Nothing is created. The text itself when Windows cannot make it full.
std::wstring FullFolderPath(const std::wstring& folder);
// The folder exists and holds anything, and no install log of an earlier installation.
bool HoldsOtherFiles(const std::wstring& folder);

// How the installed program was started at the end.
enum class StartedThrough { DesktopShell, Directly, NotStarted };
// Starts a program in a normal window with `folder` as its working folder, through the
// desktop's shell, so that it runs with the rights of the user at the desktop and not with
// Setup's elevated ones; where the desktop's shell cannot be asked (or `askShell` is false),
// Setup starts it itself.
StartedThrough StartAsDesktopUser(const std::wstring& exe, const std::wstring& folder, bool askShell = true);

// The options page's default installation folder.
std::wstring DefaultInstallFolder();

// The options page's checks of the folder confirmed (trimmed, the change rule applied), in
// order: not empty, no spelling Windows would change or the uninstaller refuse, its full
// form, a folder holding other files only when `mayUseOccupied` says so, then every missing
// level created. The full form when the installation may go there; otherwise nothing, after
// the message that says why (through the dialog service).
std::optional<std::wstring> AcceptInstallFolder(std::wstring folder,
                                                const std::function<bool(const std::wstring&)>& mayUseOccupied);

// One shortcut: its folder created, the link written, and recorded whether or not it was.
void FormatAndCreateIcon(const std::wstring& targetFolder, const std::wstring& linkName,
                         const std::wstring& sourceFileName, const std::wstring& description,
                         const std::wstring& iconName);

// Where an installation run shows how far it has got: the progress page, or the log of a
// quiet installation.
class InstallProgress {
public:
    virtual ~InstallProgress() = default;
    virtual void Status(const std::wstring& text) = 0;
    virtual void Bar(int percent) = 0;
    virtual void Pause(int ms) = 0;
    virtual void FinishBar() = 0;  // the final run of the bar after "Cleaning Up..."
};
// The installation run's steps, from "Creating Folders..." to the bar at 100, into
// InstallPath with the four option flags. Returns what could not be put in place (files,
// the install log, the installed-programs entry); empty when the installation is complete.
std::vector<std::wstring> RunInstallSteps(InstallProgress& progress);

bool FolderExists(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Copies over an existing destination.
bool CopyFileOver(const std::wstring& from, const std::wstring& to);

void Pause(int ms);
void EndSetup();

// One Setup at a time on the computer (a mutex in the global namespace, held until Setup
// ends): false when another Setup of Korvane holds it, so that two never write one
// installation together.
bool TakeSetupLock();

}  // namespace kv::setup
