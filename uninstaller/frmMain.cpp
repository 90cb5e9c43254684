#include "uninstaller/frmMain.h"

#include <algorithm>

#include "shared/install_log.h"
#include "uninstaller/AppFunctions.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"

namespace kv::uninstall {

namespace {

constexpr COLORREF kPictureBack = RGB(40, 40, 48);

// Image1: the uninstaller's icon on a dark square.
void PaintImage(HDC dc, const RECT& r) {
    HICON icon = static_cast<HICON>(::LoadImageW(win::Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0,
                                                 LR_DEFAULTSIZE | LR_SHARED));
    if (!icon) icon = ::LoadIconW(nullptr, IDI_WARNING);
    const int size = std::min(r.right - r.left, r.bottom - r.top) * 3 / 4;
    ::DrawIconEx(dc, r.left + (r.right - r.left - size) / 2, r.top + (r.bottom - r.top - size) / 2, icon, size, size,
                 0, nullptr, DI_NORMAL);
}

}  // namespace

win::FormDesign frmMain::Design() const {
    return {.caption = L"Uninstall...", .clientWidth = 5415, .clientHeight = 2070,
            .border = win::BorderStyle::FixedDialog, .centered = true};
}

void frmMain::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    Image1.Create(here, {240, 240, 960, 960}, kPictureBack);
    Image1.Paint = PaintImage;
    lblMessage.Create(here, L"", {1440, 300, 3735, 615});
    lblWorking.Create(here, L"Working...", {1440, 1035, 1815, 255});
    lblWorking.SetVisible(false);
    // A text box with no behaviour of its own, kept out of sight.
    txtDummy.Create(here, L"", {-2000, -2000, 255, 285});
    cmdContinue.Create(here, L"Continue", {2400, 1485, 1335, 375}, {}, true);
    cmdContinue.SetEnabled(false);  // until the program knows it is the copy
    cmdContinue.Click = [this] { cmdContinue_Click(); };
    cmdCancel.Create(here, L"Cancel", {3840, 1485, 1335, 375});
    cmdCancel.SetCancel();
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    SetDefaultButton(&cmdContinue);
    SetCancelButton(&cmdCancel);
}

void frmMain::Form_Load() {
    // Centred across, its top at a fifth of the screen's height.
    const int screenWidth = Twips(::GetSystemMetrics(SM_CXSCREEN));
    const int screenHeight = Twips(::GetSystemMetrics(SM_CYSCREEN));
    Move((screenWidth - Width()) / 2, screenHeight / 5);
    ::ShowWindow(hwnd(), SW_SHOW);
    ::UpdateWindow(hwnd());

    lblMessage.SetText(StartMessage());
    win::SetBusyPointer(true);
    cmdContinue.SetEnabled(false);
    win::DoEvents(6);

    if (StartUp()) {
        cmdContinue.SetEnabled(true);
        win::SetBusyPointer(false);  // the copy waits for the user
    }
}

void frmMain::cmdContinue_Click() {
    if (!cmdContinue.Enabled() || !cmdContinue.Visible()) return;  // a click sent to the disabled button
    if (win::MsgBox(ConfirmQuestion(), win::MsgButtons::YesNo) != win::MsgResult::Yes) {
        Module().ExitCode = kExitCancelled;
        return EndProgram();
    }
    lblWorking.SetVisible(true);
    cmdContinue.SetVisible(false);
    cmdCancel.SetVisible(false);
    win::SetBusyPointer(true);
    win::DoEvents(3);
    RunUninstall();
}

void frmMain::cmdCancel_Click() {
    Module().ExitCode = kExitCancelled;
    Unload();
    EndProgram();
}

void frmMain::Form_Unload() {
    win::SetBusyPointer(false);
    Module().Ended = true;  // the one window: the program ends with it
}

}  // namespace kv::uninstall
