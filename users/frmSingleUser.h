// The own-account window of a user who is not an administrator: their own password and
// preferences, no rights. Closes itself once the settings are saved.
#pragma once

#include "users/user_form_mapping.h"
#include "win/controls.h"
#include "win/form.h"

namespace kv {

// The own account of a user who is no administrator.
class frmSingleUser : public win::Form {
public:
    win::Label Label1, Label2, Label3, lblDefaultSelection;
    win::TextBox txtUser, txtPassword;
    win::CheckBox chkStartEasyDrop;
    win::ComboBox txtAfterDecrypt, txtDefaultSelection;
    win::CommandButton cmdSave, cmdCancel;

    void txtAfterDecrypt_Click();
    void cmdSave_Click();
    void cmdCancel_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;

private:
    UserSettings ReadSettings() const;
};

}  // namespace kv
