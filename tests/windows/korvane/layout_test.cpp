// The program's other windows as a user sees them, measured on the real windows: each
// visible control wholly inside the client area (or its frame), none lying over another,
// and every caption fitting its control in the font it is drawn with. (The working
// windows, the progress window, Help's box and the log viewer's box are looked at so in
// their own tests.)
#include "harness.h"
#include "layout_checks.h"

#include <string>
#include <vector>

#include "core/Globals.h"
#include "ui/frmAbout.h"
#include "ui/frmDecrypted.h"
#include "ui/frmHelp.h"
#include "ui/frmViewLogFile.h"
#include "users/AppFunctions.h"
#include "users/frmConfirmPassword.h"
#include "users/frmControl.h"
#include "users/frmLogIn.h"
#include "users/frmSingleUser.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::win::TheForm;

class WhatUsersSee : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users = {kv::DefaultAdministrator(), kv::NewUserRecord(L"Bob")};
        G::CurrentUser = 0;
    }
    void TearDown() override {
        kv::win::SetModalHook(nullptr);
        KorvaneTest::TearDown();
    }
    template <class T>
    T& Open() {
        T& form = TheForm<T>();
        form.Show();
        Pump();
        return form;
    }
};

TEST_F(WhatUsersSee, TheUsersWindowsShowEveryControlWhole) {
    auto& users = Open<kv::frmControl>();
    EXPECT_TRUE(LaidOutWhole(users.hwnd()));
    users.Unload();

    G::CurrentUser = 1;
    auto& own = Open<kv::frmSingleUser>();
    EXPECT_TRUE(LaidOutWhole(own.hwnd()));
    own.Unload();

    auto& confirm = TheForm<kv::frmConfirmPassword>();
    confirm.Load();
    confirm.Password(L"newpass");
    confirm.Show();
    Pump();
    EXPECT_TRUE(LaidOutWhole(confirm.hwnd()));
    confirm.Unload();

    auto& login = Open<kv::frmLogIn>();
    EXPECT_TRUE(LaidOutWhole(login.hwnd()));
}

TEST_F(WhatUsersSee, TheChooserHelpAboutAndLogWindowsShowEveryControlWhole) {
    G::DecryptedFiles = {folder.File(L"a.txt"), folder.File(L"b.txt")};
    auto& chooser = Open<kv::frmDecrypted>();
    EXPECT_TRUE(LaidOutWhole(chooser.hwnd()));
    chooser.Unload();

    auto& help = Open<kv::frmHelp>();
    EXPECT_TRUE(LaidOutWhole(help.hwnd()));
    help.Unload();

    auto& about = Open<kv::frmAbout>();
    EXPECT_TRUE(LaidOutWhole(about.hwnd()));
    about.Unload();

    WriteBytes(G::LogFilePath, {});
    auto& viewer = TheForm<kv::frmViewLogFile>();
    viewer.Load();
    Pump();
    EXPECT_TRUE(LaidOutWhole(viewer.hwnd()));
}

// The checks themselves catch what they are for.
TEST_F(WhatUsersSee, TheChecksSeeAControlCutOffOverlappingOrTooNarrow) {
    class Faulty : public kv::win::Form {
    public:
        kv::win::Label label;
        kv::win::CommandButton button;
        kv::win::TextBox box;

    protected:
        kv::win::FormDesign Design() const override {
            kv::win::FormDesign d;
            d.caption = L"Faulty";
            d.clientWidth = 3000;
            d.clientHeight = 1500;
            return d;
        }
        void CreateControls() override {
            const kv::win::Container c{this, hwnd(), 0, 0};
            label.Create(c, L"Fits", {120, 120, 1200, 255});
            button.Create(c, L"OK", {1800, 120, 1000, 375});
            box.Create(c, L"", {120, 600, 1500, 285});
        }
    } form;
    form.Show();
    Pump();
    EXPECT_TRUE(LaidOutWhole(form.hwnd()));

    form.button.Move({2400, 120, 1000, 375});  // past the right edge
    EXPECT_FALSE(ControlsInsideClientArea(form.hwnd()));
    form.button.Move({1000, 120, 1000, 375});  // beside the label's text: still apart
    EXPECT_TRUE(ControlsApart(form.hwnd()));
    form.button.Move({200, 120, 1000, 375});  // over the label's text
    EXPECT_FALSE(ControlsApart(form.hwnd()));
    form.button.Move({1200, 500, 1000, 375});  // over the text box
    EXPECT_FALSE(ControlsApart(form.hwnd()));
    form.button.Move({1800, 120, 1000, 375});
    form.label.SetText(L"A caption far too long for its little label");
    EXPECT_FALSE(CaptionsFit(form.hwnd()));
    form.label.SetText(L"Fits");
    form.button.SetText(L"A button caption too long");
    EXPECT_FALSE(CaptionsFit(form.hwnd()));
    form.button.SetText(L"OK");
    EXPECT_TRUE(LaidOutWhole(form.hwnd()));
}

}  // namespace
}  // namespace kvtest
