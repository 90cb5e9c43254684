// The users window: administrators add and delete accounts and set every account's
// password, rights and preferences. Every accepted change is saved at once.
#pragma once

#include <cstdint>

#include "users/user_form_mapping.h"
#include "win/controls.h"
#include "win/form.h"

namespace kv {

// User administration: every account, for administrators.
class frmControl : public win::Form {
public:
    // Index in Users of the account the window shows; -1 while none is selected.
    std::int32_t SelectedUser = -1;

    win::Label Label1, Label2, Label3, lblDefaultSelection;
    win::ComboBox txtUser, txtAfterDecrypt, txtDefaultSelection;
    win::TextBox txtPassword;
    win::CheckBox chkEncrypt, chkDecrypt, chkIsAdmin, chkStartEasyDrop;
    win::CommandButton cmdSave, cmdCancel;

    // Refills the user list and selects the logged-in user's own account.
    void LoadUsers();

    void txtUser_Click();
    void txtAfterDecrypt_Click();
    void cmdSave_Click();
    void cmdCancel_Click();
    void mnuAddNew_Click();
    void mnuDelete_Click();
    void mnuExit_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;

private:
    UserSettings ReadSettings() const;
    void ShowSettings(const UserSettings& settings);
    bool HasSelection() const;
    // The logged-in user is still an administrator (read afresh); when not, the user has
    // been told why and the window closes.
    bool StillAdministrator();
    // After a save found the store changed by another copy: the accounts shown again, and
    // the window closed when that change took this user's right away.
    void Reloaded();
};

}  // namespace kv
