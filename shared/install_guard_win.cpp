#include "shared/install_guard_win.h"

#include <windows.h>
#include <shlobj.h>

#include "shared/path_rules.h"
#include "win/real_paths.h"

namespace kv::install {

namespace {

std::wstring ShellFolder(int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
    return WithoutTrailingBackslash(buffer);
}

std::wstring Real(const std::wstring& path) { return path.empty() ? path : win::RealPath(path); }

}  // namespace

SpecialFolders ShellSpecialFolders(const std::wstring& tempFolder) {
    SpecialFolders f;
    f.windows = ShellFolder(CSIDL_WINDOWS);
    f.system = ShellFolder(CSIDL_SYSTEM);
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                      CSIDL_PROGRAM_FILES_COMMONX86})
        f.programFiles.push_back(ShellFolder(csidl));
    f.userProfile = ShellFolder(CSIDL_PROFILE);
    if (const size_t cut = f.userProfile.rfind(L'\\'); cut != std::wstring::npos && cut > 2)
        f.usersRoot = f.userProfile.substr(0, cut);
    f.desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    f.commonDesktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    f.programs = ShellFolder(CSIDL_PROGRAMS);
    f.commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS);
    for (int csidl : {CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_PERSONAL,
                      CSIDL_COMMON_DOCUMENTS, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_FONTS, CSIDL_SYSTEMX86, CSIDL_RESOURCES,
                      CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS, CSIDL_FAVORITES, CSIDL_SENDTO, CSIDL_TEMPLATES})
        f.other.push_back(ShellFolder(csidl));
    wchar_t temp[MAX_PATH + 1] = {};
    if (::GetTempPathW(MAX_PATH + 1, temp)) f.other.push_back(WithoutTrailingBackslash(temp));
    f.temp = tempFolder;
    return f;
}

SpecialFolders RealFolders(const SpecialFolders& f) {
    SpecialFolders r;
    r.windows = Real(f.windows);
    r.system = Real(f.system);
    for (const auto& p : f.programFiles) r.programFiles.push_back(Real(p));
    r.usersRoot = Real(f.usersRoot);
    r.userProfile = Real(f.userProfile);
    r.desktop = Real(f.desktop);
    r.commonDesktop = Real(f.commonDesktop);
    r.programs = Real(f.programs);
    r.commonPrograms = Real(f.commonPrograms);
    for (const auto& p : f.other) r.other.push_back(Real(p));
    r.temp = Real(f.temp);
    return r;
}

std::optional<std::wstring> InstallFolderRefusal(const std::wstring& folder, const SpecialFolders& folders,
                                                 const SpecialFolders& realFolders) {
    if (auto reason = RefusalReason(folder, folders)) return reason;
    const std::wstring real = win::RealPath(folder);
    if (real.empty()) return L"its drive cannot be found";
    if (auto reason = RefusalReason(real, realFolders)) return reason;
    if (win::IsLink(folder)) return L"it is a link to another folder";
    // The same folder reached by a name the system does not resolve (a share of this computer).
    if (const auto id = win::IdentityOf(folder)) {
        for (const auto& p : ProtectedFolders(realFolders)) {
            if (win::IdentityOf(p.path) == id) return L"it is " + std::wstring(p.name);
            for (std::wstring up = p.path; up.size() > 3;) {
                const size_t cut = up.find_last_of(L'\\');
                if (cut == std::wstring::npos || cut < 2) break;
                up.resize(cut);
                if (win::IdentityOf(up.size() == 2 ? up + L"\\" : up) == id) return L"it holds " + std::wstring(p.name);
            }
        }
    }
    return std::nullopt;
}

}  // namespace kv::install
