// The installation's entry among the installed programs, with the commands that remove it.
#include "setup/AppFunctions.h"

#include <cstdint>

#include "shared/install_log.h"
#include "win/files.h"
#include "win/registry.h"

namespace kv::setup {

namespace {

std::uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win::LongPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

bool WriteUninstallEntry() {
    const auto& m = Module();
    const auto& host = TheHost();
    std::uint64_t bytes = 0;
    for (const auto& item : m.InstalledItems)
        if (!item.empty() && item.rfind(m.InstallPath + L"\\", 0) == 0) bytes += FileSize(item);
    const std::wstring exe = m.InstallPath + L"\\Korvane.exe";
    bool ok = true;
    auto text = [&](const wchar_t* name, const std::wstring& value) {
        ok = win::SetRegistryText(host.entryRoot, host.entryKey, name, value) && ok;
    };
    auto number = [&](const wchar_t* name, DWORD value) {
        ok = win::SetRegistryDword(host.entryRoot, host.entryKey, name, value) && ok;
    };
    text(L"DisplayName", L"Korvane");
    text(L"Publisher", L"Oranvel Software");
    text(L"DisplayVersion", L"1.0.0");
    text(L"DisplayIcon", exe);
    text(L"InstallLocation", m.InstallPath);
    const std::wstring uninstaller = L"\"" + m.InstallPath + L"\\" + std::wstring(install::kUninstallerName) + L"\"";
    text(L"UninstallString", uninstaller);
    // What a deployment tool runs to remove Korvane with no window and no question.
    text(L"QuietUninstallString", uninstaller + L" /quiet");
    number(L"EstimatedSize", static_cast<DWORD>((bytes + 1023) / 1024));
    number(L"NoModify", 1);
    number(L"NoRepair", 1);
    return ok;
}

}  // namespace kv::setup
