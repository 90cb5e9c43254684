// Drop-down list and entry helpers shared by the user windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "users/user_form_mapping.h"
#include "win/controls.h"

namespace kv::AppFunctions {

// Selects the first entry of the list whose text equals `text` without regard to case;
// selecting raises the list's Click. With no such entry the selection stays as it was.
// True when an entry was selected.
bool SelectListItem(win::ComboBox& list, const std::wstring& text);

}  // namespace kv::AppFunctions

namespace kv {

// Fills a drop-down list with fixed entries.
void FillList(win::ComboBox& list, const std::vector<std::wstring>& entries);

// Shows a stored DefaultSelection: its entry when the list has one (any case), otherwise
// no entry at all rather than whatever the list showed before.
void ShowDefaultSelection(win::ComboBox& list, const std::wstring& stored);

// The message refusing a name or password the store cannot keep (bars, line breaks,
// characters outside the ANSI code page), or nothing when it can be stored.
std::optional<std::wstring> RefusalForStore(StoreField field, const std::wstring& text);

}  // namespace kv
