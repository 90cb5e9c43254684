// The regular working window: choose a file and Process it, or drop files on the green
// area; the menus lead to user administration, the action log, help and about.
#pragma once

#include "win/controls.h"
#include "win/dialogs.h"
#include "win/drop_target.h"
#include "win/form.h"

namespace kv {

// The regular-mode main window: drop area, Browse and Process.
class frmMain : public win::Form {
public:
    win::Frame frameBrowse, frameDrag;
    win::Label Label2, Label1;
    win::TextBox txtFile;
    win::CommandButton cmdBrowse, cmdGo, cmdEasyDrop;
    win::PictureBox Picture1;
    win::CommonDialog CommonDialog1;

    void cmdBrowse_Click();
    void cmdGo_Click();
    void cmdEasyDrop_Click();
    void Picture1_OLEDragDrop(IDataObject* data);
    void mnuUsers_Click();
    void mnuUser_Click();
    void mnuViewLogFile_Click();
    void mnuQuit_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();

    // The drop target registered on the green area (tests drop through it).
    IDropTarget* DropTargetOfPicture1() const { return drop_.Target(); }

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void Form_Unload() override;

private:
    win::DropRegistration drop_;
};

// "Users...", "User" and "View Log File" of a working window's menu shown by the logged-in
// user's record as it stands in the user store now (another copy of the program may have
// changed it). OpensMenuBar: whether a message opens the menu bar, by mouse or key.
void ShowAdministrationMenus(win::Form& form);
bool OpensMenuBar(UINT msg, WPARAM wp);

// The green of the drop areas.
inline constexpr COLORREF kDropAreaGreen = RGB(128, 255, 128);

}  // namespace kv
