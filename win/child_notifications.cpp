#include "win/child_notifications.h"

#include <windowsx.h>

#include "win/controls.h"

namespace kv::win {

Control* ControlFromHandle(HWND hwnd) {
    return Control::FromHandle(hwnd);
}

bool ReflectToControl(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND: {
        Control* c = lp ? ControlFromHandle(reinterpret_cast<HWND>(lp)) : nullptr;
        if (!c) return false;
        c->OnCommand(HIWORD(wp));
        result = 0;
        return true;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        Control* c = header ? ControlFromHandle(header->hwndFrom) : nullptr;
        return c && c->OnNotify(*header, result);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: {
        Control* c = ControlFromHandle(reinterpret_cast<HWND>(lp));
        if (!c) return false;
        HBRUSH brush = c->ColorFor(reinterpret_cast<HDC>(wp), msg);
        if (!brush) return false;
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }
    case WM_CONTEXTMENU: {
        HWND target = reinterpret_cast<HWND>(wp);
        if (target == parent) return false;
        Control* c = ControlFromHandle(target);
        if (!c || !c->ContextMenu) return false;
        POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (at.x == -1 && at.y == -1) {  // from the keyboard: the control's top left corner
            RECT r{};
            ::GetWindowRect(target, &r);
            at = {r.left, r.top};
        }
        auto handler = c->ContextMenu;
        handler(at);
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

}  // namespace kv::win
