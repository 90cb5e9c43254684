// The per-user application settings store: values kept by application, section and key
// under HKEY_CURRENT_USER\Software\<application>\<section>, as text.
#pragma once

#include <string>

namespace kv::win {

// The stored text, or `fallback` when the key (or its section) does not exist or is not text.
std::wstring GetSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key,
                        const std::wstring& fallback);
// Returns false when the value could not be written.
bool SaveSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value);
// Removes one key; false when it could not be removed (a missing key counts as removed).
bool DeleteSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key);

}  // namespace kv::win
