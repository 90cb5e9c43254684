#include "win/form.h"

#include <algorithm>
#include <cmath>

#include "win/app.h"
#include "win/controls.h"
#include "win/twips.h"

namespace kv::win {
namespace {

const wchar_t kFormClass[] = L"KorvaneForm";

DWORD StyleFor(const FormDesign& design) {
    switch (design.border) {
    case BorderStyle::None: return WS_POPUP;
    case BorderStyle::Sizable:
        return WS_OVERLAPPEDWINDOW;
    case BorderStyle::FixedToolWindow: return WS_CAPTION | WS_SYSMENU;
    case BorderStyle::FixedDialog: return WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
    case BorderStyle::FixedSingle:
    default: {
        DWORD style = WS_CAPTION | WS_SYSMENU;
        if (design.minButton) style |= WS_MINIMIZEBOX;
        if (design.maxButton) style |= WS_MAXIMIZEBOX;
        return style;
    }
    }
}

DWORD ExStyleFor(const FormDesign& design) {
    DWORD ex = WS_EX_CONTROLPARENT;
    if (design.border == BorderStyle::FixedToolWindow) ex |= WS_EX_TOOLWINDOW;
    if (design.border == BorderStyle::FixedDialog) ex |= WS_EX_DLGMODALFRAME;
    if (design.showInTaskbar && design.border != BorderStyle::FixedToolWindow) ex |= WS_EX_APPWINDOW;
    return ex;
}

}  // namespace

struct Form::ModalState {
    std::vector<HWND> disabled;
    HWND owner = nullptr;
    int result = IDCANCEL;
    bool enabledAgain = false;
    void EnableAgain() {
        if (enabledAgain) return;
        enabledAgain = true;
        for (HWND w : disabled)
            if (::IsWindow(w)) ::EnableWindow(w, TRUE);
    }
};

Form::~Form() {
    if (hwnd_) {
        if (modal_) modal_->EnableAgain();
        HandOverOwnedWindows();
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    // A window destroyed without reaching its procedure must not stay listed as loaded.
    if (UnlistLiveForm(*this)) NotifyFormUnloaded(*this);
}

void Form::Load(Form* owner) {
    if (hwnd_) {
        if (owner && owner->hwnd() && owner->hwnd() != hwnd_ && OwnerWindow() != owner->hwnd())
            ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner->hwnd()));
        return;
    }
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &Form::WndProc;
        wc.hInstance = Instance();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = ::LoadIconW(Instance(), MAKEINTRESOURCEW(1));
        if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        wc.lpszClassName = kFormClass;
        ::RegisterClassExW(&wc);
        registered = true;
    }
    const FormDesign design = Design();
    {
        HDC screen = ::GetDC(nullptr);
        dpi_ = ::GetDeviceCaps(screen, LOGPIXELSX);
        ::ReleaseDC(nullptr, screen);
        if (dpi_ <= 0) dpi_ = 96;
    }
    backColor_ = design.backColor == CLR_INVALID ? ::GetSysColor(COLOR_BTNFACE) : design.backColor;
    backBrush_.reset(::CreateSolidBrush(backColor_));

    const DWORD style = StyleFor(design);
    const DWORD ex = ExStyleFor(design);
    RECT r{0, 0, Px(design.clientWidth), Px(design.clientHeight)};
    ::AdjustWindowRectEx(&r, style, FALSE, ex);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    if (design.centered) {
        RECT work{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + (work.right - work.left - w) / 2;
        y = work.top + (work.bottom - work.top - h) / 2;
    }
    HWND ownerHwnd = owner ? owner->hwnd() : pendingOwner_;
    if (!ownerHwnd && !design.showInTaskbar) ownerHwnd = ActiveProgramWindow();
    // The window procedure keeps the handle in hwnd_ at WM_NCCREATE.
    // cppcheck-suppress ignoredReturnValue
    ::CreateWindowExW(ex, kFormClass, design.caption.c_str(), style, x, y, w, h, ownerHwnd, nullptr, Instance(),
                      this);
    if (!hwnd_) throw SystemError(L"CreateWindowEx", ::GetLastError());
    if (menu_) {
        ::SetMenu(hwnd_, menu_);
        SetClientSize(design.clientWidth, design.clientHeight);
    }
    // The menu bar takes client height; keep the client area as designed.
    CreateControls();
    // Frames lie beneath the controls placed in them (later controls are created below).
    ::EnumChildWindows(
        hwnd_,
        [](HWND child, LPARAM) -> BOOL {
            wchar_t cls[16] = {};
            ::GetClassNameW(child, cls, 16);
            if (_wcsicmp(cls, L"Button") == 0 && (::GetWindowLongPtrW(child, GWL_STYLE) & 0xF) == BS_GROUPBOX)
                ::SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return TRUE;
        },
        0);
    Form_Load();
}

void Form::Show(Form* owner) {
    Load(owner);
    if (!hwnd_) return;
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
}

int Form::ShowModal(Form* owner) {
    ModalState state;
    state.owner = owner && owner->hwnd() ? owner->hwnd() : hwnd_ ? OwnerWindow() : ActiveProgramWindow();
    if (state.owner == hwnd_) state.owner = nullptr;
    // Every other enabled window of the program is disabled while the form is up, from
    // before it loads: what its loading shows is modal already.
    state.disabled = DisableProgramWindows(hwnd_);
    modal_ = &state;
    pendingOwner_ = state.owner;
    auto finish = [&] {
        if (modal_ == &state) modal_ = nullptr;
        state.EnableAgain();
    };
    try {
        Load();
    } catch (...) {
        pendingOwner_ = nullptr;
        finish();
        throw;
    }
    pendingOwner_ = nullptr;
    if (!hwnd_ || unloaded_) {  // it may unload itself while loading
        finish();
        return state.result;
    }
    if (state.owner && OwnerWindow() != state.owner)
        ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(state.owner));
    Show();
    RunModalHook(*this);
    MSG msg;
    while (hwnd_ && !unloaded_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchProgramMessage(msg);
    }
    finish();
    return state.result;
}

void Form::EndModal(int result) {
    if (modal_) modal_->result = result;
    Unload();
}

HWND Form::OwnerWindow() const { return hwnd_ ? ::GetWindow(hwnd_, GW_OWNER) : nullptr; }

void Form::Hide() {
    if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
}

void Form::Unload() {
    if (hwnd_) TryUnload(vbFormCode);
}

bool Form::TryUnload(int mode) {
    if (!hwnd_ || unloading_) return false;
    bool cancel = false;
    try {
        cancel = Form_QueryUnload(mode);
    } catch (...) {
        ReportFailure(Caption());  // the window closes all the same
    }
    if (cancel) return false;
    unloading_ = true;
    try {
        Form_Unload();
    } catch (...) {
        ReportFailure(Caption());
    }
    Destroy();
    return true;
}

void Form::Destroy() {
    if (!hwnd_) return;
    // The windows this one disabled, and its owner, are enabled again before it goes, so
    // Windows gives the activation back to the program and not to another program.
    if (modal_) modal_->EnableAgain();
    HWND owner = OwnerWindow();
    HandOverOwnedWindows();
    if (::GetActiveWindow() == hwnd_ && owner && ::IsWindowVisible(owner) && ::IsWindowEnabled(owner))
        ::SetActiveWindow(owner);
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void Form::HandOverOwnedWindows() {
    // Windows destroys the windows a window owns along with it; forms it owns outlive it
    // and pass to its own owner.
    struct Pass {
        HWND from, to;
    } pass{hwnd_, OwnerWindow()};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* pass = reinterpret_cast<Pass*>(p);
            wchar_t cls[32] = {};
            ::GetClassNameW(w, cls, 32);
            if (::GetWindow(w, GW_OWNER) == pass->from && wcscmp(cls, kFormClass) == 0)
                ::SetWindowLongPtrW(w, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(pass->to));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&pass));
}

bool Form::Visible() const { return hwnd_ && ::IsWindowVisible(hwnd_); }

std::wstring Form::Caption() const {
    if (!hwnd_) return {};
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Form::SetCaption(const std::wstring& caption) {
    if (hwnd_) ::SetWindowTextW(hwnd_, caption.c_str());
}

int Form::Dpi() const { return dpi_; }
int Form::Px(int twips) const { return TwipsToPixels(twips, dpi_); }
int Form::Twips(int pixels) const { return PixelsToTwips(pixels, dpi_); }

int Form::Left() const {
    RECT r{};
    if (hwnd_) ::GetWindowRect(hwnd_, &r);
    return Twips(r.left);
}
int Form::Top() const {
    RECT r{};
    if (hwnd_) ::GetWindowRect(hwnd_, &r);
    return Twips(r.top);
}
int Form::Width() const {
    RECT r{};
    if (hwnd_) ::GetWindowRect(hwnd_, &r);
    return Twips(r.right - r.left);
}
int Form::Height() const {
    RECT r{};
    if (hwnd_) ::GetWindowRect(hwnd_, &r);
    return Twips(r.bottom - r.top);
}
int Form::ClientWidth() const {
    RECT r{};
    if (hwnd_) ::GetClientRect(hwnd_, &r);
    return Twips(r.right);
}
int Form::ClientHeight() const {
    RECT r{};
    if (hwnd_) ::GetClientRect(hwnd_, &r);
    return Twips(r.bottom);
}

void Form::Move(int left, int top) {
    if (hwnd_) ::SetWindowPos(hwnd_, nullptr, Px(left), Px(top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetHeight(int height) {
    if (!hwnd_) return;
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, Px(height), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetClientSize(int width, int height) {
    if (!hwnd_) return;
    RECT r{0, 0, Px(width), Px(height)};
    ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)), menu_ != nullptr,
                         static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
    ::SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT Form::Font(const FontDesc& wanted) {
    auto it = fonts_.find(wanted);
    if (it != fonts_.end()) return it->second.get();
    LOGFONTW lf{};
    lf.lfHeight = PointsToFontHeight(wanted.points, dpi_);
    lf.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = wanted.italic ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, wanted.name.c_str(), LF_FACESIZE);
    HFONT font = ::CreateFontIndirectW(&lf);
    return fonts_.emplace(wanted, FontHandle(font)).first->second.get();
}

// ---- controls and messages ---------------------------------------------------------

int Form::RegisterControl(Control* control) {
    controls_.push_back(control);
    return nextControlId_++;
}

void Form::UnregisterControl(Control* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    if (defaultButton_ == control) defaultButton_ = nullptr;
    if (cancelButton_ == control) cancelButton_ = nullptr;
}

UINT_PTR Form::RegisterTimer(Timer* timer) {
    const UINT_PTR id = nextTimerId_++;
    timers_[id] = timer;
    return id;
}

void Form::UnregisterTimer(Timer* timer) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
        if (it->second == timer) {
            if (hwnd_) ::KillTimer(hwnd_, it->first);
            timers_.erase(it);
            return;
        }
}

bool Form::OnDialogCommand(int id) {
    // Enter and Esc as the dialog manager reports them.
    auto usable = [](Control* c) { return c && c->Exists() && c->Visible() && c->Enabled(); };
    if (id == IDOK) {
        if (usable(defaultButton_)) {
            defaultButton_->OnCommand(BN_CLICKED);
            return true;
        }
        return false;
    }
    if (id == IDCANCEL) {
        if (usable(cancelButton_)) {
            cancelButton_->OnCommand(BN_CLICKED);
            return true;
        }
        if (cancelButton_ == nullptr && modal_) {
            TryUnload(vbFormControlMenu);
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK Form::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Form* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ListLiveForm(*self);
        NotifyFormLoaded(*self);
    } else {
        self = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->unloaded_ = true;
        self->menu_ = nullptr;  // destroyed with the window
        UnlistLiveForm(*self);
        NotifyFormUnloaded(*self);
        return r;
    }
    try {
        return self->OnMessage(msg, wp, lp);
    } catch (...) {
        // No exception may cross into the window manager; the user learns what failed.
        ReportFailure(self->Caption());
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT Form::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        LRESULT result = 0;
        if (lp != 0 && ReflectToControl(hwnd_, msg, wp, lp, result)) return result;
        if (id == IDOK || id == IDCANCEL) {
            OnDialogCommand(id);
            return 0;
        }
        if (lp == 0) {  // menu or accelerator
            auto it = menuActions_.find(static_cast<UINT>(id));
            if (it != menuActions_.end() && it->second) {
                auto action = it->second;
                action();
            }
        }
        return 0;
    }
    case DM_GETDEFID: {
        // Enter clicks the focused push button, else the default button.
        HWND focus = ::GetFocus();
        Control* focused = ControlFromHandle(focus);
        if (focused && ::IsChild(hwnd_, focus) && (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) &
                                                   (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            return MAKELRESULT(focused->Id(), DC_HASDEFID);
        if (defaultButton_ && defaultButton_->Exists() && ::IsChild(hwnd_, defaultButton_->hwnd()))
            return MAKELRESULT(defaultButton_->Id(), DC_HASDEFID);
        return 0;
    }
    case WM_NOTIFY:
    case WM_CONTEXTMENU: {
        LRESULT result = 0;
        if (ReflectToControl(hwnd_, msg, wp, lp, result)) return result;
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        LRESULT result = 0;
        if (ReflectToControl(hwnd_, msg, wp, lp, result)) return result;
        if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
            ::SetBkColor(reinterpret_cast<HDC>(wp), backColor_);
            return reinterpret_cast<LRESULT>(backBrush_.get());
        }
        break;
    }
    case WM_TIMER: {
        auto it = timers_.find(static_cast<UINT_PTR>(wp));
        if (it != timers_.end()) {
            it->second->Fire();
            return 0;
        }
        break;
    }
    case WM_SETCURSOR:
        // The hourglass of a run stays over every window of the program until it ends.
        if (BusyPointer()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE) {
            closeFromUser_ = true;
            const LRESULT r = ::DefWindowProcW(hwnd_, msg, wp, lp);
            closeFromUser_ = false;
            return r;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wp) TryUnload(vbAppWindows);
        return 0;
    case WM_ERASEBKGND: {
        RECT r{};
        ::GetClientRect(hwnd_, &r);
        ::FillRect(reinterpret_cast<HDC>(wp), &r, backBrush_.get());
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else {
            // Keyboard focus goes back where it was, or to the first control that takes it.
            HWND focus = ::GetFocus();
            if (!(focus && ::IsChild(hwnd_, focus)) && !::IsIconic(hwnd_)) {
                HWND target = lastFocus_ && ::IsWindow(lastFocus_) && ::IsChild(hwnd_, lastFocus_)
                                  ? lastFocus_
                                  : ::GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                ::SetFocus(target ? target : hwnd_);
            }
            Form_Activate();
        }
        return 0;
    case WM_SIZE:
        Form_Resize();
        break;
    case WM_CLOSE:
        // The close box and the control menu come through WM_SYSCOMMAND; a bare WM_CLOSE
        // comes from outside the window (the task bar, another program).
        TryUnload(closeFromUser_ ? vbFormControlMenu : vbAppTaskManager);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace kv::win
