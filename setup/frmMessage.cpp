// The completion window: beeps, and closes itself after two seconds.
#include "setup/AppFunctions.h"
#include "setup/forms.h"

namespace kv::setup {

win::FormDesign frmMessage::Design() const {
    return {.caption = L"Complete...", .clientWidth = 6000, .clientHeight = 1440,
            .border = win::BorderStyle::FixedDialog, .showInTaskbar = false};
}

void frmMessage::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    Picture1.Create(here, {240, 240, 960, 960}, RGB(24, 40, 72));
    Picture1.Paint = [](HDC dc, const RECT& r) { PaintPicture(dc, r, kBeaconIcon); };
    Label1.Create(here, L"Installation Complete", {1440, 420, 4440, 600}, {L"Garamond", 18, true});
    Timer1.Create(this);
    Timer1.TimerEvent = [this] { Timer1_Timer(); };
}

void frmMessage::Form_Load() {
    Timer1.SetInterval(2000);
    Timer1.SetEnabled(true);
    if (TheHost().beep) TheHost().beep();
    else ::MessageBeep(MB_OK);
}

void frmMessage::Timer1_Timer() { Unload(); }

}  // namespace kv::setup
