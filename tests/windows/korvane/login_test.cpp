// The log-in window, driven through the messages a user's clicks and keys produce.
#include "harness.h"

#include "core/Globals.h"
#include "ui/frmEasyDrop.h"
#include "ui/frmMain.h"
#include "users/frmLogIn.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::frmLogIn;
using kv::win::LoadedForm;
using kv::win::TheForm;

class LogIn : public KorvaneTest {
protected:
    frmLogIn& Open(bool showMain = true) {
        auto& form = TheForm<frmLogIn>();
        form.Load();
        form.ShowMain = showMain;
        form.Show();
        Pump();
        return form;
    }
    void AddUser(const std::wstring& name, const std::wstring& password, bool easyDrop = false) {
        kv::UserRecord user = kv::NewUserRecord(name);
        user.Password = password;
        user.StartEasyDrop = easyDrop;
        if (G::Users.size() == 1 && G::Users[0].UserName.empty()) G::Users[0] = user;
        else G::Users.push_back(user);
    }
};

TEST_F(LogIn, AFreshInstallationLogsInWithEnterAndABlankPassword) {
    G::Users = {kv::DefaultAdministrator()};
    frmLogIn& form = Open();
    EXPECT_EQ(form.Caption(), L"Log-In");
    EXPECT_EQ(form.txtUser.ListIndex(), 0);
    EXPECT_EQ(form.txtUser.Text(), L"Admin");
    EXPECT_TRUE(form.txtPassword.HasFocus());
    EXPECT_EQ(::SendMessageW(form.txtPassword.hwnd(), EM_GETPASSWORDCHAR, 0, 0), L'*');

    PressKey(form.txtPassword.hwnd(), VK_RETURN);
    EXPECT_TRUE(dialogs.Shown().empty());
    EXPECT_EQ(G::CurrentUser, 0);
    EXPECT_EQ(LoadedForm<frmLogIn>(), nullptr);
    auto* main = LoadedForm<kv::frmMain>();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->Visible());
    EXPECT_EQ(main->Caption(), L"Korvane");
    EXPECT_EQ(LoadedForm<kv::frmEasyDrop>(), nullptr);
    EXPECT_EQ(lastFormUnloads, 0);  // the working window keeps the program alive
}

TEST_F(LogIn, WithSeveralUsersNothingIsPreselectedAndAnEmptyNameIsRefused) {
    AddUser(L"Admin", L"");
    AddUser(L"Bob", L"pw");
    frmLogIn& form = Open();
    EXPECT_EQ(form.txtUser.ListCount(), 2);
    EXPECT_EQ(form.txtUser.ListIndex(), -1);
    dialogs.ExpectMessage(L"Invalid User");
    Click(form.cmdLogIn.hwnd());
    EXPECT_NE(LoadedForm<frmLogIn>(), nullptr);
    EXPECT_EQ(G::CurrentUser, 0);
    EXPECT_EQ(dialogs.TitlesShown().back(), L"Korvane");
}

TEST_F(LogIn, PasswordsAreTrimmedAndCompareWithoutCase) {
    AddUser(L"Admin", L"");
    AddUser(L"Bob", L"Secret");
    frmLogIn& form = Open();
    ChooseComboItem(form.txtUser.hwnd(), 1);

    TypeText(form.txtPassword.hwnd(), L"  wrong  ");
    dialogs.ExpectMessage(L"Invalid Password");
    Click(form.cmdLogIn.hwnd());
    EXPECT_EQ(form.txtPassword.Text(), L"wrong");  // the box shows the trimmed text
    EXPECT_EQ(form.txtUser.Text(), L"Bob");
    EXPECT_EQ(G::CurrentUser, 0);

    TypeText(form.txtPassword.hwnd(), L"  sECRET ");
    Click(form.cmdLogIn.hwnd());
    EXPECT_EQ(G::CurrentUser, 1);
    EXPECT_EQ(LoadedForm<frmLogIn>(), nullptr);
    EXPECT_NE(LoadedForm<kv::frmMain>(), nullptr);
}

TEST_F(LogIn, TheEasyDropPreferenceOpensTheEasyDropWindow) {
    AddUser(L"Admin", L"");
    AddUser(L"Dana", L"x", /*easyDrop=*/true);
    frmLogIn& form = Open();
    ChooseComboItem(form.txtUser.hwnd(), 1);
    TypeText(form.txtPassword.hwnd(), L"X");
    PressKey(form.txtUser.hwnd(), VK_RETURN);  // Enter in the user list logs in too
    EXPECT_EQ(G::CurrentUser, 1);
    EXPECT_EQ(LoadedForm<frmLogIn>(), nullptr);
    EXPECT_EQ(LoadedForm<kv::frmMain>(), nullptr);
    auto* easy = LoadedForm<kv::frmEasyDrop>();
    ASSERT_NE(easy, nullptr);
    EXPECT_TRUE(easy->Visible());
}

TEST_F(LogIn, WithoutShowMainALogInOnlyRecordsTheUser) {
    AddUser(L"Admin", L"");
    AddUser(L"Bob", L"pw");
    frmLogIn& form = Open(/*showMain=*/false);
    ChooseComboItem(form.txtUser.hwnd(), 1);
    TypeText(form.txtPassword.hwnd(), L"pw");
    Click(form.cmdLogIn.hwnd());
    EXPECT_EQ(G::CurrentUser, 1);
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_EQ(lastFormUnloads, 1);
}

TEST_F(LogIn, APasswordThatReadsLikeTheUnknownUserMarkerStillWorks) {
    AddUser(L"Admin", L"");
    AddUser(L"Odd", L"INVALID USER");
    frmLogIn& form = Open();
    ChooseComboItem(form.txtUser.hwnd(), 1);
    TypeText(form.txtPassword.hwnd(), L"invalid user");
    Click(form.cmdLogIn.hwnd());
    EXPECT_EQ(G::CurrentUser, 1);
    EXPECT_TRUE(dialogs.Shown().empty());
}

TEST_F(LogIn, CancelEndsTheProgramWhenItIsTheOnlyWindow) {
    G::Users = {kv::DefaultAdministrator()};
    frmLogIn& form = Open();
    Click(form.Cancel.hwnd());
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_EQ(lastFormUnloads, 1);
    EXPECT_EQ(G::CurrentUser, 0);
}

TEST_F(LogIn, ClosingTheLogInAndOpeningItAgainGivesAFreshWindow) {
    G::Users = {kv::DefaultAdministrator()};
    frmLogIn& first = Open();
    TypeText(first.txtPassword.hwnd(), L"typed");
    ::SendMessageW(first.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(LoadedForm<frmLogIn>(), nullptr);
    frmLogIn& second = Open();
    EXPECT_EQ(second.txtPassword.Text(), L"");
    EXPECT_EQ(second.txtUser.ListCount(), 1);
}

}  // namespace
}  // namespace kvtest
