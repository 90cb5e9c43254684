// The help window and the about box, driven through window messages.
#include "harness.h"
#include "layout_checks.h"

#include <string>
#include <tuple>
#include <vector>

#include "ui/frmAbout.h"
#include "ui/frmHelp.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {

namespace {

using kv::frmAbout;
using kv::frmHelp;
using kv::win::LoadedForm;
using kv::win::TheForm;

// The topics and their texts, written out here piece by piece as the program must show them.
const wchar_t* const kBreak = L"\r\n\r\n";
const std::vector<std::pair<std::wstring, std::wstring>>& ExpectedTopics() {
    static const std::vector<std::pair<std::wstring, std::wstring>> topics = {
        {L"Overview",
         std::wstring(L"Kor-Vane is a document security system that uses encryption to ") +
             L"keep your sensitive documents secure.  Passwords are required to decrypt documents " +
             L"and all encyption or decryption actions are recorded in a log.  Encrypted " +
             L"files can not be opened, viewed, or printed.  Decrypting a document requires a password."},
        {L"Encrypting and Decrypting",
         std::wstring(L"To encrypt a file, open Kor-Vane and log in.  Then locate the file using ") +
             L"Windows Explorer.  Drag and Drop the file onto the green box in the Kor-Vane screen.  " +
             L"The file will be encrypted automatically." + kBreak +
             L"Decrypting a file works the same way.  Locate the encrypted file, " +
             L"and Drag and Drop onto the green box." + kBreak +
             L"Kor-Vane automatically recognizes weather a file is encrypted or not.  " +
             L"When a file that in not encrypted is dropped onto the green box, it will be encrypted.  When " +
             L"a file that has already been encrypted is dropped onto the green box, it will be decrypted."},
        {L"Regular Vs. Quick-Drop Mode",
         std::wstring(L"Regular Mode -- The main screen has a built-in file locator and several buttons.  You can "
                      L"click the Browse button ") +
             L"to locate a file.  When you select a file, you can click the Encrypt\\Decrypt button to process the "
             L"file you selected.  It " +
             L"also has a green box where you can Drag and Drop files for processing.  It behaves like a regular "
             L"window, and is best for " +
             L"processing one file at a time." + kBreak +
             L"Quick-Drop Mode -- The main screen is very small.  There is only a green box, " +
             L"and an Options menu.  This window will always stay on top of other windows, making it ideal for "
             L"processing multiple files " +
             L"at a time, or files from multiple folders.  The window will not get 'burried' under other windows as "
             L"you explore you computer " +
             L"looking for files to encrypt or decrypt."},
        {L"Configuring Users",
         std::wstring(L"Initally, the program has one user named Admin with a blank password.  It is strongly "
                      L"recommended that ") +
             L"you assign a password to the Admin user, and any other Kor-Vane user you create." + kBreak +
             L"Creating Users -- First, log into Kor-Vane as an Administrator.  Find the menu item 'Users' and click "
             L"it.  " +
             L"The main Users screen will open.  At the top of this screen, click the 'File' menu, and choose 'Add "
             L"New User'.  You will be " +
             L"prompted to enter then name for the new user.  The new user account is now ready for you to "
             L"configure." +
             kBreak +
             L"Changing a Password -- From the Users screen, change the password in the password box.  Click the "
             L"'Save' " +
             L"button.  You will be prompted to confirm the new passord.  Once you re-type the password to confirm "
             L"it, the password is changed." +
             kBreak +
             L"Is Administrator -- This option determines weather or not a user can preform administrative tasks, "
             L"such as " +
             L"makes changes to other user accounts, creating user accounts, and viewing the Action Log." + kBreak +
             L"Start in Easy-Drop Mode -- If this option is checked, the Easy-Drop screen is show after logging in, "
             L"instead of the " +
             L"Regular Mode screen." + kBreak +
             L"View Decrypted Files -- After files are decrypted, you can be automatically shown the files, or be "
             L"prompted to select which files to view.  " +
             L"If you choose to be prompted, you will also be asked to select your 'Default Selection'.  This "
             L"feature is used when multiple files are decrypted at one time. " +
             L"All files that were decrypted will appear in a list.  'ALL' will automatically select each file for "
             L"viewing.  'NONE' will not select any files for viewing.  You can " +
             L"select or unselect any files you wish, and the click 'OK'." + kBreak +
             L"NOTE: If a user is not an Administrator, they can make changes to thier own account, but not to ohter "
             L"user accounts."},
        {L"The Action Log",
         std::wstring(L"Each time a file is encrypted or decrypted, an entry is made in the Action Log.  This is ") +
             L"a way for you to keep track of which users are decrypting and encrypting files.  To view the Action "
             L"Log, you must log in to Kor-Vane as an " +
             L"Administrator.  Then locate the 'View Log' menu item and click it.  The log will be displayed in a "
             L"window.  For added security, the log is stored on the computer " +
             L"using special encryption, and can not be viewed outside Kor-Vane, and can not be decrypted by "
             L"Kor-Vane like other files.  You can print the Action Log by viewing the log " +
             L"and using the 'File' then 'Print' menu item."},
    };
    return topics;
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

using Help = KorvaneTest;

TEST_F(Help, OpensAtTheTopLeftWithTheOverviewChosenAndShowsEachTopicExactly) {
    auto& form = TheForm<frmHelp>();
    form.Show();
    Pump();
    EXPECT_EQ(form.Caption(), L"Help");
    const RECT outer = WindowRect(form.hwnd());
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right - outer.left, ::GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_EQ(outer.bottom - outer.top, ::GetSystemMetrics(SM_CYSCREEN) - form.Px(80));

    const auto& topics = ExpectedTopics();
    ASSERT_EQ(form.txtTopic.ListCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(form.txtTopic.List(i), topics[i].first);
    EXPECT_EQ(form.txtTopic.ListIndex(), 0);
    EXPECT_EQ(form.txtHelp.Text(), topics[0].second);
    SaveScreenForReview(L"help");

    for (int i : {4, 1, 3, 2, 0}) {
        ChooseComboItem(form.txtTopic.hwnd(), i);
        EXPECT_EQ(form.txtHelp.Text(), topics[i].second) << Narrow(topics[i].first);
    }
    // The text box wraps (no horizontal scrolling) and is read-only.
    const LONG_PTR style = ::GetWindowLongPtrW(form.txtHelp.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_FALSE(style & (WS_HSCROLL | ES_AUTOHSCROLL));
    EXPECT_TRUE(style & ES_READONLY);
    ChooseComboItem(form.txtTopic.hwnd(), 3);
    SaveScreenForReview(L"help_users");
    // Not modal: the window leaves the others alone and the call returned at once.
    EXPECT_TRUE(::IsWindowEnabled(form.hwnd()));
}

TEST_F(Help, TheTextBoxFillsTheWindowBelowTheTopicList) {
    auto& form = TheForm<frmHelp>();
    form.Show();
    Pump();
    ::SetWindowPos(form.hwnd(), nullptr, 0, 0, form.Px(6000), form.Px(5000), SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    const RECT box = WindowRect(form.txtHelp.hwnd());
    RECT client{};
    ::GetClientRect(form.hwnd(), &client);
    POINT bottomRight{box.right, box.bottom};
    ::ScreenToClient(form.hwnd(), &bottomRight);
    // Below the topic list and apart from it, it ends at the bottom of the window's client
    // area and nearly at its right: the whole box, scroll bar included, stays visible.
    EXPECT_TRUE(LaidOutWhole(form.hwnd()));
    EXPECT_LE(bottomRight.y, client.bottom);
    EXPECT_GE(bottomRight.y, client.bottom - 1);
    EXPECT_LE(bottomRight.x, client.right);
    EXPECT_GE(bottomRight.x, client.right - form.Px(300));
    const RECT list = WindowRect(form.txtTopic.hwnd());
    EXPECT_GE(box.top, list.bottom - 1);
}

class About : public KorvaneTest {
protected:
    void TearDown() override {
        kv::SetAboutShellHandler({});
        KorvaneTest::TearDown();
    }
    // The text colour the window sets up for painting a label.
    COLORREF PaintedColor(frmAbout& form, HWND label) {
        HDC dc = ::CreateCompatibleDC(nullptr);
        ::SetTextColor(dc, RGB(1, 2, 3));
        ::SendMessageW(form.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
        const COLORREF color = ::GetTextColor(dc);
        ::DeleteDC(dc);
        return color;
    }
};

TEST_F(About, NamesTheProgramAndItsVersions) {
    auto& form = TheForm<frmAbout>();
    form.Show();
    Pump();
    EXPECT_EQ(form.Caption(), L"About Korvane...");
    const std::vector<std::pair<kv::win::Label*, std::wstring>> labels = {
        {&form.Label1, L"Oranvel Software"},
        {&form.Label2, L"Program Title:"},
        {&form.lblAppName, L"Korvane"},
        {&form.Label3, L"Virtual Version:"},
        {&form.lblVirtualVersion, L"1.0"},
        {&form.Label5, L"Hard Version:"},
        {&form.lblHardVersion, L"1.0.0"},  // from this program's version resource, 1.0.0.0
        {&form.Label7, L"Oranvel Website:"},
        {&form.lblWebsite, L"www.korvane.example"},
        {&form.Label9, L"Questions, Comments, Tech Support:"},
        {&form.lblEmail, L"support@korvane.example"},
    };
    for (const auto& [label, text] : labels) {
        EXPECT_EQ(label->Text(), text);
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label->hwnd(), WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_STREQ(font.lfFaceName, L"Palatino Linotype") << Narrow(text);
    }
    EXPECT_EQ(form.cmdClose.Text(), L"Close");
    EXPECT_TRUE(form.Image1.Visible());
    SaveScreenForReview(L"about");
}

TEST_F(About, LinksTurnWhiteUnderThePointerAndTakeTheirColourBackOnTheWindow) {
    auto& form = TheForm<frmAbout>();
    form.Show();
    Pump();
    const COLORREF normal = PaintedColor(form, form.lblWebsite.hwnd());
    EXPECT_EQ(form.NormalLinkColor, normal);
    EXPECT_NE(normal, RGB(255, 255, 255));
    EXPECT_EQ(PaintedColor(form, form.lblEmail.hwnd()), normal);

    // The links take the mouse (a plain label would let it through to the window).
    EXPECT_EQ(::SendMessageW(form.lblWebsite.hwnd(), WM_NCHITTEST, 0, 0), HTCLIENT);
    ::SendMessageW(form.lblWebsite.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(PaintedColor(form, form.lblWebsite.hwnd()), RGB(255, 255, 255));
    EXPECT_EQ(PaintedColor(form, form.lblEmail.hwnd()), normal);
    ::SendMessageW(form.lblEmail.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(PaintedColor(form, form.lblEmail.hwnd()), RGB(255, 255, 255));
    SaveScreenForReview(L"about_hover");

    ::SendMessageW(form.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(PaintedColor(form, form.lblWebsite.hwnd()), normal);
    EXPECT_EQ(PaintedColor(form, form.lblEmail.hwnd()), normal);
}

TEST_F(About, LinksOpenTheWebsiteAndAMessageToSupportAndCloseEndsTheModalBox) {
    std::vector<std::tuple<std::wstring, std::wstring, int>> opened;
    kv::SetAboutShellHandler(
        [&](const std::wstring& verb, const std::wstring& url, int style) { opened.emplace_back(verb, url, style); });
    bool shown = false;
    kv::win::SetModalHook([&](kv::win::Form& form) {
        auto& about = static_cast<frmAbout&>(form);
        shown = about.Visible();
        for (HWND link : {about.lblWebsite.hwnd(), about.lblEmail.hwnd()}) {
            ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        }
        ::PostMessageW(about.cmdClose.hwnd(), BM_CLICK, 0, 0);
    });
    TheForm<frmAbout>().ShowModal();
    kv::win::SetModalHook({});
    EXPECT_TRUE(shown);
    EXPECT_EQ(LoadedForm<frmAbout>(), nullptr);
    using Opened = std::tuple<std::wstring, std::wstring, int>;
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], (Opened{L"Open", L"www.korvane.example", SW_SHOWNORMAL}));
    EXPECT_EQ(opened[1], (Opened{L"", L"mailto:support@korvane.example?subject=Korvane", SW_SHOWNORMAL}));
}

}  // namespace
}  // namespace kvtest
