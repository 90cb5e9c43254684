// The built-in help: pick one of five topics, read its text. Opened without blocking the
// other windows by the working windows' Help items.
#pragma once

#include "win/controls.h"
#include "win/form.h"

namespace kv {

// A multi-line box that wraps long lines at its right edge and scrolls vertically.
class WrappingTextBox : public win::TextBox {
public:
    void CreateWrapping(const win::Container& where, const win::Rect& rect, bool readOnly,
                        const win::FontDesc& font = {});
};

// The help window with its five topics.
class frmHelp : public win::Form {
public:
    win::Label Label1;
    win::ComboBox txtTopic;
    WrappingTextBox txtHelp;

    // Shows the chosen topic's text; a name that matches no topic shows an empty page.
    void txtTopic_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    void Form_Resize() override;
};

}  // namespace kv
