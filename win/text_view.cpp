#include "win/text_view.h"

#include <windowsx.h>

#include <algorithm>

#include "win/accessible_text.h"
#include "win/app.h"

namespace kv::win {

const wchar_t TextView::kClassName[] = L"KorvaneTextView";

void TextView::Create(const Container& where, const std::wstring& text, const Rect& rect, const FontDesc& font) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &TextView::ViewProc;
        wc.hInstance = Instance();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_IBEAM);
        wc.lpszClassName = kClassName;
        ::RegisterClassExW(&wc);
        registered = true;
    }
    CreateIn(where, kClassName, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, L"", rect, font);
    if (hwnd_) Assign(text.c_str());
}

LRESULT CALLBACK TextView::ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<TextView*>(FromHandle(hwnd));
    if (!self) {
        return ::DefWindowProcW(hwnd, msg, wp, lp);  // while it is being created
    }
    return Guarded(
        L"", [&] { return self->Handle(msg, wp, lp); }, LRESULT{0});
}

void TextView::Assign(const wchar_t* text) {
    text_ = text ? text : L"";
    starts_.assign(1, 0);
    for (size_t i = 0; i + 1 < text_.size(); ++i)
        if (text_[i] == L'\r' && text_[i + 1] == L'\n') starts_.push_back(i + 2);
    top_ = 0;
    left_ = 0;
    anchor_ = caret_ = -1;
    wheelRest_ = wheelAcrossRest_ = 0;
    Measure();
    UpdateScrollBars();
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    NotifyTextValueChanged(hwnd_);
}

void TextView::Wheel(int delta) {
    // A notch (WHEEL_DELTA) scrolls the lines the user has set (3 unless changed), a page
    // when set so. Precision touchpads send small parts of a notch: they add up until they
    // make a line, and a turn the other way starts afresh.
    UINT perNotch = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    if (perNotch == 0) return;
    const int lines = perNotch == WHEEL_PAGESCROLL ? VisibleLines() : static_cast<int>(std::min(perNotch, 1000u));
    if ((wheelRest_ > 0 && delta < 0) || (wheelRest_ < 0 && delta > 0)) wheelRest_ = 0;
    wheelRest_ += static_cast<long long>(delta) * lines;
    const long long whole = wheelRest_ / WHEEL_DELTA;  // toward zero: the rest stays for the next message
    wheelRest_ -= whole * WHEEL_DELTA;
    if (whole != 0) ScrollTo(top_ - static_cast<int>(whole), left_);
}

void TextView::WheelAcross(int delta) {
    // The sideways wheel and a touchpad's sideways swipe: the characters the user has set
    // per notch (3 unless changed), small steps added up; to the right for a positive turn.
    UINT perNotch = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLCHARS, 0, &perNotch, 0);
    if (perNotch == 0) return;
    const long long pixels = static_cast<long long>(std::min(perNotch, 1000u)) * charWidth_;
    if ((wheelAcrossRest_ > 0 && delta < 0) || (wheelAcrossRest_ < 0 && delta > 0)) wheelAcrossRest_ = 0;
    wheelAcrossRest_ += static_cast<long long>(delta) * pixels;
    const long long whole = wheelAcrossRest_ / WHEEL_DELTA;
    wheelAcrossRest_ -= whole * WHEEL_DELTA;
    if (whole != 0) ScrollTo(top_, left_ + static_cast<int>(whole));
}

std::wstring_view TextView::Line(int index) const {
    if (index < 0 || index >= LineCount()) return {};
    const size_t begin = starts_[static_cast<size_t>(index)];
    size_t end = index + 1 < LineCount() ? starts_[static_cast<size_t>(index) + 1] - 2 : text_.size();
    return std::wstring_view(text_).substr(begin, end - begin);
}

void TextView::Measure() {
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ old = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    lineHeight_ = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
    charWidth_ = std::max<int>(1, tm.tmAveCharWidth);
    // The widest line is taken to be the longest one: one measurement, whatever the size.
    int longest = 0;
    for (int i = 0; i < LineCount(); ++i)
        if (Line(i).size() > Line(longest).size()) longest = i;
    SIZE size{};
    const auto line = Line(longest);
    ::GetTextExtentPoint32W(dc, line.data(), static_cast<int>(std::min<size_t>(line.size(), 32767)), &size);
    widest_ = size.cx + charWidth_;
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
}

int TextView::VisibleLines() const {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    return std::max(1, static_cast<int>(r.bottom / lineHeight_));
}

void TextView::UpdateScrollBars() {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    SCROLLINFO v{sizeof(v), SIF_RANGE | SIF_PAGE | SIF_POS, 0, LineCount() - 1, static_cast<UINT>(VisibleLines()), top_};
    ::SetScrollInfo(hwnd_, SB_VERT, &v, TRUE);
    SCROLLINFO h{sizeof(h), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, widest_ - 1),
                 static_cast<UINT>(std::max<LONG>(1, r.right)), left_};
    ::SetScrollInfo(hwnd_, SB_HORZ, &h, TRUE);
}

void TextView::ScrollTo(int top, int left) {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    top = std::clamp(top, 0, std::max(0, LineCount() - VisibleLines()));
    left = std::clamp(left, 0, std::max(0, widest_ - static_cast<int>(r.right)));
    if (top == top_ && left == left_) return;
    top_ = top;
    left_ = left;
    UpdateScrollBars();
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

int TextView::SelectionFirst() const { return anchor_ < 0 ? -1 : std::min(anchor_, caret_); }
int TextView::SelectionLast() const { return anchor_ < 0 ? -1 : std::max(anchor_, caret_); }

std::wstring TextView::SelectedText() const {
    if (anchor_ < 0) return {};
    const size_t begin = starts_[static_cast<size_t>(SelectionFirst())];
    const int last = SelectionLast();
    const size_t end = last + 1 < LineCount() ? starts_[static_cast<size_t>(last) + 1] : text_.size();
    return text_.substr(begin, end - begin);
}

void TextView::Pick(int line, bool extend) {
    if (LineCount() == 0) return;
    line = std::clamp(line, 0, LineCount() - 1);
    if (!extend || anchor_ < 0) anchor_ = line;
    caret_ = line;
    if (line < top_) ScrollTo(line, left_);
    else if (line >= top_ + VisibleLines()) ScrollTo(line - VisibleLines() + 1, left_);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void TextView::Paint(HDC dc, const RECT& area) {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    HGDIOBJ old = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
    const int first = top_ + static_cast<int>(area.top / lineHeight_);
    const int last = std::min(LineCount() - 1, top_ + static_cast<int>(area.bottom / lineHeight_));
    for (int i = first; i <= last; ++i) {
        const bool picked = anchor_ >= 0 && i >= SelectionFirst() && i <= SelectionLast();
        ::SetTextColor(dc, ::GetSysColor(picked ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(picked ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        RECT row{client.left, (i - top_) * lineHeight_, client.right, (i - top_ + 1) * lineHeight_};
        const auto line = Line(i);
        ::ExtTextOutW(dc, 2 - left_, row.top, ETO_OPAQUE | ETO_CLIPPED, &row, line.data(),
                      static_cast<UINT>(std::min<size_t>(line.size(), 8192)), nullptr);
    }
    RECT rest{client.left, std::max<LONG>(area.top, (last - top_ + 1) * lineHeight_), client.right, area.bottom};
    if (rest.top < rest.bottom) ::FillRect(dc, &rest, ::GetSysColorBrush(COLOR_WINDOW));
    ::SelectObject(dc, old);
}

LRESULT TextView::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETTEXT:
        Assign(reinterpret_cast<const wchar_t*>(lp));
        return TRUE;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(text_.size());
    case WM_GETTEXT: {
        if (wp == 0) return 0;
        const size_t n = std::min<size_t>(text_.size(), wp - 1);
        std::copy_n(text_.data(), n, reinterpret_cast<wchar_t*>(lp));
        reinterpret_cast<wchar_t*>(lp)[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    case EM_GETLINECOUNT: return LineCount();
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wp);
        Measure();
        UpdateScrollBars();
        if (LOWORD(lp)) ::InvalidateRect(hwnd_, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_SIZE:
        UpdateScrollBars();
        ScrollTo(top_, left_);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd_, &ps);
        Paint(dc, ps.rcPaint);
        ::EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_VSCROLL: {
        SCROLLINFO si{sizeof(si), SIF_ALL};
        ::GetScrollInfo(hwnd_, SB_VERT, &si);
        int top = top_;
        switch (LOWORD(wp)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleLines(); break;
        case SB_PAGEDOWN: top += VisibleLines(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = si.nTrackPos; break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = LineCount(); break;
        default: break;
        }
        ScrollTo(top, left_);
        return 0;
    }
    case WM_HSCROLL: {
        SCROLLINFO si{sizeof(si), SIF_ALL};
        ::GetScrollInfo(hwnd_, SB_HORZ, &si);
        int left = left_;
        switch (LOWORD(wp)) {
        case SB_LINELEFT: left -= charWidth_ * 4; break;
        case SB_LINERIGHT: left += charWidth_ * 4; break;
        case SB_PAGELEFT: left -= static_cast<int>(si.nPage); break;
        case SB_PAGERIGHT: left += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: left = si.nTrackPos; break;
        default: break;
        }
        ScrollTo(top_, left);
        return 0;
    }
    case WM_MOUSEWHEEL:
        Wheel(GET_WHEEL_DELTA_WPARAM(wp));
        return 0;
    case WM_MOUSEHWHEEL:
        WheelAcross(GET_WHEEL_DELTA_WPARAM(wp));
        return TRUE;  // taken, so the system sends no scroll messages of its own
    case WM_GETOBJECT:
        // Screen readers see read-only text whose value is the whole text.
        if (const LRESULT answer = AnswerReadOnlyTextObject(hwnd_, wp, lp)) return answer;
        return ::DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_LBUTTONDOWN:
        ::SetFocus(hwnd_);
        Pick(top_ + GET_Y_LPARAM(lp) / lineHeight_, (wp & MK_SHIFT) != 0);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: {
        const bool shift = ::GetKeyState(VK_SHIFT) < 0, ctrl = ::GetKeyState(VK_CONTROL) < 0;
        const int at = caret_ < 0 ? top_ : caret_;
        switch (wp) {
        case VK_UP: Pick(at - 1, shift); break;
        case VK_DOWN: Pick(at + 1, shift); break;
        case VK_PRIOR: Pick(at - VisibleLines(), shift); break;
        case VK_NEXT: Pick(at + VisibleLines(), shift); break;
        case VK_HOME: ctrl ? Pick(0, shift) : ScrollTo(top_, 0); break;
        case VK_END: ctrl ? Pick(LineCount() - 1, shift) : ScrollTo(top_, widest_); break;
        case VK_LEFT: ScrollTo(top_, left_ - charWidth_ * 4); break;
        case VK_RIGHT: ScrollTo(top_, left_ + charWidth_ * 4); break;
        case 'A':
            if (ctrl && LineCount() > 0) {
                anchor_ = 0;
                caret_ = LineCount() - 1;
                ::InvalidateRect(hwnd_, nullptr, TRUE);
            }
            break;
        case 'C':
            if (ctrl) ::SendMessageW(hwnd_, WM_COPY, 0, 0);
            break;
        default: break;
        }
        return 0;
    }
    case WM_COPY: {
        const std::wstring text = SelectedText();
        if (text.empty() || !::OpenClipboard(hwnd_)) return 0;
        ::EmptyClipboard();
        if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
            auto* out = static_cast<wchar_t*>(::GlobalLock(memory));
            std::copy_n(text.c_str(), text.size() + 1, out);
            ::GlobalUnlock(memory);
            if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
        }
        ::CloseClipboard();
        return 0;
    }
    case WM_SETFOCUS:
        NotifyTextFocused(hwnd_);
        return 0;
    case WM_KILLFOCUS: return 0;
    default: return ::DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace kv::win
