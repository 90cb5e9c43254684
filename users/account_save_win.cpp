#include "users/account_save.h"

#include "core/Globals.h"
#include "core/text.h"
#include "users/ListHelpers.h"
#include "users/frmConfirmPassword.h"
#include "win/dialogs.h"
#include "win/form.h"

namespace kv {

void ShowDefaultSelectionWhenAsked(const win::ComboBox& afterDecrypt, win::Label& label, win::ComboBox& selection) {
    const bool show = ShowsDefaultSelection(afterDecrypt.Text());
    label.SetVisible(show);
    selection.SetVisible(show);
}

bool PasswordStorable(win::TextBox& password) {
    password.SetText(TrimBlanks(password.Text()));
    if (auto refusal = RefusalForStore(StoreField::Password, password.Text())) {
        win::MsgBox(*refusal);
        return false;
    }
    return true;
}

bool PasswordConfirmedIfChanged(const std::wstring& password, const std::wstring& storedPassword) {
    if (!NeedsConfirmation(password, storedPassword)) return true;
    auto& confirm = win::TheForm<frmConfirmPassword>();
    confirm.Load();
    confirm.Password(password);
    confirm.ShowModal();
    return Globals::PasswordConfirmed;
}

AppFunctions::SaveOutcome SaveSettings(UserRecord& user, const UserSettings& settings, Rights rights) {
    const UserRecord before = user;
    StoreSettings(user, settings, rights);
    const auto outcome = AppFunctions::SaveUsers();
    if (outcome == AppFunctions::SaveOutcome::NotSaved) user = before;  // what the file still holds
    return outcome;
}

}  // namespace kv
