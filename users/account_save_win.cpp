#include "users/account_save.h"

#include "core/Globals.h"
#include "core/text.h"
#include "users/ListHelpers.h"
#include "users/frmConfirmPassword.h"
#include "win/dialogs.h"
#include "win/form.h"

namespace kv {

void CreatePreferenceRows(const win::Container& form, int top, const PreferenceRows& rows) {
    const win::FontDesc bold{L"MS Sans Serif", 8.25, true};
    rows.afterDecryptLabel.Create(form, L"View Decrypted Files", {240, top + 60, 1935, 255}, bold);
    rows.afterDecrypt.Create(form, {2280, top, 2880, 315});
    rows.selectionLabel.Create(form, L"Default Selection", {240, top + 480, 1935, 255}, bold);
    rows.selection.Create(form, {2280, top + 420, 2880, 315});
    rows.save.Create(form, L"Save", {2760, top + 960, 1140, 375}, bold);
    rows.cancel.Create(form, L"Cancel", {4020, top + 960, 1140, 375}, bold);
    FillList(rows.afterDecrypt, AfterDecryptChoices());
    FillList(rows.selection, DefaultSelectionChoices());
}

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
