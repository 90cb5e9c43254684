// A read-only view of a long text, line by line: only the lines on screen are drawn, so a
// text of hundreds of thousands of lines is shown at once. Lines are picked with the mouse
// or the keyboard (Shift extends, Ctrl+A takes all) and Ctrl+C copies them.
// The text is read and set through the window text (WM_GETTEXT / WM_SETTEXT), as for any
// text box; EM_GETLINECOUNT gives the number of lines. Accessibility clients see it as
// read-only text whose value is that text (WM_GETOBJECT). The mouse wheel scrolls by the
// lines the system sets per notch (the sideways wheel by its characters), adding up the
// small steps of precision touchpads.
#pragma once

#include <string>
#include <vector>

#include "win/controls.h"

namespace kv::win {

class TextView : public Control {
public:
    void Create(const Container& where, const std::wstring& text, const Rect& rect, const FontDesc& font = {});

    int LineCount() const { return static_cast<int>(starts_.size()); }
    int TopLine() const { return top_; }
    // The picked lines, first and last (equal when one is picked; -1 when none).
    int SelectionFirst() const;
    int SelectionLast() const;
    std::wstring SelectedText() const;

    static const wchar_t kClassName[];

private:
    static LRESULT CALLBACK ViewProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Assign(const wchar_t* text);
    std::wstring_view Line(int index) const;
    void Measure();
    void UpdateScrollBars();
    void ScrollTo(int top, int left);
    int VisibleLines() const;
    void Pick(int line, bool extend);
    void Paint(HDC dc, const RECT& area);
    void Wheel(int delta);
    void WheelAcross(int delta);

    std::wstring text_;
    std::vector<size_t> starts_{0};
    HFONT font_ = nullptr;
    int lineHeight_ = 16;
    int charWidth_ = 8;
    int widest_ = 0;  // pixels
    int top_ = 0;     // first line shown
    int left_ = 0;    // pixels scrolled to the right
    int anchor_ = -1, caret_ = -1;
    long long wheelRest_ = 0;        // wheel turned but not yet a whole line, in 1/WHEEL_DELTA lines
    long long wheelAcrossRest_ = 0;  // sideways, in 1/WHEEL_DELTA pixels
};

}  // namespace kv::win
