// The read-only line view the action log is shown in: its text, lines, picking and copying.
#include "harness.h"

#include <oleacc.h>

#include "win/form.h"
#include "win/system_library.h"
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

// What an accessibility client gets for the view: asked as a screen reader asks, through
// oleacc (which sends the view WM_GETOBJECT).
IAccessible* AccessibleOf(HWND hwnd) {
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    const auto fromWindow = kv::win::SystemProc<FromWindow>(L"oleacc.dll", "AccessibleObjectFromWindow");
    if (!fromWindow) return nullptr;
    IAccessible* object = nullptr;
    if (FAILED(fromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                          reinterpret_cast<void**>(&object))))
        return nullptr;
    return object;
}

VARIANT Self() {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

std::wstring Value(IAccessible* object, HRESULT* result = nullptr) {
    BSTR value = nullptr;
    const HRESULT hr = object->get_accValue(Self(), &value);
    if (result) *result = hr;
    std::wstring text = value ? std::wstring(value, ::SysStringLen(value)) : std::wstring();
    ::SysFreeString(value);
    return text;
}

TEST_F(TextView, ScreenReadersSeeReadOnlyTextWithItsValue) {
    Host& host = kv::win::TheForm<Host>();
    host.Show();
    Pump();
    IAccessible* object = AccessibleOf(host.view.hwnd());
    ASSERT_NE(object, nullptr) << "no accessible object for the view";

    VARIANT role;
    ::VariantInit(&role);
    ASSERT_EQ(object->get_accRole(Self(), &role), S_OK);
    EXPECT_EQ(role.vt, VT_I4);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    VARIANT state;
    ::VariantInit(&state);
    ASSERT_EQ(object->get_accState(Self(), &state), S_OK);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_READONLY);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_FOCUSABLE);
    BSTR name = nullptr;
    EXPECT_EQ(object->get_accName(Self(), &name), S_OK);
    EXPECT_EQ(std::wstring(name ? name : L""), L"View");  // the window's caption
    ::SysFreeString(name);

    EXPECT_EQ(Value(object), L"first\r\nsecond");
    // The value follows the text, a long one whole.
    std::wstring big;
    for (int i = 0; i < 20000; ++i) big += L"entry " + std::to_wstring(i) + L"\r\n";
    host.view.SetText(big);
    EXPECT_TRUE(Value(object) == big);

    // Read only: a client cannot change it.
    BSTR other = ::SysAllocString(L"changed");
    EXPECT_TRUE(FAILED(object->put_accValue(Self(), other)));
    ::SysFreeString(other);
    EXPECT_TRUE(host.view.Text() == big);
    // No children to ask about.
    VARIANT child = Self();
    child.lVal = 1;
    BSTR none = nullptr;
    EXPECT_EQ(object->get_accValue(child, &none), E_INVALIDARG);
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(object->accLocation(&left, &top, &width, &height, Self()), S_OK);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);

    // Once the window is gone the object says so instead of reading freed memory.
    host.Unload();
    Pump();
    HRESULT hr = S_OK;
    EXPECT_EQ(Value(object, &hr), L"");
    EXPECT_TRUE(FAILED(hr));
    object->Release();
}

TEST_F(TextView, TheWheelScrollsByNotchesAndAddsUpATouchpadsSmallSteps) {
    UINT perNotch = 0;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0));
    ASSERT_GT(perNotch, 0u);
    ASSERT_LT(perNotch, 20u) << "this check expects a line setting, not page scrolling";
    const int lines = static_cast<int>(perNotch);
    Host& host = kv::win::TheForm<Host>();
    host.Show();
    std::wstring big;
    for (int i = 0; i < 5000; ++i) big += L"line " + std::to_wstring(i) + L"\r\n";
    host.view.SetText(big);
    HWND view = host.view.hwnd();
    auto wheel = [&](int delta) { ::SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(10, 10)); };

    wheel(-WHEEL_DELTA);  // one notch towards the user: down
    EXPECT_EQ(host.view.TopLine(), lines);
    wheel(-2 * WHEEL_DELTA);
    EXPECT_EQ(host.view.TopLine(), 3 * lines);
    wheel(WHEEL_DELTA);
    EXPECT_EQ(host.view.TopLine(), 2 * lines);

    // A precision touchpad: a notch in ten steps of 12 moves as far as the notch itself,
    // and no step is lost on the way.
    const int before = host.view.TopLine();
    for (int i = 0; i < 10; ++i) wheel(-12);
    EXPECT_EQ(host.view.TopLine(), before + lines);
    for (int i = 0; i < 40; ++i) wheel(-3);
    EXPECT_EQ(host.view.TopLine(), before + 2 * lines);
    // Part of a line turned one way, then the other: the rest of the first way is dropped,
    // so the view does not jump back by what was turned before.
    wheel(-30);
    const int mid = host.view.TopLine();
    for (int i = 0; i < 10; ++i) wheel(12);
    EXPECT_EQ(host.view.TopLine(), mid - lines);

    // New text starts from the top with nothing left over.
    wheel(-30);
    host.view.SetText(big);
    EXPECT_EQ(host.view.TopLine(), 0);
    wheel(-10);
    EXPECT_EQ(host.view.TopLine(), 0);
    // At the top, turning up stays there.
    wheel(10 * WHEEL_DELTA);
    EXPECT_EQ(host.view.TopLine(), 0);

    // Sideways, through a line far wider than the view: small steps add up as well, to the
    // right for a positive turn, and back.
    host.view.SetText(std::wstring(3000, L'x') + L"\r\n" + big);
    auto across = [&](int delta) {
        ::SendMessageW(view, WM_MOUSEHWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(10, 10));
        return ::GetScrollPos(view, SB_HORZ);
    };
    const int notch = across(WHEEL_DELTA);
    EXPECT_GT(notch, 0);
    int steps = 0;
    for (int i = 0; i < 10; ++i) steps = across(12);
    EXPECT_EQ(steps, 2 * notch);
    EXPECT_EQ(across(-WHEEL_DELTA), notch);
    EXPECT_EQ(host.view.TopLine(), 0);  // sideways never scrolls down
}

}  // namespace
}  // namespace kvtest
