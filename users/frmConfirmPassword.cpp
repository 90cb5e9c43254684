#include "users/frmConfirmPassword.h"

#include "core/Globals.h"
#include "core/text.h"
#include "users/user_form_mapping.h"
#include "win/dialogs.h"

namespace kv {

namespace {
const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};
}

win::FormDesign frmConfirmPassword::Design() const {
    return {.caption = L"Confirm Password", .clientWidth = 4560, .clientHeight = 1860,
            .border = win::BorderStyle::FixedDialog, .showInTaskbar = false};
}

void frmConfirmPassword::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    Label2.Create(form, L"New Password", {240, 300, 1455, 255}, kBold);
    txtPassword.Create(form, password_, {1800, 240, 2520, 315}, {.password = true, .readOnly = true});
    Label1.Create(form, L"Confirm", {240, 780, 1455, 255}, kBold);
    txtConfirm.Create(form, L"", {1800, 720, 2520, 315}, {.password = true});
    cmdOK.Create(form, L"OK", {1800, 1260, 1200, 375}, kBold);
    cmdCancel.Create(form, L"Cancel", {3120, 1260, 1200, 375}, kBold);

    cmdOK.Click = [this] { cmdOK_Click(); };
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    txtConfirm.KeyDown = [this](UINT key) { return txtConfirm_KeyDown(key); };
}

void frmConfirmPassword::Form_Load() {
    Globals::PasswordConfirmed = false;
    txtConfirm.SetFocus();
}

void frmConfirmPassword::Password(const std::wstring& value) {
    password_ = value;
    if (txtPassword.Exists()) txtPassword.SetText(value);
}

void frmConfirmPassword::cmdOK_Click() {
    // The confirmation is trimmed like every typed password before it is compared.
    if (SameName(txtPassword.Text(), TrimBlanks(txtConfirm.Text()))) {
        Globals::PasswordConfirmed = true;
        Unload();
        return;
    }
    win::MsgBox(kConfirmationMismatchMessage);
}

void frmConfirmPassword::cmdCancel_Click() { Unload(); }

bool frmConfirmPassword::txtConfirm_KeyDown(UINT key) {
    if (key != VK_RETURN) return false;
    cmdOK_Click();
    return true;
}

}  // namespace kv
