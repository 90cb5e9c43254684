#include "ui/frmDecrypted.h"

#include <string>
#include <vector>

#include "core/Globals.h"
#include "ui/OpenDocument.h"

namespace kv {
namespace {

const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};

}  // namespace

win::FormDesign frmDecrypted::Design() const {
    return {.caption = L"Decrypted Files", .clientWidth = 5745, .clientHeight = 4365,
            .border = win::BorderStyle::FixedSingle, .centered = true};
}

void frmDecrypted::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    Label1.Create(form, L"The following files have been decrypted.", {240, 240, 4695, 255}, kBold);
    Label2.Create(form, L"Place check marks next to any of the files you would like to view.",
                  {240, 480, 4215, 375}, kBold);
    cmdSelectAll.Create(form, L"Select All", {120, 1200, 1215, 255}, kBold);
    cmdSelectNone.Create(form, L"Select None", {1320, 1200, 1215, 255}, kBold);
    lstFiles.Create(form, {120, 1440, 5415, 2085});
    cmdOK.Create(form, L"OK", {2040, 3720, 1695, 495}, kBold);

    cmdSelectAll.Click = [this] { cmdSelectAll_Click(); };
    cmdSelectNone.Click = [this] { cmdSelectNone_Click(); };
    cmdOK.Click = [this] { cmdOK_Click(); };
}

void frmDecrypted::Form_Load() { LoadFiles(); }

void frmDecrypted::LoadFiles() {
    HWND list = lstFiles.hwnd();
    // A run may have decrypted thousands of documents: the list is filled with its painting
    // held, instead of repainting for every line.
    if (list) ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    lstFiles.Clear();
    const bool check = Globals::CurrentUserRecord().DefaultSelection != L"NONE";
    if (list) {
        // New lines come unchecked; the marks are then set for all lines in one call.
        lstFiles.AddItems(Globals::DecryptedFiles);
        if (check) cmdSelectAll_Click();
        // One column as wide as the longest path: a scroll bar only when a path does not fit.
        lstFiles.FitColumnTo(Globals::DecryptedFiles);
        ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list, nullptr, TRUE);
    }
}

void frmDecrypted::cmdSelectAll_Click() { lstFiles.SetAllSelected(true); }

void frmDecrypted::cmdSelectNone_Click() { lstFiles.SetAllSelected(false); }

void frmDecrypted::cmdOK_Click() {
    // Collect first: a document's program may come up while we are still going through
    // the list, and nothing it does may change which paths are opened.
    std::vector<std::wstring> chosen;
    for (int i = 0; i < lstFiles.ListCount(); ++i)
        if (lstFiles.Selected(i)) chosen.push_back(lstFiles.List(i));
    for (const std::wstring& path : chosen) OpenDocument(path);
    Unload();
}

}  // namespace kv
