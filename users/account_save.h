// What the two account windows (user administration and the own account) share: the
// default-selection list that shows only when it means something, the password checks
// before a save, and the save that puts the record back when the store could not be written.
#pragma once

#include <string>

#include "core/user_store.h"
#include "users/AppFunctions.h"
#include "users/user_form_mapping.h"
#include "win/controls.h"

namespace kv {

// The controls both windows end with, the first row at `top` (twips): "View Decrypted Files"
// and its list, "Default Selection" and its list, then Save and Cancel; the lists filled.
struct PreferenceRows {
    win::Label& afterDecryptLabel;
    win::ComboBox& afterDecrypt;
    win::Label& selectionLabel;
    win::ComboBox& selection;
    win::CommandButton& save;
    win::CommandButton& cancel;
};
void CreatePreferenceRows(const win::Container& form, int top, const PreferenceRows& rows);

// The "Default Selection" label and list show only when the after-decrypt choice asks.
void ShowDefaultSelectionWhenAsked(const win::ComboBox& afterDecrypt, win::Label& label, win::ComboBox& selection);

// The password box trimmed of blanks; false, with the message shown, when the store cannot
// keep the password.
bool PasswordStorable(win::TextBox& password);

// A changed password is typed again in frmConfirmPassword; false when it was not confirmed.
bool PasswordConfirmedIfChanged(const std::wstring& password, const std::wstring& storedPassword);

// Stores the settings in the record and saves the store. When it could not be saved (the
// user has been told) the record is as it was before.
AppFunctions::SaveOutcome SaveSettings(UserRecord& user, const UserSettings& settings, Rights rights);

}  // namespace kv
