// Standard controls created in code at positions given in twips.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/form.h"

namespace kv::win {

class PictureBox;

// Where a control goes: a form (or a frame on it, which only offsets positions) or a
// picture box, which is a real parent window.
struct Container {
    Form* form = nullptr;
    HWND parent = nullptr;
    int offsetLeft = 0;  // twips
    int offsetTop = 0;
};

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;  // twips
};

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    HWND hwnd() const { return hwnd_; }
    int Id() const { return id_; }
    bool Exists() const { return hwnd_ && ::IsWindow(hwnd_); }

    std::wstring Text() const;
    void SetText(const std::wstring& text);
    bool Visible() const;
    void SetVisible(bool visible);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    void SetFocus();
    bool HasFocus() const;

    // Position within its container, in twips.
    const Rect& Position() const { return rect_; }
    void Move(const Rect& rect);
    void SetWidth(int width);
    void SetFont(const FontDesc& font);
    // Colours; CLR_INVALID keeps the default.
    void SetColors(COLORREF fore, COLORREF back);
    COLORREF ForeColor() const { return fore_; }
    COLORREF BackColor() const { return back_; }

    // Events named as the handlers are: Click (buttons, check boxes, list selections),
    // Change (text edits), KeyDown (return true when handled; Enter is 13).
    std::function<void()> Click;
    std::function<void()> Change;
    std::function<bool(UINT key)> KeyDown;
    // A mouse button pressed over the control: button 1 left, 2 right, 4 middle; shift
    // 1 Shift, 2 Ctrl; the position in twips within the control.
    std::function<void(int button, int shift, int x, int y)> MouseDown;
    // The context menu asked for over the control (right click or the menu key), at a
    // screen position.
    std::function<void(POINT screen)> ContextMenu;

    // Notifications reflected by the parent window (form or container control), found by
    // this control's window handle.
    virtual void OnCommand(WORD code);
    virtual bool OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual HBRUSH ColorFor(HDC dc, UINT message);

    // The control object of a window handle; nullptr for a window that is none of ours.
    static Control* FromHandle(HWND hwnd);
    // The caption of the window the control is in, naming it when a handler fails.
    std::wstring FormCaption() const;

protected:
    // Creates the control's window; a window that cannot be made throws SystemError, as a
    // form that cannot be loaded does.
    void CreateIn(const Container& where, const wchar_t* cls, DWORD style, DWORD exStyle, const std::wstring& text,
                  const Rect& rect, const FontDesc& font = {});
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    virtual LRESULT OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);

    HWND hwnd_ = nullptr;
    Form* form_ = nullptr;
    Container where_;
    int id_ = 0;
    Rect rect_;
    COLORREF fore_ = CLR_INVALID;
    COLORREF back_ = CLR_INVALID;
    BrushHandle backBrush_;
};

class Label : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font = {});
};

struct TextBoxOptions {
    bool password = false;   // every character shown as "*"
    bool multiline = false;
    bool readOnly = false;
    bool scrollBars = false;  // both, for multi-line boxes
    bool wrap = false;        // multi-line: lines wrap at the right edge, only a vertical bar
};

class TextBox : public Control {
public:
    void Create(const Container& where, const std::wstring& text, const Rect& rect, const TextBoxOptions& options = {},
                const FontDesc& font = {});
    void OnCommand(WORD code) override;
};

class CommandButton : public Control {
public:
    // The default button is clicked by Enter anywhere on the form (unless another push
    // button has the focus); the cancel button by Esc.
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font = {},
                bool isDefault = false);
    void SetCancel();
    void SetToolTip(const std::wstring& text);
    void OnCommand(WORD code) override;

private:
    HWND tooltip_ = nullptr;
};

class CheckBox : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font = {});
    int Value() const;  // 0 unchecked, 1 checked, 2 greyed
    void SetValue(int value);  // raises Click when the value changes
    void OnCommand(WORD code) override;
};

// Option buttons created one after another form a group (a new group starts with
// firstInGroup, or in another parent window). The group behaves as one: one tab stop (the
// chosen option, else the first that can take the focus), the arrow keys move the choice,
// and choosing one clears the others. Setting Value to true, by the user or by code,
// raises Click when the value changes.
class OptionButton : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font = {},
                bool firstInGroup = false);
    bool Value() const;
    void SetValue(bool value);
    void OnCommand(WORD code) override;

protected:
    LRESULT OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

private:
    void UpdateTabStops();
    std::shared_ptr<std::vector<OptionButton*>> group_;

public:
    ~OptionButton() override;
};

class Frame : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font = {});
    // Controls placed "in" the frame are positioned relative to it.
    Container Inside() const;
};

// Drop-down list (the user picks, cannot type) or drop-down combo (editable).
class ComboBox : public Control {
public:
    void Create(const Container& where, const Rect& rect, bool editable = false, const FontDesc& font = {});
    void AddItem(const std::wstring& item);
    void Clear();
    int ListCount() const;
    std::wstring List(int index) const;
    int ListIndex() const;  // -1 when nothing is selected
    // Selects an entry (or none with -1) and raises Click, as setting ListIndex does.
    void SetListIndex(int index);
    void OnCommand(WORD code) override;

protected:
    // While the list is dropped down, Enter and Escape belong to it (they pick or cancel).
    LRESULT OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;
};

// A list box: Click when the user selects a line.
class ListBox : public Control {
public:
    void Create(const Container& where, const Rect& rect, const FontDesc& font = {});
    void AddItem(const std::wstring& item);
    void Clear();
    int ListCount() const;
    std::wstring List(int index) const;
    void OnCommand(WORD code) override;
};

// A list with a check box on every line, in one column without a header.
class CheckList : public Control {
public:
    void Create(const Container& where, const Rect& rect, const FontDesc& font = {});
    void AddItem(const std::wstring& item);
    // Adds many lines at once, handed straight to the list's own procedure: no handler of
    // ours has anything to do with them, and under Wine every message passing a subclass
    // costs a call to the server (ten thousand lines: 0.6 s that way, 0.02 s this way).
    void AddItems(const std::vector<std::wstring>& items);
    void Clear();
    int ListCount() const;
    std::wstring List(int index) const;
    bool Selected(int index) const;  // the check mark
    void SetSelected(int index, bool selected);
    // Every line's check mark at once.
    void SetAllSelected(bool selected);
    // Makes the column as wide as the widest of these lines needs (measured in the list's
    // font: the list's own auto-size is many times slower), and at least as wide as the
    // list, so that a scroll bar shows only when a line does not fit.
    void FitColumnTo(const std::vector<std::wstring>& lines);
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    // A line's check mark changed (by the user or by code): its index.
    std::function<void(int index)> ItemCheck;
};

// A coloured area that can hold other controls (progress fills, drop areas).
class PictureBox : public Control {
public:
    void Create(const Container& where, const Rect& rect, COLORREF back);
    Container Inside() const;
    std::function<void(HDC, const RECT&)> Paint;  // extra drawing over the background

private:
    static LRESULT CALLBACK PictureProc(HWND, UINT, WPARAM, LPARAM);
};

// A timer as forms place them: fires its event every Interval milliseconds while it is
// enabled and its form is loaded. The event runs on the window thread from the message loop.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    void Create(Form* form, int intervalMs = 0, bool enabled = false);
    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::function<void()> TimerEvent;

    void Fire();  // from the form's WM_TIMER

private:
    void Apply();
    Form* form_ = nullptr;
    UINT_PTR id_ = 0;
    int interval_ = 0;
    bool enabled_ = false;
};

}  // namespace kv::win
