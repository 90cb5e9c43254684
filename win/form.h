// The window base: a form owns its HWND, creates its controls in twips, routes every
// message to virtual members named like the classic event handlers, and has one
// program-wide instance per class (TheForm<T>(), win/form_registry.h). Its menus are in
// win/form_menus.cpp; child notifications reach their controls through
// win/child_notifications.h.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

#include "win/child_notifications.h"
#include "win/form_registry.h"
#include "win/handle.h"

namespace kv::win {

class Control;
class Timer;

enum class BorderStyle { None, FixedSingle, Sizable, FixedToolWindow, FixedDialog };

// Unload modes passed to Form_QueryUnload, as the classic runtime numbers them.
inline constexpr int vbFormControlMenu = 0;  // closed from the title bar or control menu
inline constexpr int vbFormCode = 1;         // unloaded by the program
inline constexpr int vbAppWindows = 2;       // Windows is ending the session
inline constexpr int vbAppTaskManager = 3;   // closed from outside (task bar, task manager, another program)

struct FontDesc {
    std::wstring name = L"MS Sans Serif";
    double points = 8.25;
    bool bold = false;
    bool italic = false;
    bool operator<(const FontDesc& o) const {
        return std::tie(name, points, bold, italic) < std::tie(o.name, o.points, o.bold, o.italic);
    }
};

struct FormDesign {
    std::wstring caption;
    int clientWidth = 4800;   // twips
    int clientHeight = 3600;  // twips
    BorderStyle border = BorderStyle::FixedSingle;
    bool centered = true;
    COLORREF backColor = CLR_INVALID;  // CLR_INVALID: the system's button face
    bool minButton = false;
    bool maxButton = false;
    bool showInTaskbar = true;
};

struct MenuItem {
    std::wstring name;     // mnuFile, mnuQuit...
    std::wstring caption;  // "-" makes a separator
    std::function<void()> onClick;
    std::vector<MenuItem> children;
    bool visible = true;
    bool enabled = true;
};

class Form {
public:
    Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    HWND hwnd() const { return hwnd_; }
    bool IsLoaded() const { return hwnd_ != nullptr; }
    bool WasUnloaded() const { return unloaded_; }

    // Every top-level window has an owner: the one given, else (for windows without a task
    // bar button) the program's active window. An owned window stays in front of its owner
    // and activation returns to the owner when it closes.
    // A window that cannot be made throws SystemError.
    void Load(Form* owner = nullptr);
    void Show(Form* owner = nullptr);
    // Shows the form modally: the program's other windows are disabled until it unloads,
    // and enabled again (the owner activated) before its window is destroyed. Returns the
    // result set by EndModal, IDCANCEL when the form was closed otherwise.
    int ShowModal(Form* owner = nullptr);
    void EndModal(int result);  // sets the result and unloads
    bool IsModal() const { return modal_ != nullptr; }
    void Hide();
    void Unload();  // as the program's Unload statement (mode vbFormCode)
    bool Visible() const;
    HWND OwnerWindow() const;

    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);

    int Dpi() const;
    int Px(int twips) const;
    int Twips(int pixels) const;

    // Outer window position and size in twips, screen coordinates.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void Move(int left, int top);
    void SetHeight(int height);
    void SetClientSize(int width, int height);
    int ClientWidth() const;
    int ClientHeight() const;

    COLORREF BackColor() const { return backColor_; }
    HBRUSH BackBrush() const { return backBrush_.get(); }
    HFONT Font(const FontDesc& design);

    // Menus: the bar is rebuilt whenever visibility changes.
    void SetMenuBar(std::vector<MenuItem> items);
    void SetMenuVisible(const std::wstring& name, bool visible);
    bool MenuVisible(const std::wstring& name) const;
    bool ClickMenu(const std::wstring& name);  // runs the item's action (tests, accelerators)
    HMENU MenuHandle() const { return menu_; }

    // A pop-up menu at a point on the screen; runs the chosen item's action. Returns
    // whether an item was chosen.
    bool PopupMenu(const std::vector<MenuItem>& items, POINT screen);

    // Enter clicks the focused push button, else the default button; Esc clicks the cancel
    // button, or closes a modal form that has none (as its close box does).
    void SetDefaultButton(Control* button) { defaultButton_ = button; }
    void SetCancelButton(Control* button) { cancelButton_ = button; }

    // Controls get a unique id; notifications reach them by their window handle.
    int RegisterControl(Control* control);
    void UnregisterControl(Control* control);
    UINT_PTR RegisterTimer(Timer* timer);
    void UnregisterTimer(Timer* timer);

    // Program-wide instance bookkeeping (TheForm<T>): the generation it was made in.
    unsigned generation = 0;

protected:
    virtual FormDesign Design() const = 0;
    virtual void CreateControls() {}
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_Resize() {}
    virtual bool Form_QueryUnload(int /*unloadMode*/) { return false; }  // true cancels the unload
    virtual void Form_Unload() {}
    virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

    // Closing as Windows asks for it: unload mode, then whether it was cancelled.
    bool TryUnload(int mode);

private:
    struct ModalState;
    friend void ResetAllForms();
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Destroy();
    void HandOverOwnedWindows();
    bool OnDialogCommand(int id);
    void RebuildMenu();
    MenuItem* FindMenu(const std::wstring& name);
    const MenuItem* FindMenu(const std::wstring& name) const;

    HWND hwnd_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool unloaded_ = false;
    bool unloading_ = false;
    int dpi_ = 96;
    COLORREF backColor_ = 0;
    BrushHandle backBrush_;
    std::map<FontDesc, FontHandle> fonts_;
    std::vector<Control*> controls_;
    int nextControlId_ = 100;  // below the ids a combo box gives its own children; above IDOK, IDCANCEL
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR nextTimerId_ = 1;
    Control* defaultButton_ = nullptr;
    Control* cancelButton_ = nullptr;
    ModalState* modal_ = nullptr;
    bool closeFromUser_ = false;  // the close box or control menu asked for the WM_CLOSE
    HWND pendingOwner_ = nullptr;
    std::vector<MenuItem> menuItems_;
    std::map<UINT, std::function<void()>> menuActions_;
    HMENU menu_ = nullptr;
};

}  // namespace kv::win
