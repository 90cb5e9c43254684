// What accessibility clients (screen readers, magnifiers, UI automation through its MSAA
// bridge) are told about a read-only text control of ours: a text, read only, focusable,
// whose value is the window's text. Everything else (where it is, its parent, navigation)
// comes from the system's standard object for the window.
#pragma once

#include <windows.h>

namespace kv::win {

// The answer to WM_GETOBJECT for the control's client object (OBJID_CLIENT); 0 for any other
// object or when the accessibility library cannot be loaded, so that DefWindowProc answers.
// oleacc.dll is loaded on first use from the system folder only.
LRESULT AnswerReadOnlyTextObject(HWND hwnd, WPARAM wp, LPARAM lp);

// Tells listening clients that the control's value changed, or that it got the focus.
void NotifyTextValueChanged(HWND hwnd);
void NotifyTextFocused(HWND hwnd);

}  // namespace kv::win
