// What a user sees of a window's layout, measured on the real windows: every visible
// control lies wholly inside its window's client area, a control on a frame lies wholly in
// the frame, no two controls lie over each other (a label counts where its text is), and
// every caption fits its control in the font it is drawn with.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"

namespace kvtest {

// A visible control directly on a window, with its rectangle in the window's client
// coordinates.
struct PlacedControl {
    HWND hwnd = nullptr;
    RECT rect{};
};

inline std::vector<PlacedControl> VisibleControls(HWND parent) {
    std::vector<PlacedControl> found;
    for (HWND w = ::GetWindow(parent, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
        // The style, not IsWindowVisible: the window itself may not be shown yet.
        if (!(::GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE)) continue;
        RECT r{};
        ::GetWindowRect(w, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        found.push_back({w, r});
    }
    return found;
}

inline std::string ControlName(HWND w) {
    return Narrow(WindowClass(w)) + " \"" + Narrow(WindowText(w).substr(0, 40)) + "\"";
}

inline std::string RectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

inline bool IsFrame(HWND w) {
    return _wcsicmp(WindowClass(w).c_str(), L"Button") == 0 &&
           (::GetWindowLongPtrW(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

inline bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

inline bool Listed(const std::vector<HWND>& list, HWND w) {
    for (HWND x : list)
        if (x == w) return true;
    return false;
}

// Every visible control of `parent` lies wholly inside its client area (`except`: controls
// that reach past it on purpose).
inline ::testing::AssertionResult ControlsInsideClientArea(HWND parent, const std::vector<HWND>& except = {}) {
    RECT client{};
    ::GetClientRect(parent, &client);
    std::string faults;
    for (const auto& c : VisibleControls(parent))
        if (!Listed(except, c.hwnd) && !Contains(client, c.rect))
            faults += "\n  " + ControlName(c.hwnd) + " at " + RectText(c.rect) + " leaves the client area " +
                      RectText(client);
    if (faults.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "in \"" << Narrow(WindowText(parent)) << "\":" << faults;
}

// Where a label's text is drawn, in the parent's client coordinates: a label is only as
// wide and high as its text for the eye (its empty rest shows the window behind it). Other
// controls are seen whole.
inline RECT SeenRect(HWND parent, const PlacedControl& c) {
    if (_wcsicmp(WindowClass(c.hwnd).c_str(), L"Static") != 0) return c.rect;
    const LONG_PTR style = ::GetWindowLongPtrW(c.hwnd, GWL_STYLE);
    if ((style & SS_TYPEMASK) > SS_RIGHT) return c.rect;  // pictures, frames, lines
    const std::wstring text = WindowText(c.hwnd);
    if (text.empty()) return RECT{c.rect.left, c.rect.top, c.rect.left, c.rect.top};
    RECT room{};
    ::GetClientRect(c.hwnd, &room);
    HDC dc = ::GetDC(c.hwnd);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(c.hwnd, WM_GETFONT, 0, 0)));
    RECT ink{0, 0, room.right, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &ink,
                DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
    ::SelectObject(dc, old);
    ::ReleaseDC(c.hwnd, dc);
    const int width = ink.right, spare = room.right - width;
    const LONG_PTR align = style & SS_TYPEMASK;
    const int offset = align == SS_CENTER ? spare / 2 : align == SS_RIGHT ? spare : 0;
    POINT origin{0, 0};
    ::MapWindowPoints(c.hwnd, parent, &origin, 1);
    return RECT{origin.x + offset, origin.y, origin.x + offset + width, origin.y + ink.bottom};
}

// No two visible controls of `parent` overlap as the eye sees them (labels by their
// text), except a frame and the controls lying wholly inside it; a control that overlaps
// a frame only in part is cut by its edge. Neighbours that share an edge of a design pixel
// (15 twips: one pixel at 96 dpi, two at 144 or 192), as designs in twips round to, are not
// lying over each other.
inline ::testing::AssertionResult ControlsApart(HWND parent, const std::vector<HWND>& except = {}) {
    const auto controls = VisibleControls(parent);
    // The shared edge of a design is one pixel at 96 dpi, 15 twips: at a higher dpi those
    // 15 twips are more than one pixel (two at 144 and 192 dpi).
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    const int edge = std::max(1, (15 * dpi + 1439) / 1440);
    std::string faults;
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const auto &a = controls[i], &b = controls[j];
            if (Listed(except, a.hwnd) || Listed(except, b.hwnd)) continue;
            if (IsFrame(a.hwnd) && Contains(a.rect, b.rect) && !IsFrame(b.hwnd)) continue;
            if (IsFrame(b.hwnd) && Contains(b.rect, a.rect) && !IsFrame(a.hwnd)) continue;
            const bool framed = IsFrame(a.hwnd) || IsFrame(b.hwnd);
            const RECT seenA = framed ? a.rect : SeenRect(parent, a), seenB = framed ? b.rect : SeenRect(parent, b);
            RECT common{};
            if (!::IntersectRect(&common, &seenA, &seenB)) continue;
            if (common.right - common.left <= edge || common.bottom - common.top <= edge) continue;
            faults += "\n  " + ControlName(a.hwnd) + " " + RectText(seenA) + " and " + ControlName(b.hwnd) + " " +
                      RectText(seenB);
        }
    if (faults.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "overlapping in \"" << Narrow(WindowText(parent)) << "\":" << faults;
}

// The room a caption needs in the control's own font: labels wrap within their width,
// buttons, check boxes and option buttons keep one line (with room for the box).
inline ::testing::AssertionResult CaptionsFit(HWND parent, const std::vector<HWND>& except = {}) {
    std::string faults;
    for (const auto& c : VisibleControls(parent)) {
        if (Listed(except, c.hwnd)) continue;
        const std::wstring cls = WindowClass(c.hwnd);
        const std::wstring text = WindowText(c.hwnd);
        if (text.empty()) continue;
        const LONG_PTR style = ::GetWindowLongPtrW(c.hwnd, GWL_STYLE);
        const bool label = _wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
        const LONG_PTR kind = style & BS_TYPEMASK;
        const bool button = _wcsicmp(cls.c_str(), L"Button") == 0 && kind != BS_GROUPBOX && kind != BS_OWNERDRAW;
        if (!label && !button) continue;
        RECT room{};
        ::GetClientRect(c.hwnd, &room);
        HDC dc = ::GetDC(c.hwnd);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(c.hwnd, WM_GETFONT, 0, 0)));
        UINT format = DT_CALCRECT | DT_EXPANDTABS;
        if (label && (style & SS_NOPREFIX)) format |= DT_NOPREFIX;
        const bool box = button && (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
                                    kind == BS_AUTORADIOBUTTON || kind == BS_3STATE || kind == BS_AUTO3STATE);
        // A push button keeps a few pixels for its border; a check box or option button
        // the box and the gap after it.
        const int reserved = box ? ::GetSystemMetrics(SM_CXMENUCHECK) + 4 : button ? 6 : 0;
        RECT need{0, 0, room.right - reserved, 0};
        format |= label ? DT_WORDBREAK : DT_SINGLELINE;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, format);
        ::SelectObject(dc, old);
        ::ReleaseDC(c.hwnd, dc);
        const bool fits = need.right <= room.right - reserved && need.bottom <= room.bottom;
        if (!fits)
            faults += "\n  " + ControlName(c.hwnd) + " needs " + std::to_string(need.right + reserved) + "x" +
                      std::to_string(need.bottom) + " pixels, has " + std::to_string(room.right) + "x" +
                      std::to_string(room.bottom);
    }
    if (faults.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "captions cut off in \"" << Narrow(WindowText(parent)) << "\":" << faults;
}

// All three.
inline ::testing::AssertionResult LaidOutWhole(HWND parent, const std::vector<HWND>& except = {}) {
    if (auto r = ControlsInsideClientArea(parent, except); !r) return r;
    if (auto r = ControlsApart(parent, except); !r) return r;
    return CaptionsFit(parent, except);
}

}  // namespace kvtest
