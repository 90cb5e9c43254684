#include "users/frmLogIn.h"

#include "core/Globals.h"
#include "core/text.h"
#include "core/Navigation.h"
#include "users/AppFunctions.h"
#include "win/app.h"
#include "win/dialogs.h"

namespace kv {

using namespace Globals;

win::FormDesign frmLogIn::Design() const {
    return {.caption = L"Log-In", .clientWidth = 4680, .clientHeight = 3000, .border = win::BorderStyle::FixedSingle,
            .minButton = true};
}

void frmLogIn::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    Label3.Create(form, L"Kor-Vane", {240, 120, 4200, 615}, {L"Trebuchet MS", 21.75, true, true});
    Label4.Create(form, L"Document Security System", {240, 735, 4200, 375}, {L"Times New Roman", 14.25, true});
    Label1.Create(form, L"User:", {240, 1395, 975, 255});
    txtUser.Create(form, {1320, 1335, 3120, 315});
    Label2.Create(form, L"Password", {240, 1875, 975, 255});
    txtPassword.Create(form, L"", {1320, 1800, 3120, 375}, {.password = true}, {L"MS Sans Serif", 12, true});
    cmdLogIn.Create(form, L"Log-In", {1320, 2400, 1455, 420});
    Cancel.Create(form, L"Cancel", {2985, 2400, 1455, 420});

    cmdLogIn.Click = [this] { cmdLogIn_Click(); };
    Cancel.Click = [this] { Cancel_Click(); };
    txtUser.KeyDown = [this](UINT key) { return txtUser_KeyDown(key); };
    txtPassword.KeyDown = [this](UINT key) { return txtPassword_KeyDown(key); };
}

void frmLogIn::Form_Load() {
    // The load runs with errors ignored: a step that fails is skipped.
    win::IgnoreErrors([&] {
        for (const auto& user : Users) txtUser.AddItem(user.UserName);
        if (txtUser.ListCount() == 1) {
            txtUser.SetListIndex(0);
            txtPassword.SetFocus();
        }
    });
}

void frmLogIn::cmdLogIn_Click() {
    txtPassword.SetText(TrimBlanks(txtPassword.Text()));
    const std::wstring name = txtUser.Text();
    // An unknown (or empty) name is refused by the lookup itself, not by comparing the
    // password with the "INVALID USER" marker, so no password can pass for that marker.
    if (FindUserIndex(Users, name) < 0) {
        win::MsgBox(L"Invalid User");
        return;
    }
    if (SameName(AppFunctions::GetUserPassword(name), txtPassword.Text())) {
        AppFunctions::FindUser(name);
        if (ShowMain) {
            Navigate().ShowWorkingWindow();
        }
        // The run starts from the message loop once this window is gone, as a drop's does.
        if (!HandedDocuments.empty())
            win::PostToProgram([documents = std::move(HandedDocuments)] { Navigate().ProcessDrop(true, documents); });
        HandedDocuments.clear();
        Unload();
        return;
    }
    win::MsgBox(L"Invalid Password");
}

void frmLogIn::Cancel_Click() { Unload(); }

bool frmLogIn::txtUser_KeyDown(UINT key) {
    if (key != VK_RETURN) return false;
    cmdLogIn_Click();
    return true;
}

bool frmLogIn::txtPassword_KeyDown(UINT key) {
    if (key != VK_RETURN) return false;
    cmdLogIn_Click();
    return true;
}

}  // namespace kv
