#include "shared/install_guard.h"

#include "shared/path_rules.h"

namespace kv::install {

namespace {

std::wstring Parent(const std::wstring& normal) {
    const size_t cut = normal.rfind(L'\\');
    if (cut == std::wstring::npos || cut < 2) return {};
    return normal.substr(0, cut);
}

// The path is a whole drive ("C:") or a whole network share ("\\server\share").
bool IsRoot(const std::wstring& normal) {
    if (normal.size() == 2) return true;
    if (normal.rfind(L"\\\\", 0) == 0) return install::PathParts(normal).size() <= 2;
    return false;
}

}  // namespace

std::vector<ProtectedFolder> ProtectedFolders(const SpecialFolders& f) {
    std::vector<ProtectedFolder> list;
    auto add = [&](const std::wstring& path, const wchar_t* name) {
        const std::wstring n = NormalPath(path);
        if (!n.empty()) list.push_back({n, name});
    };
    add(f.windows, L"the Windows folder");
    add(f.system, L"the system folder");
    for (const auto& p : f.programFiles) add(p, L"a program files folder");
    add(f.usersRoot, L"the users folder");
    add(f.userProfile, L"a user profile");
    add(f.desktop, L"a desktop folder");
    add(f.commonDesktop, L"a desktop folder");
    add(f.programs, L"a Start Menu folder");
    add(f.commonPrograms, L"a Start Menu folder");
    for (const auto& p : f.other) add(p, L"a special folder of Windows");
    add(f.temp, L"the temporary folder");
    return list;
}

std::optional<std::wstring> RefusalReason(std::wstring_view installFolder, const SpecialFolders& folders) {
    const std::wstring n = NormalPath(installFolder);
    if (n.empty()) return L"it is not a full folder path";
    if (IsRoot(n)) return L"it is a whole drive";
    for (const auto& p : ProtectedFolders(folders)) {
        if (SameName(n, p.path)) return L"it is " + std::wstring(p.name);
        if (IsInside(p.path, n)) return L"it holds " + std::wstring(p.name);
    }
    const std::wstring users = NormalPath(folders.usersRoot);
    if (!users.empty() && SameName(Parent(n), users)) return L"it is a user profile";
    return std::nullopt;
}

}  // namespace kv::install
