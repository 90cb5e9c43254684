#include "ui/frmMain.h"

#include "core/Globals.h"
#include "core/Navigation.h"
#include "core/text.h"
#include "ui/frmAbout.h"
#include "ui/frmEasyDrop.h"
#include "ui/frmHelp.h"
#include "ui/frmViewLogFile.h"
#include "win/app.h"
#include "win/dialogs.h"

namespace kv {

using namespace Globals;

namespace {
const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};
}

win::FormDesign frmMain::Design() const {
    return {.caption = L"Korvane", .clientWidth = 5265, .clientHeight = 3480, .border = win::BorderStyle::FixedSingle,
            .minButton = true};
}

void frmMain::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    frameBrowse.Create(form, L"Browse", {120, 120, 5055, 1335}, kBold);
    const win::Container browse = frameBrowse.Inside();
    Label2.Create(browse, L"File:", {240, 360, 495, 255}, kBold);
    txtFile.Create(browse, L"", {720, 360, 3615, 285});
    cmdBrowse.Create(browse, L"...", {4440, 360, 375, 255}, {L"MS Sans Serif", 9.75, false});
    cmdBrowse.SetToolTip(L"Browse for a file");
    cmdGo.Create(browse, L"Process", {3240, 720, 1575, 375}, kBold);

    frameDrag.Create(form, L"Drag-N-Drop", {120, 1560, 5055, 1215}, kBold);
    const win::Container drag = frameDrag.Inside();
    Label1.Create(drag, L"Drop one or more files onto the green area to automatically encrypt or decrypt.",
                  {360, 360, 2655, 615}, kBold);
    Picture1.Create(drag, {3600, 360, 1215, 615}, kDropAreaGreen);

    cmdEasyDrop.Create(form, L"Switch to Easy-Drop mode", {120, 2880, 3015, 495}, kBold);

    cmdBrowse.Click = [this] { cmdBrowse_Click(); };
    cmdGo.Click = [this] { cmdGo_Click(); };
    cmdEasyDrop.Click = [this] { cmdEasyDrop_Click(); };
    drop_.Register(Picture1.hwnd(), [this](IDataObject* data) { Picture1_OLEDragDrop(data); });

    SetMenuBar({
        {L"mnuFile", L"File", nullptr,
         {
             {L"mnuUsers", L"Users...", [this] { mnuUsers_Click(); }},
             {L"mnuUser", L"User", [this] { mnuUser_Click(); }},
             {L"mnuViewLogFile", L"View Log File", [this] { mnuViewLogFile_Click(); }},
             {L"mnuQuit", L"Quit", [this] { mnuQuit_Click(); }},
         }},
        {L"mnuH", L"Help", nullptr,
         {
             {L"mnuHelp", L"Show Help", [this] { mnuHelp_Click(); }},
             {L"mnuAbout", L"About", [this] { mnuAbout_Click(); }},
         }},
    });
}

void ShowAdministrationMenus(win::Form& form) {
    if (Navigate().RefreshCurrentUser) Navigate().RefreshCurrentUser();
    const bool admin = CurrentUserRecord().IsAdmin;
    form.SetMenuVisible(L"mnuUsers", admin);
    form.SetMenuVisible(L"mnuUser", !admin);
    form.SetMenuVisible(L"mnuViewLogFile", admin);
}

bool OpensMenuBar(UINT msg, WPARAM wp) {
    // Every way into the menu bar passes here before the menu is tracked, so the bar may
    // still be rebuilt; once it is open (WM_INITMENU and after) it must not be.
    return msg == WM_SYSCOMMAND && ((wp & 0xFFF0) == SC_MOUSEMENU || (wp & 0xFFF0) == SC_KEYMENU);
}

void frmMain::Form_Load() { ShowAdministrationMenus(*this); }

LRESULT frmMain::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (OpensMenuBar(msg, wp)) ShowAdministrationMenus(*this);
    return Form::OnMessage(msg, wp, lp);
}

void frmMain::Form_Unload() { drop_.Revoke(); }

void frmMain::cmdBrowse_Click() {
    CommonDialog1.ShowOpen(hwnd());
    if (CommonDialog1.FileName.empty()) return;
    txtFile.SetText(CommonDialog1.FileName);
    cmdGo.SetText(EndsWith(txtFile.Text(), L"locked") ? L"Decrypt" : L"Encrypt");
}

void frmMain::cmdGo_Click() {
    txtFile.SetText(TrimBlanks(txtFile.Text()));
    if (txtFile.Text().empty()) {
        win::MsgBox(L"Please Salect A File", win::MsgButtons::OK, win::MsgIcon::None, L"Korvane");
        cmdBrowse_Click();
        if (txtFile.Text().empty()) return;
        win::DoEvents(5);
    }
    const std::wstring path = txtFile.Text();
    if (FileSystem->FileExists(path)) {
        Navigate().ProcessFiles({path});
        txtFile.SetText(L"");
    } else {
        win::MsgBox(L"Invalid File");
    }
}

void frmMain::cmdEasyDrop_Click() {
    Hide();
    win::DoEvents(3);
    win::TheForm<frmEasyDrop>().Show();
    Unload();
}

void frmMain::Picture1_OLEDragDrop(IDataObject* data) { Navigate().HandleFileDrop(data); }

void frmMain::mnuUsers_Click() { Navigate().ShowUserAdministration(); }
void frmMain::mnuUser_Click() { Navigate().ShowOwnAccount(); }
void frmMain::mnuViewLogFile_Click() { ShowLogViewer(); }
void frmMain::mnuQuit_Click() { Unload(); }
void frmMain::mnuHelp_Click() { win::TheForm<frmHelp>().Show(); }
void frmMain::mnuAbout_Click() { win::TheForm<frmAbout>().ShowModal(); }

}  // namespace kv
