// KorvaneUninstaller's one window, "Uninstall...": says what it is about to do, and in the
// copy running from the temporary folder waits for Continue or Cancel.
#pragma once

#include "win/controls.h"
#include "win/form.h"

namespace kv::uninstall {

// The uninstaller's one window.
class frmMain : public win::Form {
public:
    win::Label lblMessage, lblWorking;
    win::CommandButton cmdContinue, cmdCancel;
    win::TextBox txtDummy;
    win::PictureBox Image1;

    void cmdContinue_Click();
    void cmdCancel_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    void Form_Unload() override;
};

}  // namespace kv::uninstall
