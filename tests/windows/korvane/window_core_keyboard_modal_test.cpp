// More of the window core as users meet it: pop-up menus chosen with the keyboard, check
// lists that say which line was ticked, Enter going through the real dialog manager (as a
// posted key and as a key typed on the keyboard), a processing run that goes on while a
// modal window is open, and the log viewer closed while it is still loading.
#include "harness.h"

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/Cipher.h"
#include "core/Globals.h"
#include "app/Pipeline.h"
#include "core/action_log.h"
#include "ui/frmMain.h"
#include "ui/frmProgress.h"
#include "ui/frmViewLogFile.h"
#include "ui/log_text.h"
#include "win/app.h"
#include "win/controls.h"
#include "win/form.h"
#include "win/handle.h"
#include "tests/support/forwarding_file_system.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::win::Container;
using kv::win::LoadedForm;
using kv::win::MenuItem;
using kv::win::TheForm;

// A form with what these tests drive: a text box, a default OK and a Cancel button, a
// label, a check list on the form and one inside a picture box, and a timer.
class Sheet : public kv::win::Form {
public:
    explicit Sheet(std::wstring caption, bool taskbar = true) : caption_(std::move(caption)), taskbar_(taskbar) {}
    kv::win::TextBox text;
    kv::win::CommandButton ok, cancel;
    kv::win::Label label;
    kv::win::CheckList checks, innerChecks;
    kv::win::PictureBox picture;
    kv::win::Timer timer;
    int okClicks = 0, cancelClicks = 0;
    std::function<void()> onOk, onCancel;
    std::vector<int> checked, innerChecked;  // ItemCheck indexes, in order

    // Ends the modal form with `result` after `ms` unless something ended it before:
    // a key that goes nowhere fails the test instead of hanging it.
    void EndAfter(int ms, int result) {
        timer.SetInterval(ms);
        timer.TimerEvent = [this, result] { EndModal(result); };
        timer.SetEnabled(true);
    }

protected:
    kv::win::FormDesign Design() const override {
        kv::win::FormDesign design;
        design.caption = caption_;
        design.showInTaskbar = taskbar_;
        design.clientWidth = 6000;
        design.clientHeight = 3600;
        return design;
    }
    void CreateControls() override {
        const Container c{this, hwnd(), 0, 0};
        text.Create(c, L"", {120, 120, 2000, 285});
        label.Create(c, L"Right-click here", {120, 480, 2000, 255});
        ok.Create(c, L"OK", {4800, 120, 1000, 375}, {}, true);
        cancel.Create(c, L"Cancel", {4800, 600, 1000, 375});
        checks.Create(c, {120, 900, 2200, 1200});
        picture.Create(c, {2520, 900, 2200, 1800}, RGB(0, 128, 0));
        innerChecks.Create(picture.Inside(), {120, 120, 1900, 1200});
        for (auto* list : {&checks, &innerChecks})
            for (const wchar_t* line : {L"Program files", L"Desktop shortcut", L"Start menu entry"}) list->AddItem(line);
        ok.Click = [this] {
            ++okClicks;
            if (onOk) onOk();
        };
        cancel.Click = [this] {
            ++cancelClicks;
            if (onCancel) onCancel();
        };
        checks.ItemCheck = [this](int index) { checked.push_back(index); };
        innerChecks.ItemCheck = [this](int index) { innerChecked.push_back(index); };
        timer.Create(this, 0, false);
    }

private:
    std::wstring caption_;
    bool taskbar_;
};

class WindowCoreMore : public KorvaneTest {};

// ---- pop-up menus ----------------------------------------------------------------------

// Ends a menu's own loop after `ms` should the keys meant for it go astray.
class MenuSafetyNet {
public:
    explicit MenuSafetyNet(UINT ms) { timer_ = ::SetTimer(nullptr, 0, ms, &Fire); }
    ~MenuSafetyNet() { ::KillTimer(nullptr, timer_); }
    static inline bool fired = false;

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) {
        fired = true;
        ::EndMenu();
    }
    UINT_PTR timer_ = 0;
};

TEST_F(WindowCoreMore, APopUpMenuRunsTheItemChosenWithTheKeyboardAndEscChoosesNothing) {
    Sheet form(L"Menus");
    form.Show();
    Pump();
    int first = 0, second = 0;
    const std::vector<MenuItem> items{{L"mnuFirst", L"&First", [&] { ++first; }},
                                      {L"mnuLine", L"-"},
                                      {L"mnuSecond", L"&Second", [&] { ++second; }}};
    RECT r{};
    ::GetWindowRect(form.text.hwnd(), &r);
    MenuSafetyNet::fired = false;
    {
        // Keys already waiting are read by the menu's own loop once it is open.
        MenuSafetyNet net(3000);
        ::PostMessageW(form.hwnd(), WM_CHAR, L's', 1);
        EXPECT_TRUE(form.PopupMenu(items, {r.left, r.bottom}));
    }
    EXPECT_EQ(second, 1);
    EXPECT_EQ(first, 0);
    {
        MenuSafetyNet net(3000);
        ::PostMessageW(form.hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
        EXPECT_FALSE(form.PopupMenu(items, {r.left, r.bottom}));
    }
    EXPECT_EQ(first + second, 1);
    EXPECT_FALSE(MenuSafetyNet::fired) << "a key did not reach the menu";

    // A right click on a control reaches its ContextMenu through the form, at the
    // point clicked, and the menu it opens is answered like any other.
    POINT at{-1, -1};
    bool chosen = false;
    form.label.ContextMenu = [&](POINT screen) {
        at = screen;
        chosen = form.PopupMenu(items, screen);
    };
    {
        MenuSafetyNet net(3000);
        ::PostMessageW(form.label.hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(7, 5));
        ::PostMessageW(form.hwnd(), WM_CHAR, L'f', 1);
        Pump();
    }
    POINT expected{7, 5};
    ::ClientToScreen(form.label.hwnd(), &expected);
    EXPECT_EQ(at.x, expected.x);
    EXPECT_EQ(at.y, expected.y);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(first, 1);
    EXPECT_FALSE(MenuSafetyNet::fired);
}

// ---- check lists -----------------------------------------------------------------------

// Clicks the check box of a check list's line, where the mouse would.
void ClickCheckBox(HWND list, int index) {
    RECT line{};
    ListView_GetItemRect(list, index, &line, LVIR_BOUNDS);
    const int y = (line.top + line.bottom) / 2;
    for (int x = line.left; x < line.left + 60; ++x) {
        LVHITTESTINFO hit{};
        hit.pt = {x, y};
        if (ListView_HitTest(list, &hit) == index && (hit.flags & LVHT_ONITEMSTATEICON)) {
            ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            Pump();
            return;
        }
    }
    ADD_FAILURE() << "no check box found on line " << index;
}

TEST_F(WindowCoreMore, ACheckListTellsWhichLineWasTickedOrCleared) {
    Sheet form(L"Check list");
    form.Show();
    Pump();
    // Filling the lists ticks nothing.
    EXPECT_TRUE(form.checks.ItemCheck != nullptr);
    EXPECT_TRUE(form.checked.empty());
    EXPECT_TRUE(form.innerChecked.empty());
    ASSERT_EQ(form.checks.ListCount(), 3);

    ClickCheckBox(form.checks.hwnd(), 1);
    EXPECT_EQ(form.checked, std::vector<int>{1});
    EXPECT_TRUE(form.checks.Selected(1));
    EXPECT_FALSE(form.checks.Selected(0));
    ClickCheckBox(form.checks.hwnd(), 1);
    EXPECT_EQ(form.checked, (std::vector<int>{1, 1}));
    EXPECT_FALSE(form.checks.Selected(1));
    // Set by code, as a user's tick; setting it to what it is already says nothing.
    form.checks.SetSelected(2, true);
    form.checks.SetSelected(2, true);
    Pump();
    EXPECT_EQ(form.checked, (std::vector<int>{1, 1, 2}));
    // Selecting a line without touching its check box is no tick.
    ListView_SetItemState(form.checks.hwnd(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Pump();
    EXPECT_EQ(form.checked, (std::vector<int>{1, 1, 2}));

    // A list inside a picture box is told through the picture box, and only it is told.
    ClickCheckBox(form.innerChecks.hwnd(), 2);
    EXPECT_EQ(form.innerChecked, std::vector<int>{2});
    EXPECT_TRUE(form.innerChecks.Selected(2));
    EXPECT_EQ(form.checked, (std::vector<int>{1, 1, 2}));
}

// ---- Enter through the dialog manager ---------------------------------------------------

class EnterKey : public WindowCoreMore {
protected:
    // Shows `modal` over an owner; `press` runs once it is up. OK ends it with IDOK,
    // Cancel with IDRETRY, and nothing within `patienceMs` with IDABORT.
    int RunModal(Sheet& modal, const std::function<void()>& press, int patienceMs = 2000) {
        Sheet owner(L"Owner");
        owner.Show();
        Pump();
        modal.onOk = [&] { modal.EndModal(IDOK); };
        modal.onCancel = [&] { modal.EndModal(IDRETRY); };
        kv::win::SetModalHook([&](kv::win::Form&) {
            modal.EndAfter(patienceMs, IDABORT);
            press();
        });
        const int result = modal.ShowModal(&owner);
        kv::win::SetModalHook(nullptr);
        return result;
    }
};

TEST_F(EnterKey, EnterPostedToTheFocusClicksTheDefaultOrTheFocusedButton) {
    struct Case {
        const char* what;
        bool onCancel;    // the focus on the Cancel button rather than in the text box
        bool okDisabled;  // the default button disabled
        int result, okClicks, cancelClicks;
    };
    for (const Case& c : {Case{"in a text box: the default button", false, false, IDOK, 1, 0},
                          Case{"on a push button: that button", true, false, IDRETRY, 0, 1},
                          Case{"with the default button disabled: nothing", false, true, IDABORT, 0, 0}}) {
        SCOPED_TRACE(c.what);
        Sheet modal(L"Modal", false);
        kv::win::Control& focus = c.onCancel ? static_cast<kv::win::Control&>(modal.cancel) : modal.text;
        const int result = RunModal(
            modal,
            [&] {
                if (c.okDisabled) modal.ok.SetEnabled(false);
                focus.SetFocus();
                ::PostMessageW(focus.hwnd(), WM_KEYDOWN, VK_RETURN, 1);
            },
            c.result == IDABORT ? 600 : 2000);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(modal.okClicks, c.okClicks);
        EXPECT_EQ(modal.cancelClicks, c.cancelClicks);
    }
}

// The key typed on the keyboard: it goes to the focus of the active window, so the modal
// window has to be the active one first (under a window manager that takes a moment). On
// a display where another program keeps the keyboard the test cannot type and says so.
TEST_F(EnterKey, EnterTypedOnTheKeyboardReachesTheDefaultButton) {
    Sheet modal(L"Modal", false);
    bool active = false;
    HWND focusAtKey = nullptr, textBox = nullptr;
    const int result = RunModal(
        modal,
        [&] {
            ::SetForegroundWindow(modal.hwnd());
            for (int i = 0; i < 100 && ::GetForegroundWindow() != modal.hwnd(); ++i) {
                Pump();
                ::Sleep(20);
            }
            active = ::GetForegroundWindow() == modal.hwnd();
            if (!active) return modal.EndModal(IDIGNORE);
            modal.text.SetFocus();
            textBox = modal.text.hwnd();
            focusAtKey = ::GetFocus();
            INPUT keys[2] = {};
            keys[0].type = keys[1].type = INPUT_KEYBOARD;
            keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            ::SendInput(2, keys, sizeof(INPUT));
        },
        3000);
    if (!active) GTEST_SKIP() << "another program keeps the keyboard on this display";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(focusAtKey, textBox);
    EXPECT_EQ(modal.okClicks, 1);
}

// ---- a run goes on while a modal window is open ------------------------------------------

// The platform's file system, except that the first document opened stays open (the
// transform held up) until the test lets it go, and a task is posted to the window
// thread the moment that happens.
class HeldFileSystem final : public kvtest::ForwardingFileSystem {
public:
    explicit HeldFileSystem(kv::FileSystem& real) : ForwardingFileSystem(real), release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    std::function<void()> whenHeld;  // posted to the window thread
    std::atomic<bool> held{false};
    std::atomic<bool> heldOnWindowThread{false};
    DWORD windowThread = ::GetCurrentThreadId();

    void Release() { ::SetEvent(release_.get()); }

    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        kv::FsStatus status = real_.Open(path, mode, file);
        if (mode == kv::OpenMode::kReadWriteExisting && status.ok() && !once_.exchange(true)) {
            heldOnWindowThread = ::GetCurrentThreadId() == windowThread;
            held = true;
            kv::win::PostToProgram(whenHeld);
            // A transform that is not off the window thread is let go after a while, so
            // the test fails instead of hanging.
            ::WaitForSingleObject(release_.get(), 3000);
            held = false;
        }
        return status;
    }

private:
    kv::win::KernelHandle release_;
    std::atomic<bool> once_{false};
};

// Whether nobody holds the file open: it can be opened with no sharing at all.
bool NotHeldOpen(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

class RunWhileModal : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users[0] = kv::NewUserRecord(L"Admin");
        G::Users[0].AllowEncrypt = true;
        G::Users[0].AllowDecrypt = true;
        G::Users[0].AfterDecrypt = kv::kAfterDecryptNever;
    }
};

TEST_F(RunWhileModal, TheDocumentIsFinishedLoggedAndShownWhileAModalWindowIsOpen) {
    std::vector<std::uint8_t> bytes(300000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>('a' + i % 26);
    const std::wstring first = folder.File(L"first.txt"), second = folder.File(L"second.txt");
    WriteBytes(first, bytes);
    WriteBytes(second, {'h', 'i'});

    HeldFileSystem files(kv::CipherFileSystem());
    Sheet modal(L"Opened during the run", false);
    struct Seen {
        bool opened = false, heldWhenShown = false, progressShown = false;
        bool finished = false, logged = false, closedAgain = false, secondUntouched = false;
        std::uint64_t reports = 0;
        std::int32_t percent = 0;
    } seen;
    // The user opens a modal window while the first document is being transformed; the
    // test looks from inside its loop until that document is done, then closes it.
    files.whenHeld = [&] {
        seen.opened = true;
        kv::win::SetModalHook([&](kv::win::Form&) {
            seen.heldWhenShown = files.held.load();
            files.Release();
            const ULONGLONG start = ::GetTickCount64();
            modal.timer.SetInterval(20);
            modal.timer.TimerEvent = [&, start] {
                const auto* progress = LoadedForm<kv::frmProgress>();
                seen.progressShown = progress && progress->Visible();
                seen.reports = progress ? progress->ReportsReceived() : 0;
                seen.percent = progress ? progress->LastPercent() : 0;
                seen.finished = Exists(first + L"locked") && !Exists(first) && NotHeldOpen(first + L"locked");
                seen.logged = Exists(G::LogFilePath) && CrLfLines(G::LogFilePath, true).size() == 1;
                seen.secondUntouched = Exists(second) && !Exists(second + L"locked");
                if ((seen.finished && seen.logged && seen.percent >= 100) || ::GetTickCount64() - start > 5000)
                    modal.EndModal(IDOK);
            };
            modal.timer.SetEnabled(true);
        });
        modal.ShowModal();
        kv::win::SetModalHook(nullptr);
    };
    kv::SetCipherFileSystem(&files);
    dialogs.ExpectMessage(L"2 files encrypted.");
    kv::Pipeline::ProcessFiles({first, second});
    kv::SetCipherFileSystem(nullptr);

    ASSERT_TRUE(seen.opened);
    EXPECT_FALSE(files.heldOnWindowThread) << "the document was transformed on the window thread";
    EXPECT_TRUE(seen.heldWhenShown) << "the modal window came up only after the document was done";
    EXPECT_TRUE(seen.progressShown);
    EXPECT_TRUE(seen.finished) << "the document was not finished while the modal window was open";
    EXPECT_TRUE(seen.logged) << "its log entry was not written while the modal window was open";
    EXPECT_GT(seen.reports, 0u);
    EXPECT_GE(seen.percent, 100) << "the progress window did not follow the document to its end";
    // The run takes the next document only when its own loop has the window thread again.
    EXPECT_TRUE(seen.secondUntouched);
    // And then finishes whole.
    EXPECT_TRUE(Exists(second + L"locked"));
    EXPECT_EQ(CrLfLines(G::LogFilePath, true).size(), 2u);
    EXPECT_TRUE(dialogs.AllConsumed());
    EXPECT_EQ(LoadedForm<kv::frmProgress>(), nullptr);
    EXPECT_FALSE(kv::Pipeline::RunInProgress());
}

// ---- the log viewer closed while it loads -----------------------------------------------

// Sends the viewer's close box click the moment `when` sees a message it is sent.
class CloseViewerWhen {
public:
    explicit CloseViewerWhen(std::function<bool(const CWPSTRUCT&)> when) {
        when_ = std::move(when);
        done_ = false;
        hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &Watch, nullptr, ::GetCurrentThreadId());
    }
    ~CloseViewerWhen() { ::UnhookWindowsHookEx(hook_); }
    bool Closed() const { return done_; }

private:
    static LRESULT CALLBACK Watch(int code, WPARAM wp, LPARAM lp) {
        const auto& m = *reinterpret_cast<const CWPSTRUCT*>(lp);
        if (code == HC_ACTION && !done_ && when_(m)) {
            done_ = true;
            ::PostMessageW(::GetAncestor(m.hwnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline std::function<bool(const CWPSTRUCT&)> when_;
    static inline bool done_ = false;
    HHOOK hook_ = nullptr;
};

class ViewerClosedWhileLoading : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users = {kv::DefaultAdministrator()};  // the viewer is for administrators
        G::CurrentUser = 0;
        for (int n = 1; n <= 1200; ++n)
            log_ += kv::StoredLogLine(kv::ComposeLogEntry(L"3/14/2024 9:26:53 AM", L"Admin", kv::kActionEncrypted,
                                                          L"C:\\Documents\\report " + std::to_wstring(n) + L".doc"));
        WriteBytes(G::LogFilePath, {log_.begin(), log_.end()});
    }
    // Opens the viewer from the main window as the menu does, closing it as `when` says.
    // No message is expected: one shown anyway fails the test (and is answered No).
    void OpenAndClose(std::function<bool(const CWPSTRUCT&)> when) {
        auto& main = TheForm<kv::frmMain>();
        main.Show();
        Pump();
        CloseViewerWhen closer(std::move(when));
        kv::ShowLogViewer();
        EXPECT_TRUE(closer.Closed());
        Pump();
        EXPECT_TRUE(dialogs.Shown().empty());
        const auto bytes = ReadBytes(G::LogFilePath);
        EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == log_) << "the log was changed";
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"KVL.txt"});
        EXPECT_EQ(LoadedForm<kv::frmViewLogFile>(), nullptr);
        EXPECT_TRUE(::IsWindowEnabled(main.hwnd()));
    }
    std::string log_;
};

TEST_F(ViewerClosedWhileLoading, ClosedOnceTheEntriesAreShownItAsksNothingAndTruncatesNothing) {
    OpenAndClose([](const CWPSTRUCT& m) {
        return m.message == WM_SETTEXT && m.lParam &&
               std::wstring(reinterpret_cast<const wchar_t*>(m.lParam)).find(L"report 1200.doc") != std::wstring::npos;
    });
}

TEST_F(ViewerClosedWhileLoading, ClosedAsItComesUpItAsksNothingAndTruncatesNothing) {
    OpenAndClose([](const CWPSTRUCT& m) {
        return m.message == WM_SHOWWINDOW && m.wParam && WindowText(m.hwnd) == L"Log File";
    });
}

}  // namespace
}  // namespace kvtest
