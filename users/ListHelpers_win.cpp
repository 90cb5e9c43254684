#include "users/ListHelpers.h"

#include "core/text.h"
#include "win/text.h"

namespace kv::AppFunctions {

bool SelectListItem(win::ComboBox& list, const std::wstring& text) {
    const int count = list.ListCount();
    for (int i = 0; i < count; ++i) {
        if (SameName(list.List(i), text)) {
            list.SetListIndex(i);
            return true;
        }
    }
    return false;
}

}  // namespace kv::AppFunctions

namespace kv {

void FillList(win::ComboBox& list, const std::vector<std::wstring>& entries) {
    list.Clear();
    for (const auto& entry : entries) list.AddItem(entry);
}

void ShowDefaultSelection(win::ComboBox& list, const std::wstring& stored) {
    if (!AppFunctions::SelectListItem(list, stored)) list.SetListIndex(-1);
}

std::optional<std::wstring> RefusalForStore(StoreField field, const std::wstring& text) {
    const bool fitsCodePage = win::FromAnsi(win::ToAnsi(text)) == text;
    return StoreRefusal(field, text, fitsCodePage);
}

}  // namespace kv
