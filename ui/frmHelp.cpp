#include "ui/frmHelp.h"

#include "ui/help_topics.h"
#include "win/app.h"

#include <algorithm>

namespace kv {

void WrappingTextBox::CreateWrapping(const win::Container& where, const win::Rect& rect, bool readOnly,
                                     const win::FontDesc& font) {
    // No ES_AUTOHSCROLL and no horizontal scroll bar: the box wraps its lines.
    const DWORD style = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                        (readOnly ? ES_READONLY : ES_WANTRETURN);
    CreateIn(where, L"EDIT", style, WS_EX_CLIENTEDGE, L"", rect, font);
    if (hwnd_) ::SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

win::FormDesign frmHelp::Design() const {
    return {.caption = L"Help", .clientWidth = 7200, .clientHeight = 7200, .border = win::BorderStyle::Sizable,
            .centered = false};
}

void frmHelp::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    Label1.Create(form, L"Help Topic", {240, 240, 1000, 255});
    txtTopic.Create(form, {1320, 240, 3255, 315});
    txtHelp.CreateWrapping(form, {0, 600, ClientWidth(), ClientHeight() - 600}, true, {L"MS Sans Serif", 9.75});
    // Read-only, but shown as a page rather than greyed.
    txtHelp.SetColors(::GetSysColor(COLOR_WINDOWTEXT), ::GetSysColor(COLOR_WINDOW));
    txtTopic.Click = [this] { txtTopic_Click(); };
}

void frmHelp::Form_Load() {
    // Errors ignored: a window too small or a topic not shown leaves the text as it was.
    win::IgnoreErrors([&] {
        // Top-left corner of the screen, half its width, 80 twips less high than the screen.
        ::SetWindowPos(hwnd(), nullptr, 0, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2,
                       ::GetSystemMetrics(SM_CYSCREEN) - Px(80), SWP_NOZORDER | SWP_NOACTIVATE);
        for (const HelpTopic& topic : HelpTopics()) txtTopic.AddItem(std::wstring(topic.title));
        txtTopic.SetListIndex(0);  // runs txtTopic_Click: the Overview shows at once
    });
}

void frmHelp::txtTopic_Click() {
    // The list offers the topics only, so the chosen entry is the box's text.
    const int index = txtTopic.ListIndex();
    const std::wstring chosen = index >= 0 ? txtTopic.List(index) : txtTopic.Text();
    txtHelp.SetText(std::wstring(HelpTextFor(chosen)));
}

void frmHelp::Form_Resize() {
    // Errors ignored: a window too small or a topic not shown leaves the text as it was.
    win::IgnoreErrors([&] {
        if (::IsIconic(hwnd())) return;
        // The box starts 600 twips down, so its height is what the client area leaves below
        // that: the whole box, scroll bar included, stays inside the window.
        // Across, the outer width less 200 twips for the frame, or less the real frame where
        // it is thicker (Windows 10, a high dpi), so the scroll bar is never cut off.
        const int width = std::min(Width() - 200, ClientWidth());
        const int height = ClientHeight() - 600;
        if (width < 0 || height < 0) return;  // too small: the box stays as it was
        txtHelp.Move({0, 600, width, height});
    });
}

}  // namespace kv
