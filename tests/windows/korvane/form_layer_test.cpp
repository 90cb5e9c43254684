// The window layer itself: program-wide instances, modal forms, menus rebuilt by
// visibility, frames beneath their controls, and focus on activation.
#include "harness.h"
#include "layout_checks.h"

#include "win/app.h"
#include "win/controls.h"
#include "win/form.h"

namespace kvtest {
namespace {

using kv::win::TheForm;

class Owner : public kv::win::Form {
public:
    kv::win::Frame frame;
    kv::win::TextBox first;
    kv::win::CommandButton button;
    int loads = 0;

protected:
    kv::win::FormDesign Design() const override {
        kv::win::FormDesign design;
        design.caption = L"Owner";
        return design;
    }
    void CreateControls() override {
        const kv::win::Container form{this, hwnd(), 0, 0};
        frame.Create(form, L"Frame", {120, 120, 3000, 1500});
        first.Create(frame.Inside(), L"", {240, 360, 2000, 285});
        button.Create(form, L"Button", {120, 1800, 1500, 375});
        SetMenuBar({{L"mnuFile", L"File", nullptr,
                     {{L"mnuOne", L"One", [this] { ++clicks; }}, {L"mnuTwo", L"Two", nullptr}}}});
    }
    void Form_Load() override { ++loads; }

public:
    int clicks = 0;
};

class Dialog : public kv::win::Form {
public:
    bool ownerEnabledWhileLoading = true;
    HWND owner = nullptr;

protected:
    kv::win::FormDesign Design() const override {
        kv::win::FormDesign design;
        design.caption = L"Dialog";
        return design;
    }
    void Form_Load() override { ownerEnabledWhileLoading = ::IsWindowEnabled(owner) != FALSE; }
};

class Counted : public kv::win::Form {
public:
    static inline int destroyed = 0;
    ~Counted() override { ++destroyed; }

protected:
    kv::win::FormDesign Design() const override { return {}; }
};

int MenuItems(HMENU menu) { return ::GetMenuItemCount(::GetSubMenu(menu, 0)); }

using FormLayer = KorvaneTest;

TEST_F(FormLayer, TheProgramWideInstanceIsFreshAfterAnUnload) {
    Owner& first = TheForm<Owner>();
    first.Show();
    EXPECT_EQ(&TheForm<Owner>(), &first);  // reused while loaded
    first.button.SetText(L"changed");
    first.Unload();
    EXPECT_EQ(lastFormUnloads, 1);  // it was the only window
    Owner& second = TheForm<Owner>();
    EXPECT_FALSE(second.IsLoaded());
    second.Show();
    EXPECT_EQ(second.loads, 1);
    EXPECT_EQ(second.button.Text(), L"Button");
    second.Unload();
    EXPECT_EQ(lastFormUnloads, 2);
}

TEST_F(FormLayer, RetiredInstancesAreFreedOnlyWhenPurged) {
    Counted::destroyed = 0;
    Counted& first = TheForm<Counted>();
    first.Show();
    first.Unload();
    Counted& second = TheForm<Counted>();  // the first is retired, not yet freed
    EXPECT_NE(&first, &second);
    EXPECT_EQ(Counted::destroyed, 0);
    kv::win::PurgeRetiredForms();
    EXPECT_EQ(Counted::destroyed, 1);
    EXPECT_EQ(&TheForm<Counted>(), &second);  // the live instance is kept
}

TEST_F(FormLayer, AModalFormDisablesTheOthersFromItsLoadUntilItCloses) {
    Owner& owner = TheForm<Owner>();
    owner.Show();
    Dialog& dialog = TheForm<Dialog>();
    dialog.owner = owner.hwnd();
    bool ownerEnabledWhileShown = true;
    kv::win::SetModalHook([&](kv::win::Form& shown) {
        ownerEnabledWhileShown = ::IsWindowEnabled(owner.hwnd()) != FALSE;
        shown.Unload();
    });
    dialog.ShowModal();
    kv::win::SetModalHook(nullptr);
    EXPECT_FALSE(dialog.ownerEnabledWhileLoading);
    EXPECT_FALSE(ownerEnabledWhileShown);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
    EXPECT_FALSE(dialog.IsLoaded());
}

TEST_F(FormLayer, HiddenMenuItemsLeaveTheMenuAndComeBack) {
    Owner& owner = TheForm<Owner>();
    owner.Show();
    EXPECT_EQ(MenuItems(owner.MenuHandle()), 2);
    const int clientHeight = owner.ClientHeight();
    owner.SetMenuVisible(L"mnuOne", false);
    EXPECT_EQ(MenuItems(owner.MenuHandle()), 1);
    EXPECT_FALSE(owner.ClickMenu(L"mnuOne"));  // a hidden item cannot be chosen
    owner.SetMenuVisible(L"mnuOne", true);
    EXPECT_EQ(MenuItems(owner.MenuHandle()), 2);
    EXPECT_TRUE(owner.ClickMenu(L"mnuOne"));
    EXPECT_EQ(owner.clicks, 1);
    EXPECT_EQ(owner.ClientHeight(), clientHeight);  // rebuilding keeps the client area

    // The real menu command reaches the same action.
    const UINT id = ::GetMenuItemID(::GetSubMenu(owner.MenuHandle(), 0), 0);
    ::SendMessageW(owner.hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    EXPECT_EQ(owner.clicks, 2);
}

TEST_F(FormLayer, FramesLieBeneathTheirControlsAndFocusGoesToTheFirstControl) {
    Owner& owner = TheForm<Owner>();
    owner.Show();
    ::SendMessageW(owner.hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    // Z order from the top: every control before the frame.
    HWND last = nullptr;
    for (HWND w = ::GetWindow(owner.hwnd(), GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) last = w;
    EXPECT_EQ(last, owner.frame.hwnd());
    // The text box placed in the frame is positioned from the frame's corner, and is seen
    // wholly inside it, below the frame's caption.
    RECT box{}, frame{};
    ::GetWindowRect(owner.first.hwnd(), &box);
    ::GetWindowRect(owner.frame.hwnd(), &frame);
    EXPECT_EQ(box.left - frame.left, owner.Px(240));
    EXPECT_EQ(box.top - frame.top, owner.Px(360));
    EXPECT_TRUE(Contains(frame, box)) << RectText(box) << " outside the frame " << RectText(frame);
    EXPECT_TRUE(LaidOutWhole(owner.hwnd()));
    EXPECT_TRUE(owner.first.HasFocus());
}

}  // namespace
}  // namespace kvtest
