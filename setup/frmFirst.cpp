// The welcome page; its Continue runs the prerequisite phase.
#include <algorithm>

#include "setup/AppFunctions.h"
#include "setup/forms.h"
#include "win/app.h"

namespace kv::setup {

void PaintPicture(HDC dc, const RECT& area, int iconId) {
    HICON icon = static_cast<HICON>(
        ::LoadImageW(win::Instance(), MAKEINTRESOURCEW(iconId), IMAGE_ICON, 48, 48, LR_SHARED));
    if (!icon) icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    const int size = std::min({static_cast<int>(area.right - area.left), static_cast<int>(area.bottom - area.top), 48});
    ::DrawIconEx(dc, area.left + (area.right - area.left - size) / 2, area.top + (area.bottom - area.top - size) / 2,
                 icon, size, size, 0, nullptr, DI_NORMAL);
}

win::FormDesign WizardPage(int clientHeight) {
    win::FormDesign d;
    d.caption = L"Oranvel Installer";
    d.clientWidth = 7200;
    d.clientHeight = clientHeight;
    d.border = win::BorderStyle::FixedSingle;
    d.minButton = true;
    return d;
}

win::FormDesign frmFirst::Design() const { return WizardPage(3600); }

void frmFirst::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    Frame1.Create(here, L"", {120, 60, 2160, 3420});
    const win::Container inFrame = Frame1.Inside();
    Image1.Create(inFrame, {360, 360, 1440, 1440}, RGB(24, 40, 72));
    Image1.Paint = [](HDC dc, const RECT& r) { PaintPicture(dc, r, kBeaconIcon); };
    Label1.Create(inFrame, L"Install Powered By Oranvel Software", {120, 2040, 1920, 735});
    lblWizzard.Create(here, L"This wizzard will guide you through the installation.", {2520, 360, 4440, 495},
                      {L"MS Sans Serif", 9.75, true});
    lblMain.Create(here, L"", {2520, 1080, 4440, 735});
    cmdContinue.Create(here, L"Continue >", {5640, 3000, 1335, 375}, {}, true);
    cmdContinue.Click = [this] { cmdContinue_Click(); };
    cmdCancel.Create(here, L"Cancel", {4140, 3000, 1335, 375});
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    SetDefaultButton(&cmdContinue);
    SetCancelButton(&cmdCancel);
}

void frmFirst::Form_Load() {
    lblMain.SetText(L"You are about to install Korvane");
    PrepareInstallation();
}

void frmFirst::EnsureInstallerRequirements() { setup::EnsureInstallerRequirements(); }

void frmFirst::cmdContinue_Click() {
    if (!RunPrerequisites()) return;  // Setup has ended with its message
    auto& next = win::TheForm<frmSecond>();
    next.Load();
    next.Move(Left(), Top());
    next.Show();
    Unload();
}

void frmFirst::cmdCancel_Click() {
    Unload();
    EndSetup();
}

}  // namespace kv::setup
