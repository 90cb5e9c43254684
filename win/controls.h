// Standard controls created in code at positions given in twips.
#pragma once

#include <windows.h>

#include <functional>
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
    void SetFont(const FontSpec& font);
    // Colours; CLR_INVALID keeps the default.
    void SetColors(COLORREF fore, COLORREF back);
    COLORREF ForeColor() const { return fore_; }
    COLORREF BackColor() const { return back_; }

    // Events named as the handlers are: Click (buttons, check boxes, list selections),
    // Change (text edits), KeyDown (return true when handled; Enter is 13).
    std::function<void()> Click;
    std::function<void()> Change;
    std::function<bool(UINT key)> KeyDown;

    // Routing from the form.
    virtual void OnCommand(WORD code);
    virtual HBRUSH ColorFor(HDC dc, UINT message);

    Form* OwnerForm() const { return form_; }

protected:
    void CreateIn(const Container& where, const wchar_t* cls, DWORD style, DWORD exStyle, const std::wstring& text,
                  const Rect& rect, const FontSpec& font = {});
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
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontSpec& font = {});
};

struct TextBoxOptions {
    bool password = false;   // every character shown as "*"
    bool multiline = false;
    bool readOnly = false;
    bool scrollBars = false;  // both, for multi-line boxes
};

class TextBox : public Control {
public:
    void Create(const Container& where, const std::wstring& text, const Rect& rect, const TextBoxOptions& options = {},
                const FontSpec& font = {});
    void OnCommand(WORD code) override;
};

class CommandButton : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontSpec& font = {},
                bool isDefault = false);
    void SetToolTip(const std::wstring& text);
    void OnCommand(WORD code) override;

private:
    HWND tooltip_ = nullptr;
};

class CheckBox : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontSpec& font = {});
    int Value() const;  // 0 unchecked, 1 checked, 2 greyed
    void SetValue(int value);  // raises Click when the value changes
    void OnCommand(WORD code) override;
};

class OptionButton : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontSpec& font = {},
                bool firstInGroup = false);
    bool Value() const;
    void SetValue(bool value);
    void OnCommand(WORD code) override;
};

class Frame : public Control {
public:
    void Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontSpec& font = {});
    // Controls placed "in" the frame are positioned relative to it.
    Container Inside() const;
};

// Drop-down list (the user picks, cannot type) or drop-down combo (editable).
class ComboBox : public Control {
public:
    void Create(const Container& where, const Rect& rect, bool editable = false, const FontSpec& font = {});
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

// A list box, optionally with a check box on every line.
class ListBox : public Control {
public:
    void Create(const Container& where, const Rect& rect, bool checkBoxes = false, const FontSpec& font = {});
    void AddItem(const std::wstring& item);
    void Clear();
    int ListCount() const;
    std::wstring List(int index) const;
    bool Selected(int index) const;  // the check mark (or selection without check boxes)
    void SetSelected(int index, bool selected);
    void OnCommand(WORD code) override;

private:
    bool checkBoxes_ = false;
};

// A coloured area that can hold other controls (progress fills, drop areas).
class PictureBox : public Control {
public:
    void Create(const Container& where, const Rect& rect, COLORREF back);
    void SetBackColor(COLORREF back);
    Container Inside() const;
    std::function<void(HDC, const RECT&)> Paint;  // extra drawing over the background

private:
    static LRESULT CALLBACK PictureProc(HWND, UINT, WPARAM, LPARAM);
};

}  // namespace kv::win
