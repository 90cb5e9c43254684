#include "win/form_registry.h"

#include <algorithm>
#include <vector>

#include "win/form.h"

namespace kv::win {
namespace {

std::vector<std::unique_ptr<Form>>& Retired() {
    static std::vector<std::unique_ptr<Form>> retired;
    return retired;
}

unsigned& Generation() {
    static unsigned generation = 1;
    return generation;
}

std::vector<Form*>& LiveForms() {
    static std::vector<Form*> forms;
    return forms;
}

}  // namespace

void RetireForm(std::unique_ptr<Form> form) { Retired().push_back(std::move(form)); }

void PurgeRetiredForms() {
    auto retired = std::move(Retired());
    Retired().clear();
    retired.clear();  // an instance's destructor may retire nothing: TheForm is not called there
}
unsigned FormGeneration() { return Generation(); }

void ResetAllForms() {
    // Unload top-level forms first (they own nothing of each other).
    auto forms = LiveForms();
    for (Form* f : forms)
        if (f->IsLoaded()) f->Destroy();
    ++Generation();
}

void ListLiveForm(Form& form) { LiveForms().push_back(&form); }

bool UnlistLiveForm(Form& form) {
    auto& live = LiveForms();
    const auto it = std::find(live.begin(), live.end(), &form);
    if (it == live.end()) return false;
    live.erase(it);
    return true;
}

HWND ActiveProgramWindow() {
    auto ours = [](HWND w) {
        if (!w || !::IsWindow(w)) return false;
        DWORD pid = 0;
        return ::GetWindowThreadProcessId(w, &pid) == ::GetCurrentThreadId();
    };
    HWND active = ::GetActiveWindow();
    if (ours(active) && ::IsWindowVisible(active)) return ::GetAncestor(active, GA_ROOT);
    const auto& forms = LiveForms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
        HWND w = (*it)->hwnd();
        if (w && ::IsWindowVisible(w) && ::IsWindowEnabled(w)) return w;
    }
    return nullptr;
}

}  // namespace kv::win
