// The read-only line view the action log is shown in: its text, lines, picking and copying.
#include "harness.h"

#include "win/form.h"
#include "win/text_view.h"

namespace kvtest {
namespace {

class Host : public kv::win::Form {
public:
    kv::win::TextView view;

protected:
    kv::win::FormDesign Design() const override {
        kv::win::FormDesign design;
        design.caption = L"View";
        design.clientWidth = 4000;
        design.clientHeight = 1500;
        return design;
    }
    void CreateControls() override { view.Create({this, hwnd(), 0, 0}, L"first\r\nsecond", {0, 0, 4000, 1500}); }
};

std::wstring Clipboard() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(::GlobalLock(data));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

void Key(HWND hwnd, UINT key, bool ctrl = false, bool shift = false) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::SendMessageW(hwnd, WM_KEYDOWN, key, 1);
    state[VK_CONTROL] = state[VK_SHIFT] = 0;
    ::SetKeyboardState(state);
}

using TextView = KorvaneTest;

TEST_F(TextView, HoldsItsTextLikeATextBoxAndCountsLines) {
    Host& host = kv::win::TheForm<Host>();
    host.Show();
    EXPECT_EQ(host.view.Text(), L"first\r\nsecond");
    EXPECT_EQ(::SendMessageW(host.view.hwnd(), EM_GETLINECOUNT, 0, 0), 2);

    std::wstring big;
    for (int i = 0; i < 5000; ++i) big += L"line " + std::to_wstring(i) + L"\r\n";
    host.view.SetText(big);
    EXPECT_EQ(host.view.Text(), big);
    EXPECT_EQ(host.view.LineCount(), 5001);  // the last line end starts an empty line
    EXPECT_EQ(host.view.TopLine(), 0);

    // Scrolling stops at the last page; it never runs past the end.
    ::SendMessageW(host.view.hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    const int lastTop = host.view.TopLine();
    EXPECT_GT(lastTop, 4900);
    ::SendMessageW(host.view.hwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(host.view.TopLine(), lastTop);
    ::SendMessageW(host.view.hwnd(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(host.view.TopLine(), 0);
}

TEST_F(TextView, PickedLinesAreCopiedWithTheirLineEnds) {
    Host& host = kv::win::TheForm<Host>();
    host.Show();
    host.view.SetText(L"alpha\r\nbeta\r\ngamma\r\n");
    HWND view = host.view.hwnd();
    ::SendMessageW(view, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 1));  // the first line
    Key(view, VK_DOWN, false, /*shift=*/true);
    EXPECT_EQ(host.view.SelectionFirst(), 0);
    EXPECT_EQ(host.view.SelectionLast(), 1);
    Key(view, 'C', /*ctrl=*/true);
    EXPECT_EQ(Clipboard(), L"alpha\r\nbeta\r\n");

    Key(view, 'A', /*ctrl=*/true);
    Key(view, 'C', /*ctrl=*/true);
    EXPECT_EQ(Clipboard(), L"alpha\r\nbeta\r\ngamma\r\n");

    // New text drops the pick.
    host.view.SetText(L"other");
    EXPECT_EQ(host.view.SelectionFirst(), -1);
    EXPECT_EQ(host.view.SelectedText(), L"");
}

}  // namespace
}  // namespace kvtest
