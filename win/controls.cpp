#include "win/controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <unordered_map>

#include "win/app.h"

namespace kv::win {

namespace {

// The control object of each window handle, for the notifications a parent reflects. Asked
// for every notification (a list of ten thousand lines sends tens of thousands), so it is a
// table of the window thread's own rather than a window property, which under Wine is a call
// to the server each time.
std::unordered_map<HWND, Control*>& Controls() {
    static std::unordered_map<HWND, Control*> controls;
    return controls;
}

// The text of line `index` of a list box, or of a combo box's list, asked with the control's
// own messages for a line's length and its text; "" for a line the list does not have.
std::wstring LineText(HWND list, int index, int count, UINT lengthMessage, UINT textMessage) {
    if (!list || index < 0 || index >= count) return {};
    const LRESULT n = ::SendMessageW(list, lengthMessage, index, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    ::SendMessageW(list, textMessage, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n));
    return text;
}

}  // namespace

Control* Control::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    const auto& controls = Controls();
    const auto it = controls.find(hwnd);
    return it == controls.end() ? nullptr : it->second;
}

Control::~Control() {
    if (form_) form_->UnregisterControl(this);
    if (hwnd_) Controls().erase(hwnd_);
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::RemoveWindowSubclass(hwnd_, &Control::SubclassProc, 1);
    }
}

void Control::CreateIn(const Container& where, const wchar_t* cls, DWORD style, DWORD exStyle,
                       const std::wstring& text, const Rect& rect, const FontDesc& font) {
    where_ = where;
    form_ = where.form;
    rect_ = rect;
    id_ = form_->RegisterControl(this);
    hwnd_ = ::CreateWindowExW(exStyle, cls, text.c_str(), style | WS_CHILD | WS_CLIPSIBLINGS,
                              form_->Px(rect.left + where.offsetLeft), form_->Px(rect.top + where.offsetTop),
                              form_->Px(rect.width), form_->Px(rect.height), where.parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) throw SystemError(L"CreateWindowEx", ::GetLastError());
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font(font)), FALSE);
    Controls()[hwnd_] = this;
    ::SetWindowSubclass(hwnd_, &Control::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

std::wstring Control::Text() const {
    if (!hwnd_) return {};
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Control::SetText(const std::wstring& text) {
    if (hwnd_) ::SetWindowTextW(hwnd_, text.c_str());
}

bool Control::Visible() const { return hwnd_ && (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE); }

void Control::SetVisible(bool visible) {
    if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool Control::Enabled() const { return hwnd_ && ::IsWindowEnabled(hwnd_); }

void Control::SetEnabled(bool enabled) {
    if (hwnd_) ::EnableWindow(hwnd_, enabled);
}

void Control::SetFocus() {
    if (hwnd_) ::SetFocus(hwnd_);
}

bool Control::HasFocus() const { return hwnd_ && ::GetFocus() == hwnd_; }

void Control::Move(const Rect& rect) {
    rect_ = rect;
    if (hwnd_)
        ::SetWindowPos(hwnd_, nullptr, form_->Px(rect.left + where_.offsetLeft), form_->Px(rect.top + where_.offsetTop),
                       form_->Px(rect.width), form_->Px(rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetWidth(int width) {
    Rect r = rect_;
    r.width = width;
    Move(r);
}

void Control::SetFont(const FontDesc& font) {
    if (hwnd_) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->Font(font)), TRUE);
}

void Control::SetColors(COLORREF fore, COLORREF back) {
    fore_ = fore;
    back_ = back;
    backBrush_.reset(back == CLR_INVALID ? nullptr : ::CreateSolidBrush(back));
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::OnCommand(WORD) {}

HBRUSH Control::ColorFor(HDC dc, UINT message) {
    if (fore_ == CLR_INVALID && back_ == CLR_INVALID) return nullptr;
    if (fore_ != CLR_INVALID) ::SetTextColor(dc, fore_);
    const COLORREF back = back_ != CLR_INVALID ? back_ : form_->BackColor();
    ::SetBkColor(dc, back);
    return backBrush_ ? backBrush_.get() : form_->BackBrush();
}

std::wstring Control::FormCaption() const { return form_ ? form_->Caption() : std::wstring(); }

LRESULT CALLBACK Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<Control*>(data);
    if (msg == WM_NCDESTROY) {
        Controls().erase(hwnd);
        ::RemoveWindowSubclass(hwnd, &Control::SubclassProc, 1);
        self->hwnd_ = nullptr;
        return ::DefSubclassProc(hwnd, msg, wp, lp);
    }
    bool handled = false;
    const LRESULT result = Guarded(
        self->FormCaption(), [&] { return self->OnSubclassMessage(msg, wp, lp, handled); }, LRESULT{0});
    return handled ? result : ::DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT Control::OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    if ((msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) && MouseDown) {
        const int button = msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4;
        const int shift = ((wp & MK_SHIFT) ? 1 : 0) | ((wp & MK_CONTROL) ? 2 : 0);
        auto handler = MouseDown;
        handler(button, shift, form_->Twips(GET_X_LPARAM(lp)), form_->Twips(GET_Y_LPARAM(lp)));
        return 0;  // the control still gets the press
    }
    if (msg == WM_GETDLGCODE && KeyDown && lp) {
        // Let Enter reach a control that handles it instead of the dialog manager.
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if (m->message == WM_KEYDOWN && m->wParam == VK_RETURN) {
            handled = true;
            return ::DefSubclassProc(hwnd_, msg, wp, lp) | DLGC_WANTMESSAGE;
        }
    }
    if (msg == WM_KEYDOWN && KeyDown) {
        auto handler = KeyDown;
        if (handler(static_cast<UINT>(wp))) {
            handled = true;
            return 0;
        }
    }
    if (msg == WM_CHAR && wp == VK_RETURN && KeyDown) {
        handled = true;  // no beep for an Enter we acted on
        return 0;
    }
    return 0;
}

// ---- Label ------------------------------------------------------------------------

void Label::Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font) {
    CreateIn(where, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, caption, rect, font);
}

// ---- TextBox ----------------------------------------------------------------------

void TextBox::Create(const Container& where, const std::wstring& text, const Rect& rect,
                     const TextBoxOptions& options, const FontDesc& font) {
    DWORD style = WS_VISIBLE | WS_TABSTOP;
    if (options.multiline) {
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        if (options.wrap) style |= WS_VSCROLL;
        else if (options.scrollBars) style |= WS_VSCROLL | WS_HSCROLL | ES_AUTOHSCROLL;
    } else {
        style |= ES_AUTOHSCROLL;
    }
    if (options.password) style |= ES_PASSWORD;
    if (options.readOnly) style |= ES_READONLY;
    CreateIn(where, L"EDIT", style, WS_EX_CLIENTEDGE, text, rect, font);
    if (hwnd_ && options.password) ::SendMessageW(hwnd_, EM_SETPASSWORDCHAR, L'*', 0);
    if (hwnd_) ::SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

void TextBox::OnCommand(WORD code) {
    if (code == EN_CHANGE && Change) {
        auto handler = Change;
        handler();
    }
}

// ---- CommandButton ----------------------------------------------------------------

void CommandButton::Create(const Container& where, const std::wstring& caption, const Rect& rect,
                           const FontDesc& font, bool isDefault) {
    CreateIn(where, L"BUTTON", WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, caption,
             rect, font);
    if (isDefault && form_) form_->SetDefaultButton(this);
}

void CommandButton::SetCancel() {
    if (form_) form_->SetCancelButton(this);
}

void CommandButton::SetToolTip(const std::wstring& text) {
    if (!hwnd_) return;
    if (!tooltip_) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_->hwnd(), nullptr, Instance(),
                                     nullptr);
    }
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = form_->hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CommandButton::OnCommand(WORD code) {
    if (code == BN_CLICKED && Click) {
        auto handler = Click;
        handler();
    }
}

// ---- CheckBox ---------------------------------------------------------------------

void CheckBox::Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font) {
    CreateIn(where, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, caption, rect, font);
}

int CheckBox::Value() const {
    const LRESULT state = hwnd_ ? ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) : BST_UNCHECKED;
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

void CheckBox::SetValue(int value) {
    if (!hwnd_) return;
    const int old = Value();
    ::SendMessageW(hwnd_, BM_SETCHECK, value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
    if (old != Value() && Click) {
        auto handler = Click;
        handler();
    }
}

void CheckBox::OnCommand(WORD code) {
    if (code == BN_CLICKED && Click) {
        auto handler = Click;
        handler();
    }
}

// ---- OptionButton -----------------------------------------------------------------

namespace {
std::weak_ptr<std::vector<OptionButton*>> g_lastOptionGroup;
}

void OptionButton::Create(const Container& where, const std::wstring& caption, const Rect& rect,
                          const FontDesc& font, bool firstInGroup) {
    auto last = g_lastOptionGroup.lock();
    const bool join = !firstInGroup && last && !last->empty() && last->back()->form_ == where.form &&
                      last->back()->where_.parent == where.parent;
    group_ = join ? last : std::make_shared<std::vector<OptionButton*>>();
    group_->push_back(this);
    g_lastOptionGroup = group_;
    // Not an automatic radio button: the group, not the window order, decides what is cleared.
    CreateIn(where, L"BUTTON", WS_VISIBLE | BS_RADIOBUTTON | (group_->size() == 1 ? WS_GROUP : 0), 0, caption, rect,
             font);
    UpdateTabStops();
}

OptionButton::~OptionButton() {
    if (group_) group_->erase(std::remove(group_->begin(), group_->end(), this), group_->end());
}

bool OptionButton::Value() const { return hwnd_ && ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void OptionButton::SetValue(bool value) {
    if (!hwnd_) return;
    const bool was = Value();
    if (value) {
        for (OptionButton* other : *group_)
            if (other != this && other->hwnd_) ::SendMessageW(other->hwnd_, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    ::SendMessageW(hwnd_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    UpdateTabStops();
    if (value && !was && Click) {
        auto handler = Click;
        handler();
    }
}

void OptionButton::UpdateTabStops() {
    // One tab stop for the group: the chosen option, else the first that can take the focus.
    OptionButton* stop = nullptr;
    for (OptionButton* o : *group_)
        if (o->hwnd_ && o->Value()) stop = o;
    if (!stop || !::IsWindowEnabled(stop->hwnd_))
        for (OptionButton* o : *group_)
            if (o->hwnd_ && ::IsWindowEnabled(o->hwnd_)) {
                stop = o;
                break;
            }
    for (OptionButton* o : *group_) {
        if (!o->hwnd_) continue;
        LONG_PTR style = ::GetWindowLongPtrW(o->hwnd_, GWL_STYLE);
        style = o == stop ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        ::SetWindowLongPtrW(o->hwnd_, GWL_STYLE, style);
    }
}

LRESULT OptionButton::OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    if (msg == WM_GETDLGCODE) {
        handled = true;
        return ::DefSubclassProc(hwnd_, msg, wp, lp) | DLGC_WANTARROWS | DLGC_RADIOBUTTON;
    }
    if (msg == WM_KEYDOWN && (wp == VK_UP || wp == VK_DOWN || wp == VK_LEFT || wp == VK_RIGHT)) {
        // The arrow keys move the choice to the next option of the group that can take it.
        handled = true;
        const auto& group = *group_;
        const int n = static_cast<int>(group.size());
        const int at = static_cast<int>(std::find(group.begin(), group.end(), this) - group.begin());
        const int step = (wp == VK_UP || wp == VK_LEFT) ? -1 : 1;
        for (int k = 1; k < n; ++k) {
            OptionButton* next = group[static_cast<size_t>(((at + step * k) % n + n) % n)];
            if (next->hwnd_ && ::IsWindowEnabled(next->hwnd_) && ::IsWindowVisible(next->hwnd_)) {
                ::SetFocus(next->hwnd_);
                next->SetValue(true);
                break;
            }
        }
        return 0;
    }
    return Control::OnSubclassMessage(msg, wp, lp, handled);
}

void OptionButton::OnCommand(WORD code) {
    // A click (or the space bar) chooses this option.
    if (code == BN_CLICKED) SetValue(true);
}

// ---- Frame ------------------------------------------------------------------------

void Frame::Create(const Container& where, const std::wstring& caption, const Rect& rect, const FontDesc& font) {
    CreateIn(where, L"BUTTON", WS_VISIBLE | BS_GROUPBOX, 0, caption, rect, font);
}

Container Frame::Inside() const {
    Container c = where_;
    c.offsetLeft += rect_.left;
    c.offsetTop += rect_.top;
    return c;
}

// ---- ComboBox ---------------------------------------------------------------------

void ComboBox::Create(const Container& where, const Rect& rect, bool editable, const FontDesc& font) {
    // The height given is that of the closed box; the drop-down part needs room below.
    Rect tall = rect;
    tall.height = rect.height + 2400;
    CreateIn(where, L"COMBOBOX",
             WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | (editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST), 0,
             L"", tall, font);
    rect_ = rect;
}

void ComboBox::AddItem(const std::wstring& item) {
    if (hwnd_) ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void ComboBox::Clear() {
    if (hwnd_) ::SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
}

int ComboBox::ListCount() const { return hwnd_ ? static_cast<int>(::SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)) : 0; }

std::wstring ComboBox::List(int index) const {
    return LineText(hwnd_, index, ListCount(), CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int ComboBox::ListIndex() const { return hwnd_ ? static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)) : -1; }

void ComboBox::SetListIndex(int index) {
    if (!hwnd_) return;
    ::SendMessageW(hwnd_, CB_SETCURSEL, index, 0);
    if (index >= 0 && Click) {
        auto handler = Click;
        handler();
    }
}

LRESULT ComboBox::OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    if ((msg == WM_KEYDOWN || msg == WM_CHAR || msg == WM_GETDLGCODE) && hwnd_ &&
        ::SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0)) {
        handled = false;
        return 0;
    }
    return Control::OnSubclassMessage(msg, wp, lp, handled);
}

void ComboBox::OnCommand(WORD code) {
    if (code == CBN_SELCHANGE && Click) {
        auto handler = Click;
        handler();
    } else if (code == CBN_EDITCHANGE && Change) {
        auto handler = Change;
        handler();
    }
}

// ---- ListBox ----------------------------------------------------------------------

void ListBox::Create(const Container& where, const Rect& rect, const FontDesc& font) {
    CreateIn(where, L"LISTBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
             WS_EX_CLIENTEDGE, L"", rect, font);
}

void ListBox::AddItem(const std::wstring& item) {
    if (hwnd_) ::SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void ListBox::Clear() {
    if (hwnd_) ::SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
}

int ListBox::ListCount() const { return hwnd_ ? static_cast<int>(::SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)) : 0; }

std::wstring ListBox::List(int index) const {
    return LineText(hwnd_, index, ListCount(), LB_GETTEXTLEN, LB_GETTEXT);
}

void ListBox::OnCommand(WORD code) {
    if (code == LBN_SELCHANGE && Click) {
        auto handler = Click;
        handler();
    }
}

// ---- CheckList --------------------------------------------------------------------

void CheckList::Create(const Container& where, const Rect& rect, const FontDesc& font) {
    CreateIn(where, WC_LISTVIEWW,
             WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
             WS_EX_CLIENTEDGE, L"", rect, font);
    ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = form_->Px(rect.width) * 3;
    ListView_InsertColumn(hwnd_, 0, &column);
}

void CheckList::AddItem(const std::wstring& item) {
    if (!hwnd_) return;
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = ListCount();
    row.pszText = const_cast<wchar_t*>(item.c_str());
    ListView_InsertItem(hwnd_, &row);
}

void CheckList::AddItems(const std::vector<std::wstring>& items) {
    if (!hwnd_) return;
    const auto own = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd_, GCLP_WNDPROC));
    int index = ListCount();
    for (const std::wstring& item : items) {
        LVITEMW row{};
        row.mask = LVIF_TEXT;
        row.iItem = index++;
        row.pszText = const_cast<wchar_t*>(item.c_str());
        ::CallWindowProcW(own, hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
    }
}

void CheckList::Clear() {
    if (hwnd_) ListView_DeleteAllItems(hwnd_);
}

int CheckList::ListCount() const { return hwnd_ ? ListView_GetItemCount(hwnd_) : 0; }

std::wstring CheckList::List(int index) const {
    if (!hwnd_ || index < 0 || index >= ListCount()) return {};
    std::wstring text(32768, L'\0');
    ListView_GetItemText(hwnd_, index, 0, text.data(), static_cast<int>(text.size()));
    text.resize(wcslen(text.c_str()));
    return text;
}

bool CheckList::Selected(int index) const {
    if (!hwnd_ || index < 0 || index >= ListCount()) return false;
    return ListView_GetCheckState(hwnd_, index) != 0;
}

void CheckList::SetSelected(int index, bool selected) {
    if (!hwnd_ || index < 0 || index >= ListCount()) return;
    ListView_SetCheckState(hwnd_, index, selected ? TRUE : FALSE);
}

void CheckList::SetAllSelected(bool selected) {
    // Line -1 is every line, in one call; the check mark is state image 2, its absence 1.
    if (hwnd_) ListView_SetItemState(hwnd_, -1, INDEXTOSTATEIMAGEMASK(selected ? 2 : 1), LVIS_STATEIMAGEMASK);
}

void CheckList::FitColumnTo(const std::vector<std::wstring>& lines) {
    if (!hwnd_) return;
    int width = 0;
    if (HDC dc = ::GetDC(hwnd_)) {
        const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
        for (const std::wstring& line : lines) {
            SIZE size{};
            if (::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size))
                width = std::max<int>(width, size.cx);
        }
        ::SelectObject(dc, old);
        ::ReleaseDC(hwnd_, dc);
        if (ListCount() > 0) {
            // Before the text: the check box; after it, the list's margins.
            RECT bounds{}, label{};
            ListView_GetItemRect(hwnd_, 0, &bounds, LVIR_BOUNDS);
            ListView_GetItemRect(hwnd_, 0, &label, LVIR_LABEL);
            width += (label.left - bounds.left) + form_->Px(240);
        }
    }
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    ListView_SetColumnWidth(hwnd_, 0, std::max<int>(width, client.right));
}

bool CheckList::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.code != LVN_ITEMCHANGED) return false;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    // The check mark is the state image; a change of it is a check or an uncheck.
    if ((change.uChanged & LVIF_STATE) && change.iItem >= 0 &&
        ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) && (change.uOldState & LVIS_STATEIMAGEMASK) &&
        ItemCheck) {
        auto handler = ItemCheck;
        handler(change.iItem);
    }
    result = 0;
    return true;
}

// ---- PictureBox -------------------------------------------------------------------

LRESULT CALLBACK PictureBox::PictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT r{};
        ::GetClientRect(hwnd, &r);
        // The owning control is found through the control table; paint its colour.
        if (auto* self = static_cast<PictureBox*>(FromHandle(hwnd))) {
            HBRUSH brush = self->backBrush_ ? self->backBrush_.get() : self->form_->BackBrush();
            ::FillRect(dc, &r, brush);
            if (self->Paint)
                Guarded(
                    self->FormCaption(),
                    [&] {
                        self->Paint(dc, r);
                        return 0;
                    },
                    0);
        }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    default: {
        // Controls inside a picture box report to it; it reflects them as a form does.
        LRESULT result = 0;
        if (Guarded(
                L"", [&] { return ReflectToControl(hwnd, msg, wp, lp, result); }, false))
            return result;
        if (msg == WM_COMMAND || msg == WM_NOTIFY) return 0;
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    }
}

void PictureBox::Create(const Container& where, const Rect& rect, COLORREF back) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = &PictureBox::PictureProc;
        wc.hInstance = Instance();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"KorvanePicture";
        ::RegisterClassExW(&wc);
        registered = true;
    }
    CreateIn(where, L"KorvanePicture", WS_VISIBLE | WS_CLIPCHILDREN, 0, L"", rect);
    SetColors(CLR_INVALID, back);
}

Container PictureBox::Inside() const { return Container{form_, hwnd_, 0, 0}; }

// ---- Timer -----------------------------------------------------------------------

Timer::~Timer() {
    if (form_) form_->UnregisterTimer(this);
}

void Timer::Create(Form* form, int intervalMs, bool enabled) {
    if (form_) form_->UnregisterTimer(this);
    form_ = form;
    id_ = form_->RegisterTimer(this);
    interval_ = intervalMs;
    enabled_ = enabled;
    Apply();
}

void Timer::SetInterval(int ms) {
    interval_ = ms;
    Apply();
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Apply();
}

void Timer::Apply() {
    if (!form_ || !form_->hwnd()) return;
    // Setting the timer again starts its interval afresh, as changing Interval does.
    if (enabled_ && interval_ > 0) ::SetTimer(form_->hwnd(), id_, static_cast<UINT>(interval_), nullptr);
    else ::KillTimer(form_->hwnd(), id_);
}

void Timer::Fire() {
    if (!enabled_ || interval_ <= 0) return;
    if (TimerEvent) {
        auto handler = TimerEvent;
        handler();
    }
}

}  // namespace kv::win
