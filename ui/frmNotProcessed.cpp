#include "ui/frmNotProcessed.h"

namespace kv {
namespace {

const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};

// Room for a long path and its reason on a line, and some twenty lines at a time; longer
// lists scroll.
constexpr int kClientWidth = 8880;  // whole on a 1280-pixel screen at 192 dpi
constexpr int kListTop = 600;
constexpr int kListHeight = 4320;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kButtonTop = kListTop + kListHeight + 180;

}  // namespace

win::FormDesign frmNotProcessed::Design() const {
    return {.caption = L"Documents Not Processed", .clientWidth = kClientWidth,
            .clientHeight = kButtonTop + kButtonHeight + 240, .border = win::BorderStyle::FixedSingle,
            .centered = true};
}

void frmNotProcessed::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    lblHeader.Create(form, L"", {240, 240, kClientWidth - 480, 255}, kBold);
    win::TextBoxOptions list;
    list.multiline = true;
    list.readOnly = true;
    list.scrollBars = true;
    txtList.Create(form, L"", {240, kListTop, kClientWidth - 480, kListHeight}, list);
    cmdOK.Create(form, L"OK", {(kClientWidth - kButtonWidth) / 2, kButtonTop, kButtonWidth, kButtonHeight}, kBold,
                 /*isDefault=*/true);
    cmdOK.SetCancel();  // Esc closes it as OK does
    cmdOK.Click = [this] { cmdOK_Click(); };
}

void frmNotProcessed::Form_Load() { Fill(); }

void frmNotProcessed::SetLines(const std::vector<std::wstring>& lines) {
    lines_ = lines;
    if (IsLoaded()) Fill();
}

void frmNotProcessed::Fill() {
    lblHeader.SetText(lines_.size() == 1 ? std::wstring(L"The following document was not processed:")
                                         : L"The following " + std::to_wstring(lines_.size()) +
                                               L" documents were not processed:");
    std::wstring text;
    for (const std::wstring& line : lines_) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    // A read-only box still takes any length the user's documents give it.
    if (txtList.hwnd()) ::SendMessageW(txtList.hwnd(), EM_SETLIMITTEXT, 0, 0);
    txtList.SetText(text);
    // The list is read from its first line.
    if (txtList.hwnd()) {
        ::SendMessageW(txtList.hwnd(), EM_SETSEL, 0, 0);
        ::SendMessageW(txtList.hwnd(), EM_SCROLLCARET, 0, 0);
        ::SendMessageW(txtList.hwnd(), WM_VSCROLL, SB_TOP, 0);
    }
    cmdOK.SetFocus();
}

void frmNotProcessed::cmdOK_Click() { Unload(); }

}  // namespace kv
