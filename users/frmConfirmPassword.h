// Asks for a new password a second time. The caller loads the window, sets Password,
// shows it modally and reads Globals::PasswordConfirmed once it has closed.
#pragma once

#include <string>

#include "win/controls.h"
#include "win/form.h"

namespace kv {

// Asks for the password again before an account is saved.
class frmConfirmPassword : public win::Form {
public:
    win::Label Label2, Label1;
    win::TextBox txtPassword, txtConfirm;
    win::CommandButton cmdOK, cmdCancel;

    // The password to be confirmed (write-only); shown, masked, in txtPassword.
    void Password(const std::wstring& value);

    void cmdOK_Click();
    void cmdCancel_Click();
    bool txtConfirm_KeyDown(UINT key);

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;

private:
    std::wstring password_;
};

}  // namespace kv
