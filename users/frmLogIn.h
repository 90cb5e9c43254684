// The log-in window: pick a user, type the password, Log-In.
#pragma once

#include <string>
#include <vector>

#include "win/controls.h"
#include "win/form.h"

namespace kv {

// The log-in window.
class frmLogIn : public win::Form {
public:
    // True: a successful log-in opens the user's working window before this one closes.
    bool ShowMain = false;
    // Documents the program was started with: processed as one dropped run once the log-in
    // has succeeded and the working window is up; never when the log-in is cancelled.
    std::vector<std::wstring> HandedDocuments;

    win::Label Label3, Label4, Label1, Label2;
    win::ComboBox txtUser;
    win::TextBox txtPassword;
    win::CommandButton cmdLogIn, Cancel;

    void cmdLogIn_Click();
    void Cancel_Click();
    bool txtUser_KeyDown(UINT key);
    bool txtPassword_KeyDown(UINT key);

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
};

}  // namespace kv
