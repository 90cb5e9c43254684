#include "users/frmControl.h"

#include "core/Globals.h"
#include "core/text.h"
#include "users/AppFunctions.h"
#include "users/ListHelpers.h"
#include "users/account_save.h"
#include "win/dialogs.h"

namespace kv {

using namespace Globals;
using AppFunctions::SelectListItem;

namespace {
const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};
}

win::FormDesign frmControl::Design() const {
    return {.caption = L"Korvane", .clientWidth = 5400, .clientHeight = 4200, .border = win::BorderStyle::FixedSingle,
            .minButton = true};
}

void frmControl::CreateControls() {
    SetMenuBar({{L"mnuFile",
                 L"File",
                 {},
                 {{L"mnuAddNew", L"Add New User", [this] { mnuAddNew_Click(); }},
                  {L"mnuDelete", L"Delete User", [this] { mnuDelete_Click(); }},
                  {L"mnuExit", L"Exit", [this] { mnuExit_Click(); }}}}});

    const win::Container form{this, hwnd(), 0, 0};
    Label1.Create(form, L"User:", {240, 300, 1935, 255}, kBold);
    txtUser.Create(form, {2280, 240, 2880, 315});
    Label2.Create(form, L"Password", {240, 780, 1935, 255}, kBold);
    txtPassword.Create(form, L"", {2280, 720, 2880, 315}, {.password = true});
    chkEncrypt.Create(form, L"Allow User To Encrypt Files", {240, 1260, 4920, 255}, kBold);
    chkDecrypt.Create(form, L"Allow User To Decrypt Files", {240, 1590, 4920, 255}, kBold);
    chkIsAdmin.Create(form, L"Is Administrator", {240, 1920, 4920, 255}, kBold);
    chkStartEasyDrop.Create(form, L"Start In Easy-Drop Mode", {240, 2250, 4920, 255}, kBold);
    CreatePreferenceRows(form, 2700,
                         {Label3, txtAfterDecrypt, lblDefaultSelection, txtDefaultSelection, cmdSave, cmdCancel});

    txtUser.Click = [this] { txtUser_Click(); };
    txtAfterDecrypt.Click = [this] { txtAfterDecrypt_Click(); };
    cmdSave.Click = [this] { cmdSave_Click(); };
    cmdCancel.Click = [this] { cmdCancel_Click(); };
}

void frmControl::Form_Load() { LoadUsers(); }

void frmControl::LoadUsers() {
    txtUser.Clear();
    SelectedUser = -1;
    for (const auto& user : Users)
        if (!user.UserName.empty()) txtUser.AddItem(user.UserName);
    SelectListItem(txtUser, CurrentUserRecord().UserName);
}

void frmControl::txtUser_Click() {
    const int index = FindUserIndex(Users, txtUser.Text());
    if (index < 0) return;
    SelectedUser = index;
    ShowSettings(SettingsFromRecord(Users[static_cast<size_t>(index)]));
}

void frmControl::txtAfterDecrypt_Click() {
    ShowDefaultSelectionWhenAsked(txtAfterDecrypt, lblDefaultSelection, txtDefaultSelection);
}

bool frmControl::HasSelection() const {
    // After the shown account was deleted the list has no selection, and Save and Delete
    // have no account to act on.
    return txtUser.ListIndex() >= 0 && SelectedUser >= 0 && static_cast<size_t>(SelectedUser) < Users.size() &&
           !Users[static_cast<size_t>(SelectedUser)].UserName.empty();
}

UserSettings frmControl::ReadSettings() const {
    UserSettings s;
    s.Password = txtPassword.Text();
    s.Encrypt = chkEncrypt.Value();
    s.Decrypt = chkDecrypt.Value();
    s.IsAdmin = chkIsAdmin.Value();
    s.StartEasyDrop = chkStartEasyDrop.Value();
    s.AfterDecrypt = txtAfterDecrypt.Text();
    s.DefaultSelection = txtDefaultSelection.Text();
    return s;
}

void frmControl::ShowSettings(const UserSettings& s) {
    txtPassword.SetText(s.Password);
    chkEncrypt.SetValue(s.Encrypt);
    chkDecrypt.SetValue(s.Decrypt);
    chkIsAdmin.SetValue(s.IsAdmin);
    chkStartEasyDrop.SetValue(s.StartEasyDrop);
    SelectListItem(txtAfterDecrypt, s.AfterDecrypt);
    txtAfterDecrypt_Click();
    ShowDefaultSelection(txtDefaultSelection, s.DefaultSelection);
}

bool frmControl::StillAdministrator() {
    if (AppFunctions::AdministratorRightHeld()) return true;
    Unload();
    return false;
}

void frmControl::Reloaded() {
    LoadUsers();
    StillAdministrator();
}

void frmControl::cmdSave_Click() {
    txtPassword.SetText(TrimBlanks(txtPassword.Text()));
    if (!HasSelection()) return;
    if (!StillAdministrator()) return;
    if (!PasswordStorable(txtPassword)) return;

    if (!CheckToBool(chkIsAdmin.Value()) && !AppFunctions::OtherAdminExists(txtUser.Text())) {
        win::MsgBox(MustBeAdministratorMessage());
        chkIsAdmin.SetValue(1);
    }

    if (!PasswordConfirmedIfChanged(txtPassword.Text(), Users[static_cast<size_t>(SelectedUser)].Password)) return;

    // Taken after the confirmation window: the store may have been read again meanwhile.
    switch (SaveSettings(Users[static_cast<size_t>(SelectedUser)], ReadSettings(), Rights::Store)) {
        case AppFunctions::SaveOutcome::Saved: break;
        case AppFunctions::SaveOutcome::NotSaved: return;  // told; memory is what the file still holds
        case AppFunctions::SaveOutcome::Reloaded: return Reloaded();
    }
    win::MsgBox(kSavedMessage);
}

void frmControl::cmdCancel_Click() { Unload(); }

void frmControl::mnuAddNew_Click() {
    if (!StillAdministrator()) return;
    for (;;) {
        const std::wstring answer =
            TrimBlanks(win::InputBox(L"Enter New User Name.", L"Add New User", L"User Name"));
        if (answer.empty()) return;
        if (auto refusal = RefusalForStore(StoreField::UserName, answer)) {
            win::MsgBox(*refusal);
            continue;  // asked again
        }
        for (const auto& user : Users) {
            if (SameName(user.UserName, answer)) {
                win::MsgBox(DuplicateUserMessage(user.UserName));
                return;
            }
        }
        Users.push_back(NewUserRecord(answer));
        switch (AppFunctions::SaveUsers()) {
            case AppFunctions::SaveOutcome::Saved: break;
            case AppFunctions::SaveOutcome::NotSaved: Users.pop_back(); return;
            case AppFunctions::SaveOutcome::Reloaded: return Reloaded();
        }
        txtUser.AddItem(answer);
        SelectListItem(txtUser, answer);
        return;
    }
}

void frmControl::mnuDelete_Click() {
    if (!HasSelection()) return;
    if (!StillAdministrator()) return;
    const std::wstring name = txtUser.Text();
    if (!AppFunctions::OtherAdminExists(name)) {
        win::MsgBox(OnlyAdministratorMessage());
        return;
    }
    if (win::MsgBox(DeleteQuestion(name), win::MsgButtons::YesNo) != win::MsgResult::Yes) return;

    const size_t index = static_cast<size_t>(SelectedUser);
    const std::wstring stored = Users[index].UserName;
    Users[index].UserName.clear();
    switch (AppFunctions::SaveUsers()) {
        case AppFunctions::SaveOutcome::Saved: break;
        case AppFunctions::SaveOutcome::NotSaved: Users[index].UserName = stored; return;
        case AppFunctions::SaveOutcome::Reloaded: return Reloaded();
    }
    win::MsgBox(DeletedMessage(name));
    LoadUsers();
}

void frmControl::mnuExit_Click() { Unload(); }

}  // namespace kv
