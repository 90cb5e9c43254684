// The decrypted-files chooser: after a run that decrypted several documents, the user
// checks the ones to open.
#pragma once

#include "win/controls.h"
#include "win/form.h"

namespace kv {

// The decrypted-files chooser: which documents of a run to open.
class frmDecrypted : public win::Form {
public:
    win::Label Label1, Label2;
    win::CommandButton cmdSelectAll, cmdSelectNone, cmdOK;
    win::CheckList lstFiles;

    // One line per entry of DecryptedFiles; all checked unless the user's default
    // selection is exactly "NONE".
    void LoadFiles();

    void cmdSelectAll_Click();
    void cmdSelectNone_Click();
    void cmdOK_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
};

}  // namespace kv
