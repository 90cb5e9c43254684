// Child notifications reach the control object of the child that sent them.
#pragma once

#include <windows.h>

namespace kv::win {

class Control;

// Finds the control object of a child window (nullptr for windows that are not ours).
Control* ControlFromHandle(HWND hwnd);

// Routes a child's notification (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, WM_CONTEXTMENU) to its
// control object. Used by forms and by
// container controls alike. Returns true when a control took it; `result` is its answer.
bool ReflectToControl(HWND parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

}  // namespace kv::win
