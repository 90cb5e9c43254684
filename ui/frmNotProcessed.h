// The documents a run did not process, listed after its summary: one line each, the path and
// why, in a text the user can scroll, select and copy.
#pragma once

#include <string>
#include <vector>

#include "win/controls.h"
#include "win/form.h"

namespace kv {

class frmNotProcessed : public win::Form {
public:
    win::Label lblHeader;
    win::TextBox txtList;
    win::CommandButton cmdOK;

    // The lines to show; set before the window is shown.
    void SetLines(const std::vector<std::wstring>& lines);
    const std::vector<std::wstring>& Lines() const { return lines_; }

    void cmdOK_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;

private:
    void Fill();

    std::vector<std::wstring> lines_;
};

}  // namespace kv
