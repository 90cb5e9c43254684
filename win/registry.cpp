#include "win/registry.h"

#include <vector>

namespace kv::win {

bool SetRegistryText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetKeyValueW(root, key.c_str(), name.c_str(), REG_SZ, value.c_str(), bytes) == ERROR_SUCCESS;
}

bool SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    return ::RegSetKeyValueW(root, key.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}

std::optional<std::wstring> GetRegistryText(HKEY root, const std::wstring& key, const std::wstring& name) {
    DWORD size = 0;
    if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer.data());
}

std::optional<DWORD> GetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name) {
    DWORD value = 0, size = sizeof(value);
    if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool DeleteRegistryTree(HKEY root, const std::wstring& key) {
    const LSTATUS status = ::RegDeleteTreeW(root, key.c_str());
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return false;
    const LSTATUS removed = ::RegDeleteKeyW(root, key.c_str());
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

}  // namespace kv::win
