// The small Easy-Drop window. For now a bare window of its class: the green area, the
// Options menu and the saved position come with the working-window work.
#pragma once

#include "win/form.h"

namespace kv {

class frmEasyDrop : public win::Form {
protected:
    win::FormSpec Spec() const override {
        win::FormSpec spec;
        spec.caption = L"Korvane";
        spec.clientWidth = 1320;
        spec.clientHeight = 1035;
        spec.border = win::BorderStyle::FixedToolWindow;
        spec.centered = false;
        return spec;
    }
};

}  // namespace kv
