// The end-user licence agreement, Setup's first window.
#include <algorithm>
#include <string>

#include "setup/forms.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/text.h"

namespace kv::setup {

namespace {

// The agreement built into Setup, with CR LF line ends as a text box shows them.
std::wstring AgreementText() {
    HRSRC found = ::FindResourceW(win::Instance(), MAKEINTRESOURCEW(kLicenseText), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(win::Instance(), found);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(win::Instance(), found);
    if (!bytes || !size) return {};
    const std::wstring raw = win::ToWide(std::string_view(bytes, size));
    std::wstring text;
    text.reserve(raw.size() + raw.size() / 40);
    for (wchar_t c : raw) {
        if (c == L'\r') continue;
        if (c == L'\n') text += L"\r\n";
        else text += c;
    }
    return text;
}

}  // namespace

win::FormDesign frmLicense::Design() const {
    return {.caption = L"End-User License", .clientWidth = 9600, .clientHeight = 7200,
            .border = win::BorderStyle::Sizable, .centered = false, .minButton = true, .maxButton = true};
}

void frmLicense::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    lblTop.Create(here, L"Please read the License Agreement before continuing...", {120, 120, 9000, 255},
                  {L"MS Sans Serif", 8.25, true});
    txtLicense.Create(here, L"", {240, 480, 9000, 4500}, {.multiline = true, .readOnly = true, .wrap = true});
    chkAccept.Create(here, L"I have read and accept all parts of the license agreement.", {3600, 5100, 5400, 300});
    chkAccept.Click = [this] { chkAccept_Click(); };
    lblCheckLeft.Create(here, L"", {2400, 5100, 1200, 300});
    cmdContinue.Create(here, L"Continue >", {7500, 5500, 1335, 375}, {}, true);
    cmdContinue.SetVisible(false);
    cmdContinue.Click = [this] { cmdContinue_Click(); };
    cmdCancel.Create(here, L"Cancel", {6000, 5500, 1335, 375});
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    SetDefaultButton(&cmdContinue);
    SetCancelButton(&cmdCancel);
}

void frmLicense::Form_Load() {
    win::SetBusyPointer(true);
    const int screenWidth = Twips(::GetSystemMetrics(SM_CXSCREEN));
    const int screenHeight = Twips(::GetSystemMetrics(SM_CYSCREEN));
    ::SetWindowPos(hwnd(), nullptr, 0, 0, Px(screenWidth), Px(screenHeight - 20), SWP_NOZORDER | SWP_NOACTIVATE);
    txtLicense.SetText(AgreementText());
    win::SetBusyPointer(false);
}

void frmLicense::Form_Resize() {
    // Anchored to the right edge and below the text, in this order; errors ignored.
    win::IgnoreErrors([this] {
        if (::IsIconic(hwnd())) return;
        const int w = Width(), h = Height();
        lblTop.SetWidth(w - 100);
        win::Rect text = txtLicense.Position();
        text.width = w - 500;
        text.height = h - 2500;
        txtLicense.Move(text);
        win::Rect check = chkAccept.Position();
        check.top = text.top + text.height + 100;
        check.left = w - check.width - 500;
        chkAccept.Move(check);
        win::Rect go = cmdContinue.Position();
        go.left = w - 500 - go.width;
        win::Rect cancel = cmdCancel.Position();
        cancel.left = go.left - cancel.width - 200;
        go.top = check.top + check.height + 50;
        cancel.top = go.top;
        cmdContinue.Move(go);
        cmdCancel.Move(cancel);
        const win::Rect left = lblCheckLeft.Position();
        lblCheckLeft.Move({check.left - left.width, check.top, left.width, check.height});
    });
}

void frmLicense::chkAccept_Click() {
    // Errors ignored, as the licence page asks of its handlers.
    win::IgnoreErrors([this] {
        if (chkAccept.Value() == 1) {
            cmdContinue.SetVisible(true);
            win::DoEvents(3);
            cmdContinue.SetFocus();
        } else {
            cmdContinue.SetVisible(false);
        }
    });
}

void frmLicense::cmdContinue_Click() {
    // Enter reaches the default button even while it is hidden; only a visible one counts.
    if (!cmdContinue.Visible()) return;
    Hide();
    win::DoEvents(3);
    win::TheForm<frmFirst>().Show();
    Unload();
}

void frmLicense::cmdCancel_Click() { Unload(); }

void frmLicense::Form_Unload() { txtLicense.SetText(L""); }

}  // namespace kv::setup
