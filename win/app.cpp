#include "win/app.h"

#include <commctrl.h>
#include <ole2.h>

#include "win/form.h"

namespace kv::win {
namespace {

int g_loaded = 0;
int g_holds = 0;
std::function<void()> g_onLastUnloaded = [] { ::PostQuitMessage(0); };
std::function<void(Form&)> g_modalHook;
bool g_busy = false;

}  // namespace

void DoEvents(int times) {
    for (int i = 0; i < times; ++i) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
                return;
            }
            HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (root && ::IsDialogMessageW(root, &msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

int RunMessageLoop() {
    MSG msg;
    while (g_loaded > 0 || g_holds > 0) {
        PurgeRetiredForms();  // no handler is running out here
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) break;
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && ::IsDialogMessageW(root, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
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
