// Easy-Drop mode: a tiny always-on-top window that is nothing but a green drop area and
// one Options menu; it reopens where each user left it.
#pragma once

#include "win/controls.h"
#include "win/drop_target.h"
#include "win/form.h"

namespace kv {

// The Easy-Drop window: a small, always-on-top drop area.
class frmEasyDrop : public win::Form {
public:
    win::PictureBox Picture1;

    void Picture1_OLEDragDrop(IDataObject* data);
    void mnuUsers_Click();
    void mnuUser_Click();
    void mnuViewLogFile_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    void mnuExitEasyDrop_Click();
    void mnuQuit_Click();

    IDropTarget* DropTargetOfPicture1() const { return drop_.Target(); }

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void Form_Activate() override;
    bool Form_QueryUnload(int unloadMode) override;
    void Form_Unload() override;

private:
    win::DropRegistration drop_;
};

}  // namespace kv
