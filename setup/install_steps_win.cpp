// The work behind the wizard's buttons, which a quiet installation does through the same
// functions: the two controls, the default folder and the checks of a chosen one, the
// installation run's steps and the shortcuts.
#include "setup/AppFunctions.h"
#include "setup/setup_rules.h"
#include "shared/install_guard_win.h"
#include "shared/install_log.h"
#include "shared/path_rules.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"
#include "win/real_paths.h"

namespace kv::setup {

namespace {

// The program files, in the order they are copied.
constexpr const wchar_t* kProgramFiles[] = {L"Korvane.exe", L"Beacon.ico", install::kUninstallerName.data(), L"Skull.ico"};

// Why the uninstaller would refuse to take the folder back whole: the same guard it asks.
std::optional<std::wstring> GuardRefusal(const std::wstring& folder) {
    // A drive that is not there: creating the folder fails, and says so.
    if (win::RealPath(folder).empty()) return std::nullopt;
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    const auto folders = install::ShellSpecialFolders(
        install::WithoutTrailingBackslash(std::wstring(temp, n > 0 && n <= MAX_PATH ? n : 0)));
    return install::InstallFolderRefusal(folder, folders, install::RealFolders(folders));
}

}  // namespace

void EnsureInstallerRequirements() {
    // Errors ignored statement by statement, as every step of an installation.
    win::IgnoreErrors([] {
        const auto& m = Module();
        for (const wchar_t* name : {L"MSINET.ocx", L"RICHTX32.ocx"}) {
            const std::wstring target = m.Folders.SystemFolder + L"\\" + name;
            if (FileExists(target)) continue;
            CopyFileOver(m.SourceFolder + L"\\" + name, target);
            RegisterComponent(target);
        }
    });
}

std::wstring DefaultInstallFolder() {
    const auto& f = Module().Folders;
    return DefaultInstallPath(f.ProgramFilesFolder, FolderExists(f.ProgramFilesFolder),
                              FolderExists(L"C:\\Program Files"), FolderExists(L"C:\\"), SetupFolder());
}

std::optional<std::wstring> AcceptInstallFolder(std::wstring folder,
                                                const std::function<bool(const std::wstring&)>& mayUseOccupied) {
    if (folder.empty()) {
        win::MsgBox(NoFolderMessage());
        return std::nullopt;
    }
    if (folder.back() == L'\\') folder.pop_back();
    // The folder is installed into, recorded and logged in its full form, so that the
    // uninstaller takes back exactly the folder that was made; a spelling Windows would
    // quietly change, or that the uninstaller would not accept, is refused before
    // anything is created.
    if (RefusedFolderText(folder)) {
        win::MsgBox(UnusableFolderMessage(folder));
        return std::nullopt;
    }
    // Only a folder that names its drive or share is created: a relative one would land
    // under whatever the current folder is.
    if (IsAbsoluteFolder(folder)) {
        const std::wstring full = FullFolderPath(folder);
        if (install::NormalPath(full).empty() || RefusedFolderText(full)) {
            win::MsgBox(UnusableFolderMessage(folder));
            return std::nullopt;
        }
        folder = full;
        // The uninstaller has to be started from the folder and take it back whole: a
        // folder it could not start from, or would refuse, is refused here first.
        if (folder.size() > install::kMaxInstallFolderLength) {
            win::MsgBox(FolderTooLongMessage(folder));
            return std::nullopt;
        }
        if (const auto reason = GuardRefusal(folder)) {
            win::MsgBox(GuardedFolderMessage(folder, *reason));
            return std::nullopt;
        }
        // Uninstalling removes the installation folder with everything in it.
        if (HoldsOtherFiles(folder) && !mayUseOccupied(folder)) return std::nullopt;
        CreateFolderPath(folder);
        win::DoEvents(4);
    }
    if (!IsAbsoluteFolder(folder) || !FolderExists(folder)) {
        win::MsgBox(FolderNotCreatedMessage(folder));
        return std::nullopt;
    }
    return folder;
}

void FormatAndCreateIcon(const std::wstring& targetFolder, const std::wstring& linkName,
                         const std::wstring& sourceFileName, const std::wstring& description,
                         const std::wstring& iconName) {
    const std::wstring& installPath = Module().InstallPath;
    // Errors ignored statement by statement, as every step of an installation.
    win::IgnoreErrors([&] { CreateFolderPath(targetFolder); });
    const std::wstring link = targetFolder + L"\\" + linkName;
    // Errors ignored statement by statement, as every step of an installation.
    win::IgnoreErrors([&] {
        MakeShortcut(link, description, installPath + L"\\" + sourceFileName, SW_SHOWNORMAL,
                     installPath + L"\\" + iconName, installPath);
    });
    AddInstalledItem(link);
}

std::vector<std::wstring> RunInstallSteps(InstallProgress& progress) {
    auto& m = Module();
    // What could not be put in place: the installation is then incomplete, and says so.
    std::vector<std::wstring> notInstalled;
    // Each step: its status, its work with errors ignored, the pause, the bar.
    auto step = [&progress](const wchar_t* status, int bar, const std::function<void()>& work) {
        progress.Status(status);
        // Errors ignored statement by statement, as every step of an installation.
        win::IgnoreErrors(work);
        progress.Pause(600);
        progress.Bar(bar);
    };
    step(L"Creating Folders...", 10, [] {});
    step(L"Regestering Dlls...", 15, [&m] {
        const std::wstring target = m.Folders.SystemFolder + L"\\COMDLG32.OCX";
        if (FileExists(target)) return;
        CopyFileOver(m.SourceFolder + L"\\COMDLG32.OCX", target);
        RegisterComponent(target);
    });
    step(L"Copying Files...", 30, [&m, &notInstalled] {
        // Users may keep their accounts and log beside the program; the program files
        // themselves stay read-only for them.
        GrantUsersDataAccess(m.InstallPath);
        for (const wchar_t* name : kProgramFiles) {
            const std::wstring target = m.InstallPath + L"\\" + name;
            if (CopyFileOver(m.SourceFolder + L"\\" + name, target)) ProtectInstalledFile(target);
            else notInstalled.push_back(target);
            // Recorded all the same: the uninstaller removes what an earlier run left there.
            AddInstalledItem(target);
        }
    });
    step(L"Verifying Files...", 50, [] {});
    step(L"Creating Icons...", 75, [&m] {
        const auto& f = m.Folders;
        if (m.StartMenuAllUsers) {
            FormatAndCreateIcon(f.CommonProgramsFolder + L"\\Korvane", L"Korvane.lnk", L"Korvane.exe", L"Korvane",
                                L"Beacon.ico");
            FormatAndCreateIcon(f.CommonProgramsFolder + L"\\Korvane", L"Uninstall Korvane.lnk",
                                std::wstring(install::kUninstallerName), L"Uninstaller", L"Skull.ico");
        }
        if (m.StartMenuThisUser) {
            FormatAndCreateIcon(f.ProgramsFolder + L"\\Korvane", L"Korvane.lnk", L"Korvane.exe", L"Korvane",
                                L"Beacon.ico");
            FormatAndCreateIcon(f.ProgramsFolder + L"\\Korvane", L"Uninstall Korvane.lnk",
                                std::wstring(install::kUninstallerName), L"Uninstaller", L"Skull.ico");
        }
        if (m.DesktopAllUsers)
            FormatAndCreateIcon(f.CommonDesktopFolder, L"Korvane.lnk", L"Korvane.exe", L"Korvane", L"Beacon.ico");
        if (m.DesktopThisUser)
            FormatAndCreateIcon(f.DesktopFolder, L"Korvane.lnk", L"Korvane.exe", L"Korvane", L"Beacon.ico");
    });
    step(L"Wiriting Install Log...", 85, [&m, &notInstalled] {
        const std::wstring log = m.InstallPath + L"\\KORVANE-InstallLog.txt";
        if (WriteInstallLog()) ProtectInstalledFile(log);
        else notInstalled.push_back(log);
        if (!WriteUninstallEntry()) notInstalled.push_back(L"the entry of Korvane among the installed programs");
    });
    progress.Status(L"Cleaning Up...");
    // Errors ignored statement by statement, as every step of an installation.
    win::IgnoreErrors([&progress] { progress.FinishBar(); });
    progress.Bar(100);
    return notInstalled;
}

}  // namespace kv::setup
