#include "win/app.h"

#include <commctrl.h>
#include <ole2.h>

#include "win/dialogs.h"
#include "win/form.h"
#include "win/text.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace kv::win {
namespace {

int g_loaded = 0;
int g_holds = 0;
std::function<void()> g_onLastUnloaded = [] { ::PostQuitMessage(0); };
std::function<void(Form&)> g_modalHook;
bool g_busy = false;
std::atomic<int> g_dispatchDepth{0};

constexpr UINT kRunPosted = WM_APP + 1;

// Tasks posted to the window thread. The queue (not the message) holds them, so a message
// lost in some loop loses nothing: the next message runs everything queued.
std::mutex g_postedLock;
std::deque<std::function<void()>> g_posted;
HWND g_programWindow = nullptr;

void RunPosted() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(g_postedLock);
            if (g_posted.empty()) return;
            task = std::move(g_posted.front());
            g_posted.pop_front();
        }
        try {
            task();
        } catch (...) {
            ReportFailure(AppTitle());
        }
    }
}

LRESULT CALLBACK ProgramWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRunPosted) {
        RunPosted();
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void CreateProgramWindow() {
    if (g_programWindow) return;
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = &ProgramWindowProc;
    wc.hInstance = Instance();
    wc.lpszClassName = L"KorvaneProgram";
    ::RegisterClassExW(&wc);
    g_programWindow = ::CreateWindowExW(0, L"KorvaneProgram", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        Instance(), nullptr);
}

}  // namespace

void PostToProgram(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(g_postedLock);
        g_posted.push_back(std::move(task));
    }
    if (g_programWindow) ::PostMessageW(g_programWindow, kRunPosted, 0, 0);
}

std::function<bool(const MSG&)> g_messageFilter;

void SetMessageFilter(std::function<bool(const MSG&)> filter) { g_messageFilter = std::move(filter); }

void DispatchProgramMessage(MSG& msg) {
    if (g_messageFilter && g_messageFilter(msg)) return;
    struct Depth {
        Depth() { ++g_dispatchDepth; }
        ~Depth() { --g_dispatchDepth; }
    } depth;
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && root != g_programWindow && ::IsDialogMessageW(root, &msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

int DispatchDepth() { return g_dispatchDepth.load(); }

bool PumpPendingMessages(WPARAM& quitCode) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitCode = msg.wParam;
            return false;
        }
        DispatchProgramMessage(msg);
    }
    return true;
}

DWORD WaitHandlingMessages(HANDLE object, DWORD wakeMask, bool pumpOnLastWake) {
    bool quit = false;
    WPARAM quitCode = 0;
    DWORD woke = WAIT_TIMEOUT;
    for (;;) {
        woke = quit ? ::WaitForSingleObject(object, INFINITE)
                    : ::MsgWaitForMultipleObjectsEx(1, &object, INFINITE, wakeMask, MWMO_INPUTAVAILABLE);
        const bool last = woke == WAIT_OBJECT_0 || woke == WAIT_FAILED || woke == WAIT_ABANDONED_0;
        if (last && woke != WAIT_OBJECT_0) break;
        if (!quit && (!last || pumpOnLastWake) && !PumpPendingMessages(quitCode)) quit = true;
        if (last) break;
    }
    const DWORD error = ::GetLastError();
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    ::SetLastError(error);
    return woke;
}

std::vector<HWND> DisableProgramWindows(HWND keep) {
    struct Collect {
        HWND keep;
        std::vector<HWND> disabled;
    } collect{keep, {}};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Collect*>(p);
            if (w != c->keep && ::IsWindowVisible(w) && ::IsWindowEnabled(w)) c->disabled.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&collect));
    for (HWND w : collect.disabled) ::EnableWindow(w, FALSE);
    return collect.disabled;
}

SystemError::SystemError(std::wstring context, DWORD code)
    : std::system_error(static_cast<int>(code), std::system_category(), ToAnsi(context)), context_(std::move(context)) {}

std::wstring DescribeException(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
        return L"Unknown error.";
    } catch (const SystemError& e) {
        const std::wstring words = SystemErrorText(static_cast<DWORD>(e.code().value()));
        return e.context().empty() ? words : e.context() + L": " + words;
    } catch (const std::system_error& e) {
        return SystemErrorText(static_cast<DWORD>(e.code().value()));
    } catch (const std::bad_alloc&) {
        return L"Not enough memory.";
    } catch (const std::exception& e) {
        return FromAnsi(e.what());
    } catch (...) {
        return L"Unknown error.";
    }
}

void IgnoreErrors(const std::function<void()>& fn) {
    try {
        fn();
    } catch (...) {
    }
}

void ReportFailure(const std::wstring& what) {
    std::wstring text = what.empty() ? AppTitle() : what;
    text += L": an unexpected error occurred.";
    text += CR;
    text += DescribeException(std::current_exception());
    PostToProgram([text] { MsgBox(text, MsgButtons::OK, MsgIcon::Critical); });
}

void DoEvents(int times) {
    for (int i = 0; i < times; ++i) {
        WPARAM quitCode = 0;
        if (!PumpPendingMessages(quitCode)) {
            ::PostQuitMessage(static_cast<int>(quitCode));  // leave it for the main loop
            return;
        }
    }
}

int RunMessageLoop() {
    MSG msg;
    while (g_loaded > 0 || g_holds > 0) {
        PurgeRetiredForms();  // no handler is running out here
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) break;
        DispatchProgramMessage(msg);
    }
    return 0;
}

int LoadedFormCount() { return g_loaded; }

void SetLastFormUnloadedHandler(std::function<void()> handler) { g_onLastUnloaded = std::move(handler); }

void SetModalHook(std::function<void(Form&)> hook) { g_modalHook = std::move(hook); }

void RunModalHook(Form& form) {
    if (g_modalHook) {
        auto hook = g_modalHook;
        hook(form);
    }
}

void SetBusyPointer(bool busy) {
    g_busy = busy;
    // Forms keep the pointer as it is over their windows (WM_SETCURSOR); this sets it now.
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

bool BusyPointer() { return g_busy; }

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

void InitializeWindowing() {
    static bool done = false;
    if (done) return;
    done = true;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::OleInitialize(nullptr);
    CreateProgramWindow();
}

void NotifyFormLoaded(Form&) { ++g_loaded; }

ProgramHold::ProgramHold() { ++g_holds; }

ProgramHold::~ProgramHold() {
    if (--g_holds == 0 && g_loaded == 0 && g_onLastUnloaded) {
        auto handler = g_onLastUnloaded;
        handler();
    }
}

void NotifyFormUnloaded(Form&) {
    if (g_loaded > 0) --g_loaded;
    if (g_loaded == 0 && g_holds == 0 && g_onLastUnloaded) {
        auto handler = g_onLastUnloaded;
        handler();
    }
}

}  // namespace kv::win
