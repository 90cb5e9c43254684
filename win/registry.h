// Registry values under any root (HKEY_LOCAL_MACHINE for the installed-programs entry),
// text and DWORD, read back and removed with their key tree.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kv::win {

// Creates the key when needed; false when the value could not be written.
bool SetRegistryText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value);
bool SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
// The value, or nothing when the key or value is missing or of another type.
std::optional<std::wstring> GetRegistryText(HKEY root, const std::wstring& key, const std::wstring& name);
std::optional<DWORD> GetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name);
// Removes the key with everything under it; a missing key counts as removed.
bool DeleteRegistryTree(HKEY root, const std::wstring& key);

}  // namespace kv::win
