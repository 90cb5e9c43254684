#include "users/frmSingleUser.h"

#include "core/Globals.h"
#include "core/text.h"
#include "users/AppFunctions.h"
#include "users/ListHelpers.h"
#include "users/account_save.h"
#include "win/app.h"
#include "win/dialogs.h"

namespace kv {

using namespace Globals;

namespace {
const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};
}

win::FormDesign frmSingleUser::Design() const {
    return {.caption = L"User Settings", .clientWidth = 5400, .clientHeight = 3240,
            .border = win::BorderStyle::FixedSingle, .minButton = true};
}

void frmSingleUser::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    Label1.Create(form, L"User", {240, 300, 1935, 255}, kBold);
    txtUser.Create(form, L"", {2280, 240, 2880, 315}, {.readOnly = true});
    Label2.Create(form, L"Password", {240, 780, 1935, 255}, kBold);
    txtPassword.Create(form, L"", {2280, 720, 2880, 315}, {.password = true});
    chkStartEasyDrop.Create(form, L"Start In Easy-Drop Mode", {240, 1260, 4920, 255}, kBold);
    CreatePreferenceRows(form, 1740,
                         {Label3, txtAfterDecrypt, lblDefaultSelection, txtDefaultSelection, cmdSave, cmdCancel});

    txtAfterDecrypt.Click = [this] { txtAfterDecrypt_Click(); };
    cmdSave.Click = [this] { cmdSave_Click(); };
    cmdCancel.Click = [this] { cmdCancel_Click(); };
}

void frmSingleUser::Form_Load() {
    const UserRecord& user = CurrentUserRecord();
    const UserSettings s = SettingsFromRecord(user);
    txtUser.SetText(user.UserName);
    txtPassword.SetText(s.Password);
    chkStartEasyDrop.SetValue(s.StartEasyDrop);
    AppFunctions::SelectListItem(txtAfterDecrypt, s.AfterDecrypt);
    ShowDefaultSelection(txtDefaultSelection, s.DefaultSelection);
    txtAfterDecrypt_Click();
}

void frmSingleUser::txtAfterDecrypt_Click() {
    ShowDefaultSelectionWhenAsked(txtAfterDecrypt, lblDefaultSelection, txtDefaultSelection);
}

UserSettings frmSingleUser::ReadSettings() const {
    UserSettings s;
    s.Password = txtPassword.Text();
    s.StartEasyDrop = chkStartEasyDrop.Value();
    s.AfterDecrypt = txtAfterDecrypt.Text();
    s.DefaultSelection = txtDefaultSelection.Text();
    return s;
}

void frmSingleUser::cmdSave_Click() {
    // An account deleted since the log-in, here or in another copy, has nothing to save.
    if (!AppFunctions::OwnAccountHeld()) return Unload();
    if (!PasswordStorable(txtPassword)) return;
    if (!PasswordConfirmedIfChanged(txtPassword.Text(), CurrentUserRecord().Password)) return;

    switch (SaveSettings(CurrentUserRecord(), ReadSettings(), Rights::Keep)) {
        case AppFunctions::SaveOutcome::Saved: break;
        case AppFunctions::SaveOutcome::NotSaved: return;  // told; the window stays open with the edits
        case AppFunctions::SaveOutcome::Reloaded:
            // Shows the account as stored now; an account deleted elsewhere has nothing to show.
            if (CurrentUserRecord().UserName.empty()) return Unload();
            return Form_Load();
    }
    win::MsgBox(kSavedMessage);
    win::DoEvents(1);
    Unload();
}

void frmSingleUser::cmdCancel_Click() { Unload(); }

}  // namespace kv
