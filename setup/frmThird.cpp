// The progress page and the installation run behind it.
#include <algorithm>

#include "setup/AppFunctions.h"
#include "setup/forms.h"
#include "setup/setup_rules.h"
#include "win/app.h"
#include "win/dialogs.h"

namespace kv::setup {

namespace {

constexpr COLORREF kTrackGreen = RGB(128, 255, 128);

// The program files, in the order they are copied.
constexpr const wchar_t* kProgramFiles[] = {L"Korvane.exe", L"Beacon.ico", L"KorvaneUninstaller.exe", L"Skull.ico"};

}  // namespace

win::FormDesign frmThird::Design() const { return WizardPage(2520); }

void frmThird::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    frameStatus.Create(here, L"Status", {120, 60, 6960, 915});
    lblStatus.Create(frameStatus.Inside(), L"Initalizing...", {240, 360, 6480, 375}, {L"MS Sans Serif", 9.75, true});
    frameProgress.Create(here, L"Progress", {120, 1140, 6960, 1215});
    // The bar: a green track, covered by a grey panel that moves right to uncover it.
    Picture1.Create(frameProgress.Inside(), {240, 480, 6480, 375}, kTrackGreen);
    Picture2.Create(Picture1.Inside(), {0, 0, 6720, 600}, ::GetSysColor(COLOR_BTNFACE));
}

void frmThird::SetStatus(const std::wstring& text) {
    lblStatus.SetText(text);
    win::DoEvents(6);
}

void frmThird::SetScrollBarPercent(int value) {
    percent_ = value;
    win::IgnoreErrors([&] {
        win::Rect panel = Picture2.Position();
        panel.left = ScrollBarLeft(Picture1.Position().width, value);
        Picture2.Move(panel);
    });
    if (BarMoved) {
        auto handler = BarMoved;
        handler(value);
    }
    win::DoEvents(6);
}

void frmThird::FinishScrollingProgressBar() {
    int p = ScrollBarPercent();
    SetStatus(L"Verifing Installation...");
    while (p < 100) {
        Pause(200);
        p += 2;
        SetScrollBarPercent(p);
    }
}

void frmThird::FormatAndCreateIcon(const std::wstring& targetFolder, const std::wstring& linkName,
                                   const std::wstring& sourceFileName, const std::wstring& description,
                                   const std::wstring& iconName) {
    const std::wstring& installPath = Module().InstallPath;
    win::IgnoreErrors([&] { CreateFolderPath(targetFolder); });
    const std::wstring link = targetFolder + L"\\" + linkName;
    win::IgnoreErrors([&] {
        MakeShortcut(link, description, installPath + L"\\" + sourceFileName, SW_SHOWNORMAL,
                     installPath + L"\\" + iconName, installPath);
    });
    AddInstalledItem(link);
}

void frmThird::StartInstall() {
    auto& m = Module();
    // What could not be put in place: the installation is then incomplete, and says so.
    std::vector<std::wstring> notInstalled;
    win::SetBusyPointer(true);
    // Each step: its status, its work with errors ignored, the pause, the bar.
    auto step = [this](const wchar_t* status, int bar, const std::function<void()>& work) {
        SetStatus(status);
        win::IgnoreErrors(work);
        Pause(600);
        SetScrollBarPercent(bar);
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
    step(L"Creating Icons...", 75, [this, &m] {
        const auto& f = m.Folders;
        if (m.StartMenuAllUsers) {
            FormatAndCreateIcon(f.CommonProgramsFolder + L"\\Korvane", L"Korvane.lnk", L"Korvane.exe", L"Korvane",
                                L"Beacon.ico");
            FormatAndCreateIcon(f.CommonProgramsFolder + L"\\Korvane", L"Uninstall Korvane.lnk",
                                L"KorvaneUninstaller.exe", L"Uninstaller", L"Skull.ico");
        }
        if (m.StartMenuThisUser) {
            FormatAndCreateIcon(f.ProgramsFolder + L"\\Korvane", L"Korvane.lnk", L"Korvane.exe", L"Korvane",
                                L"Beacon.ico");
            FormatAndCreateIcon(f.ProgramsFolder + L"\\Korvane", L"Uninstall Korvane.lnk", L"KorvaneUninstaller.exe",
                                L"Uninstaller", L"Skull.ico");
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
    SetStatus(L"Cleaning Up...");
    win::IgnoreErrors([this] { FinishScrollingProgressBar(); });
    SetScrollBarPercent(100);

    const bool complete = notInstalled.empty();
    const wchar_t* outcome = complete ? L"Installation Complete" : L"Installation Incomplete";
    SetStatus(outcome);
    Hide();
    win::DoEvents(3);
    win::SetBusyPointer(false);
    auto& done = win::TheForm<frmMessage>();
    done.Load(this);
    done.Label1.SetText(outcome);
    done.ShowModal(this);
    if (!complete) win::MsgBox(IncompleteInstallationMessage(notInstalled), win::MsgButtons::OK, win::MsgIcon::Exclamation);
    // Korvane is started only when its own file was put in place: never one that is
    // missing, nor an older one that was in use.
    const std::wstring exe = m.InstallPath + L"\\Korvane.exe";
    const bool programInstalled = std::find(notInstalled.begin(), notInstalled.end(), exe) == notInstalled.end();
    if (programInstalled) {
        if (TheHost().startProgram) TheHost().startProgram(exe);
        else StartAsDesktopUser(exe, m.InstallPath);
    }
    Unload();
    EndSetup();
}

}  // namespace kv::setup
