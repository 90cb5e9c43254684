// The window core as users meet it: owned modal windows that give the activation back,
// Enter and Esc, message boxes modal to the whole program, timers, option groups, the
// busy pointer, failures that are told, and the end of a Windows session.
#include "harness.h"

#include "core/Globals.h"
#include "ui/frmEasyDrop.h"
#include "win/app.h"
#include "win/controls.h"
#include "win/dialogs.h"
#include "win/form.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/settings.h"

#include <stdexcept>

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::win::Container;

class Plain : public kv::win::Form {
public:
    explicit Plain(std::wstring caption, bool taskbar = true) : caption_(std::move(caption)), taskbar_(taskbar) {}
    kv::win::TextBox text;
    kv::win::CommandButton ok, cancel;
    kv::win::OptionButton one, two, three;
    kv::win::Timer timer;
    bool withCancel = false;
    int okClicks = 0, cancelClicks = 0, optionClicks = 0, ticks = 0;
    std::function<void()> onOk, onCancel;

protected:
    kv::win::FormDesign Design() const override {
        kv::win::FormDesign design;
        design.caption = caption_;
        design.showInTaskbar = taskbar_;
        return design;
    }
    void CreateControls() override {
        const Container c{this, hwnd(), 0, 0};
        text.Create(c, L"", {120, 120, 2000, 285});
        one.Create(c, L"One", {120, 600, 1500, 255}, {}, true);
        two.Create(c, L"Two", {120, 900, 1500, 255});
        three.Create(c, L"Three", {120, 1200, 1500, 255});
        ok.Create(c, L"OK", {2400, 120, 1000, 375}, {}, true);
        cancel.Create(c, L"Cancel", {2400, 600, 1000, 375});
        if (withCancel) cancel.SetCancel();
        ok.Click = [this] {
            ++okClicks;
            if (onOk) onOk();
        };
        cancel.Click = [this] {
            ++cancelClicks;
            if (onCancel) onCancel();
        };
        for (auto* o : {&one, &two, &three}) o->Click = [this] { ++optionClicks; };
        timer.Create(this, 20, false);
        timer.TimerEvent = [this] { ++ticks; };
    }

private:
    std::wstring caption_;
    bool taskbar_;
};

class WindowCore : public KorvaneTest {};

TEST_F(WindowCore, AModalWindowIsOwnedDisablesTheProgramAndGivesTheActivationBack) {
    Plain owner(L"Owner"), other(L"Other"), modal(L"Modal", false);
    other.Show();
    owner.Show();
    Pump();
    HWND ownerAtModal = nullptr;
    bool ownerEnabled = true, otherEnabled = true;
    kv::win::SetModalHook([&](kv::win::Form& f) {
        ownerAtModal = f.OwnerWindow();
        ownerEnabled = ::IsWindowEnabled(owner.hwnd()) != FALSE;
        otherEnabled = ::IsWindowEnabled(other.hwnd()) != FALSE;
        modal.EndModal(IDOK);
    });
    const int result = modal.ShowModal(&owner);
    kv::win::SetModalHook(nullptr);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ownerAtModal, owner.hwnd());
    EXPECT_FALSE(ownerEnabled);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
    EXPECT_TRUE(::IsWindowEnabled(other.hwnd()));
    Pump();
    EXPECT_EQ(::GetActiveWindow(), owner.hwnd());
}

TEST_F(WindowCore, EscAndEnterReachTheCancelAndDefaultButtons) {
    Plain owner(L"Owner");
    owner.Show();
    // Esc on a modal form without a cancel button closes it as its close box does.
    {
        Plain modal(L"Modal", false);
        kv::win::SetModalHook([&](kv::win::Form&) {
            modal.text.SetFocus();
            ::PostMessageW(modal.text.hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
            modal.timer.SetInterval(1500);  // a safety net: a key that went nowhere fails, not hangs
            modal.timer.TimerEvent = [&] { modal.EndModal(IDABORT); };
            modal.timer.SetEnabled(true);
        });
        EXPECT_EQ(modal.ShowModal(&owner), IDCANCEL);
        EXPECT_FALSE(modal.IsLoaded());
    }
    // With one, Esc clicks it (and the form decides); Enter goes to the default button,
    // which the form names to the dialog manager.
    {
        Plain modal(L"Modal", false);
        modal.withCancel = true;
        modal.onCancel = [&] { modal.EndModal(IDRETRY); };
        LRESULT defId = 0;
        kv::win::SetModalHook([&](kv::win::Form&) {
            defId = ::SendMessageW(modal.hwnd(), DM_GETDEFID, 0, 0);
            ::PostMessageW(modal.text.hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
            modal.timer.SetInterval(1500);
            modal.timer.TimerEvent = [&] { modal.EndModal(IDABORT); };
            modal.timer.SetEnabled(true);
        });
        EXPECT_EQ(modal.ShowModal(&owner), IDRETRY);
        EXPECT_EQ(modal.cancelClicks, 1);
        EXPECT_EQ(defId, MAKELRESULT(modal.ok.Id(), DC_HASDEFID));
        EXPECT_EQ(modal.okClicks, 0);
    }
    kv::win::SetModalHook(nullptr);
}

// Answers the real message box from inside its own loop, after looking at it.
struct BoxWatch {
    HWND box = nullptr, owner = nullptr;
    bool otherEnabled = true;
    HWND other = nullptr;
};
BoxWatch* g_watch = nullptr;

TEST_F(WindowCore, ARealMessageBoxIsOwnedByTheActiveWindowAndDisablesTheOthers) {
    Plain main(L"Main"), other(L"Other");
    other.Show();
    main.Show();
    Pump();
    ::SetActiveWindow(main.hwnd());
    BoxWatch watch;
    watch.other = other.hwnd();
    g_watch = &watch;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND w, LPARAM) -> BOOL {
                if (WindowClass(w) == L"#32770" && ::IsWindowVisible(w) && !g_watch->box) {
                    g_watch->box = w;
                    g_watch->owner = ::GetWindow(w, GW_OWNER);
                    g_watch->otherEnabled = ::IsWindowEnabled(g_watch->other) != FALSE;
                    ::PostMessageW(w, WM_COMMAND, IDOK, 0);
                }
                return TRUE;
            },
            0);
    });
    kv::win::DialogService* scripted = kv::win::SetDialogService(nullptr);
    kv::win::MsgBox(L"Program-wide");
    kv::win::SetDialogService(scripted);
    ::KillTimer(nullptr, timer);
    g_watch = nullptr;
    ASSERT_NE(watch.box, nullptr);
    EXPECT_EQ(watch.owner, main.hwnd());
    EXPECT_FALSE(watch.otherEnabled);
    EXPECT_TRUE(::IsWindowEnabled(other.hwnd()));
    EXPECT_TRUE(::IsWindowEnabled(main.hwnd()));
}

TEST_F(WindowCore, TimersFireOnlyWhileEnabled) {
    Plain form(L"Timer");
    form.Show();
    Pump();
    ::Sleep(60);
    Pump();
    EXPECT_EQ(form.ticks, 0);
    form.timer.SetEnabled(true);
    for (int i = 0; i < 20 && form.ticks < 2; ++i) {
        ::Sleep(30);
        Pump();
    }
    EXPECT_GE(form.ticks, 2);
    form.timer.SetEnabled(false);
    Pump();
    const int stopped = form.ticks;
    ::Sleep(80);
    Pump();
    EXPECT_EQ(form.ticks, stopped);
}

TEST_F(WindowCore, AnOptionGroupBehavesAsOne) {
    Plain form(L"Options");
    form.Show();
    form.two.SetValue(true);  // set by code: Click, as a user's choice
    EXPECT_EQ(form.optionClicks, 1);
    form.two.SetValue(true);  // no change, no Click
    EXPECT_EQ(form.optionClicks, 1);
    Click(form.three.hwnd());
    EXPECT_FALSE(form.two.Value());
    EXPECT_TRUE(form.three.Value());
    EXPECT_EQ(form.optionClicks, 2);
    auto tabStop = [](kv::win::Control& c) { return (::GetWindowLongPtrW(c.hwnd(), GWL_STYLE) & WS_TABSTOP) != 0; };
    EXPECT_FALSE(tabStop(form.one));
    EXPECT_FALSE(tabStop(form.two));
    EXPECT_TRUE(tabStop(form.three));
    // The arrow keys move the choice, skipping an option that cannot take it.
    form.one.SetEnabled(false);
    PressKey(form.three.hwnd(), VK_DOWN);
    EXPECT_TRUE(form.two.Value());
    EXPECT_FALSE(form.three.Value());
    EXPECT_EQ(form.optionClicks, 3);
}

TEST_F(WindowCore, TheHourglassStaysOverEveryWindowWhileBusy) {
    Plain form(L"Busy");
    form.Show();
    kv::win::SetBusyPointer(true);
    const LRESULT took = ::SendMessageW(form.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.text.hwnd()),
                                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_TRUE(took);
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_WAIT));
    kv::win::SetBusyPointer(false);
    EXPECT_FALSE(::SendMessageW(form.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.hwnd()),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
}

TEST_F(WindowCore, AFailingHandlerIsToldNotSwallowed) {
    Plain form(L"Faulty");
    form.Show();
    form.onOk = [] { throw std::runtime_error("disk on fire"); };
    dialogs.ExpectMessage(L"Faulty: an unexpected error occurred.\rdisk on fire");
    Click(form.ok.hwnd());
    Pump();
    EXPECT_TRUE(dialogs.AllConsumed());
}

TEST_F(WindowCore, EasyDropSavesItsPlaceWhenWindowsEndsTheSession) {
    G::Users[0].UserName = L"Session User";
    G::Users[0].StartEasyDrop = false;
    kv::win::DeleteSetting(L"Korvane", L"EasyDrop", L"Session User X");
    kv::win::DeleteSetting(L"Korvane", L"EasyDrop", L"Session User Y");
    auto& easy = kv::win::TheForm<kv::frmEasyDrop>();
    easy.Show();
    easy.Move(2880, 1440);
    const int x = easy.Left(), y = easy.Top();
    EXPECT_TRUE(::SendMessageW(easy.hwnd(), WM_QUERYENDSESSION, 0, 0));
    ::SendMessageW(easy.hwnd(), WM_ENDSESSION, TRUE, 0);
    Pump();
    EXPECT_FALSE(easy.IsLoaded());
    EXPECT_EQ(kv::win::GetSetting(L"Korvane", L"EasyDrop", L"Session User X", L""), std::to_wstring(x));
    EXPECT_EQ(kv::win::GetSetting(L"Korvane", L"EasyDrop", L"Session User Y", L""), std::to_wstring(y));
    // Not the user's close box: the main window does not come back for the ending session.
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    kv::win::DeleteSetting(L"Korvane", L"EasyDrop", L"Session User X");
    kv::win::DeleteSetting(L"Korvane", L"EasyDrop", L"Session User Y");
}

TEST_F(WindowCore, AStartedProgramIsWaitedForWhileMessagesAreHandled) {
    bool ranMeanwhile = false;
    kv::win::PostToProgram([&] { ranMeanwhile = true; });
    const kv::win::ProcessOutcome done = kv::win::RunAndWait(L"cmd.exe /c exit 7", SW_HIDE);
    EXPECT_TRUE(done.started);
    EXPECT_EQ(done.exitCode, 7u);
    EXPECT_TRUE(ranMeanwhile);
    const kv::win::ProcessOutcome missing = kv::win::RunAndWait(L"\"C:\\no such\\program.exe\"", SW_HIDE);
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.error, 0u);
}

TEST_F(WindowCore, MachineWideRegistryValuesAreWrittenReadAndRemovedWithTheirKey) {
    const std::wstring key = L"Software\\KorvaneTests\\Entry";
    ASSERT_TRUE(kv::win::SetRegistryText(HKEY_LOCAL_MACHINE, key, L"DisplayName", L"Korvane"));
    ASSERT_TRUE(kv::win::SetRegistryDword(HKEY_LOCAL_MACHINE, key, L"NoModify", 1));
    EXPECT_EQ(kv::win::GetRegistryText(HKEY_LOCAL_MACHINE, key, L"DisplayName"), std::optional<std::wstring>(L"Korvane"));
    EXPECT_EQ(kv::win::GetRegistryDword(HKEY_LOCAL_MACHINE, key, L"NoModify"), std::optional<DWORD>(1));
    EXPECT_FALSE(kv::win::GetRegistryDword(HKEY_LOCAL_MACHINE, key, L"DisplayName").has_value());  // not a DWORD
    EXPECT_TRUE(kv::win::DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\KorvaneTests"));
    EXPECT_FALSE(kv::win::GetRegistryText(HKEY_LOCAL_MACHINE, key, L"DisplayName").has_value());
    EXPECT_TRUE(kv::win::DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\KorvaneTests"));  // already gone
}

}  // namespace
}  // namespace kvtest
