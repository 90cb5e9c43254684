// The regular working window. For now a bare window of its class: the drop area, Browse
// and Process, and the menus come with the working-window work.
#pragma once

#include "win/form.h"

namespace kv {

class frmMain : public win::Form {
protected:
    win::FormSpec Spec() const override {
        win::FormSpec spec;
        spec.caption = L"Korvane";
        spec.clientWidth = 5265;
        spec.clientHeight = 3480;
        spec.border = win::BorderStyle::FixedSingle;
        spec.minButton = true;
        return spec;
    }
};

}  // namespace kv
