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
    // Errors moving the panel are ignored; the value written is kept.
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
    setup::FormatAndCreateIcon(targetFolder, linkName, sourceFileName, description, iconName);
}

namespace {

// The run as the page shows it: the status label, the bar, the paced pauses and the final
// scroll.
class PageProgress : public InstallProgress {
public:
    explicit PageProgress(frmThird& page) : page_(page) {}
    void Status(const std::wstring& text) override { page_.SetStatus(text); }
    void Bar(int percent) override { page_.SetScrollBarPercent(percent); }
    void Pause(int ms) override { setup::Pause(ms); }
    void FinishBar() override { page_.FinishScrollingProgressBar(); }

private:
    frmThird& page_;
};

}  // namespace

void frmThird::StartInstall() {
    auto& m = Module();
    win::SetBusyPointer(true);
    PageProgress progress(*this);
    const std::vector<std::wstring> notInstalled = RunInstallSteps(progress);

    const bool complete = notInstalled.empty();
    m.ExitCode = complete ? kExitSuccess : kExitFailed;
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
