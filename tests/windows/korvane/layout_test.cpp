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

// These checks run at 96 dpi with the other tests, and again at 144 and 192 dpi (the
// high-dpi run sets KV_EXPECT_DPI): the screen must have the dpi the run is meant for.
TEST_F(WhatUsersSee, TheScreenHasTheDpiThisRunIsFor) {
    wchar_t wanted[16] = {};
    const int expected = ::GetEnvironmentVariableW(L"KV_EXPECT_DPI", wanted, 16) ? _wtoi(wanted) : 96;
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(dpi, expected);
    auto& login = Open<kv::frmLogIn>();
    EXPECT_EQ(login.Dpi(), expected);
}

TEST_F(WhatUsersSee, TheUsersWindowsShowEveryControlWhole) {
    auto& users = Open<kv::frmControl>();
    EXPECT_TRUE(LaidOutWhole(users.hwnd()));
    SaveScreenForReview(L"layout_users");
    users.Unload();

    G::CurrentUser = 1;
    auto& own = Open<kv::frmSingleUser>();
    EXPECT_TRUE(LaidOutWhole(own.hwnd()));
    SaveScreenForReview(L"layout_own_account");
    own.Unload();

    auto& confirm = TheForm<kv::frmConfirmPassword>();
    confirm.Load();
    confirm.Password(L"newpass");
    confirm.Show();
    Pump();
    EXPECT_TRUE(LaidOutWhole(confirm.hwnd()));
    SaveScreenForReview(L"layout_confirm_password");
    confirm.Unload();

    auto& login = Open<kv::frmLogIn>();
    EXPECT_TRUE(LaidOutWhole(login.hwnd()));
    SaveScreenForReview(L"layout_login");
}

TEST_F(WhatUsersSee, TheChooserHelpAboutAndLogWindowsShowEveryControlWhole) {
    G::DecryptedFiles = {folder.File(L"a.txt"), folder.File(L"b.txt")};
    auto& chooser = Open<kv::frmDecrypted>();
    EXPECT_TRUE(LaidOutWhole(chooser.hwnd()));
    SaveScreenForReview(L"layout_chooser");
    chooser.Unload();

    auto& help = Open<kv::frmHelp>();
    EXPECT_TRUE(LaidOutWhole(help.hwnd()));
    SaveScreenForReview(L"layout_help");
    help.Unload();

    auto& about = Open<kv::frmAbout>();
    EXPECT_TRUE(LaidOutWhole(about.hwnd()));
    SaveScreenForReview(L"layout_about");
    about.Unload();

    WriteBytes(G::LogFilePath, {});
    auto& viewer = TheForm<kv::frmViewLogFile>();
    viewer.Load();
    Pump();
    EXPECT_TRUE(LaidOutWhole(viewer.hwnd()));
    SaveScreenForReview(L"layout_log_viewer_empty");
}

// A window frame thicker than a classic one, as Windows 10 or a high dpi draws it: the
// window's procedure is wrapped so that its frame grows by `extra` pixels on every side.
class ThickerFrame {
public:
    ThickerFrame(HWND hwnd, int extra) : hwnd_(hwnd) {
        extra_ = extra;
        original_ = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ThickerFrame::Proc)));
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    ~ThickerFrame() {
        if (::IsWindow(hwnd_)) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        const LRESULT result = ::CallWindowProcW(original_, hwnd, msg, wp, lp);
        if (msg == WM_NCCALCSIZE && lp) {
            RECT* client = wp ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : reinterpret_cast<RECT*>(lp);
            ::InflateRect(client, -extra_, -extra_);
        }
        return result;
    }
    HWND hwnd_;
    static inline WNDPROC original_ = nullptr;
    static inline int extra_ = 0;
};

// The box's right and bottom edges, in the window's client coordinates.
POINT BoxCorner(HWND window, HWND box) {
    RECT r{};
    ::GetWindowRect(box, &r);
    POINT corner{r.right, r.bottom};
    ::ScreenToClient(window, &corner);
    return corner;
}

TEST_F(WhatUsersSee, TheLogViewerAndHelpKeepTheirBoxesWholeInAThickerFrame) {
    WriteBytes(G::LogFilePath, {'a', 'a', '\r', '\n'});
    auto& viewer = TheForm<kv::frmViewLogFile>();
    viewer.Load();
    Pump();
    {
        // 12 pixels more on every side: the outer size less 200 twips across is wider
        // than the client area now.
        const ThickerFrame thick(viewer.hwnd(), 12);
        for (int width : {9000, 6000}) {
            ::SetWindowPos(viewer.hwnd(), nullptr, 0, 0, viewer.Px(width), viewer.Px(5000), SWP_NOZORDER | SWP_NOMOVE);
            Pump();
            EXPECT_TRUE(LaidOutWhole(viewer.hwnd())) << "log viewer " << width << " twips wide";
            RECT client{};
            ::GetClientRect(viewer.hwnd(), &client);
            const POINT corner = BoxCorner(viewer.hwnd(), viewer.txtLog.hwnd());
            EXPECT_GE(corner.x, client.right - viewer.Px(300)) << "the box no longer fills the window";
            EXPECT_GE(corner.y, client.bottom - viewer.Px(300));
        }
    }
    viewer.Unload();

    auto& help = Open<kv::frmHelp>();
    {
        const ThickerFrame thick(help.hwnd(), 12);
        ::SetWindowPos(help.hwnd(), nullptr, 0, 0, help.Px(6000), help.Px(5000), SWP_NOZORDER | SWP_NOMOVE);
        Pump();
        EXPECT_TRUE(LaidOutWhole(help.hwnd()));
        RECT client{};
        ::GetClientRect(help.hwnd(), &client);
        const POINT corner = BoxCorner(help.hwnd(), help.txtHelp.hwnd());
        EXPECT_GE(corner.x, client.right - help.Px(300));
        EXPECT_EQ(corner.y, client.bottom);
    }
    help.Unload();
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
