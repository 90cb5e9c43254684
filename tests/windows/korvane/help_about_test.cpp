// The help window and the about box, driven through window messages.
#include "harness.h"
#include "layout_checks.h"

#include <string>
#include <tuple>
#include <vector>

#include "ui/frmAbout.h"
#include "ui/frmHelp.h"
#include "ui/help_topics.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {

namespace {

using kv::frmAbout;
using kv::frmHelp;
using kv::win::LoadedForm;
using kv::win::TheForm;

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

    // The program's own topics, whose words the native tests hold.
    const auto topics = kv::HelpTopics();
    ASSERT_EQ(form.txtTopic.ListCount(), int(topics.size()));
    for (int i = 0; i < int(topics.size()); ++i) EXPECT_EQ(form.txtTopic.List(i), topics[i].title);
    EXPECT_EQ(form.txtTopic.ListIndex(), 0);
    EXPECT_EQ(form.txtHelp.Text(), topics[0].text);
    SaveScreenForReview(L"help");

    for (int i : {4, 1, 3, 2, 0}) {
        ChooseComboItem(form.txtTopic.hwnd(), i);
        EXPECT_EQ(form.txtHelp.Text(), topics[i].text) << Narrow(std::wstring(topics[i].title));
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
    // The program's own words, which the native tests hold; the hard version comes from this
    // program's version resource, 1.0.0.0.
    const kv::AboutWords& w = kv::kAboutWords;
    const std::vector<std::pair<kv::win::Label*, std::wstring_view>> labels = {
        {&form.Label1, w.maker},          {&form.Label2, w.titleCaption},   {&form.lblAppName, w.title},
        {&form.Label3, w.virtualCaption}, {&form.lblVirtualVersion, w.virtualVersion},
        {&form.Label5, w.hardCaption},    {&form.lblHardVersion, L"1.0.0"}, {&form.Label7, w.websiteCaption},
        {&form.lblWebsite, kv::kWebsiteShown}, {&form.Label9, w.supportCaption}, {&form.lblEmail, kv::kSupportEmail},
    };
    for (const auto& [label, text] : labels) {
        EXPECT_EQ(label->Text(), text);
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label->hwnd(), WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_STREQ(font.lfFaceName, L"Palatino Linotype") << Narrow(std::wstring(text));
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
