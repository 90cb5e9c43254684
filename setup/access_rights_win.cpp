// Who may do what in the installation: users may create files in the installation folder
// and change the files created there later (Korvane keeps its accounts and action log beside
// itself); the installed program files may only be read and run by them.
#include "setup/AppFunctions.h"

#include <aclapi.h>

#include "win/handle.h"

namespace kv::setup {

namespace {

// A security identifier Windows knows by number, never by a localized name.
struct WellKnownSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
        DWORD size = sizeof(bytes);
        ::CreateWellKnownSid(type, nullptr, bytes, &size);
    }
    PSID sid() { return bytes; }
};

EXPLICIT_ACCESSW Access(PSID sid, DWORD rights, DWORD inheritance, ACCESS_MODE mode = GRANT_ACCESS) {
    EXPLICIT_ACCESSW e{};
    e.grfAccessPermissions = rights;
    e.grfAccessMode = mode;
    e.grfInheritance = inheritance;
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    e.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    e.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    return e;
}

constexpr DWORD kUserModify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

}  // namespace

PACL DataAccessAcl(PACL existing) {
    WellKnownSid users(WinBuiltinUsersSid);
    EXPLICIT_ACCESSW entries[] = {
        // Create files in the folder itself (not folders, not in subfolders).
        Access(users.sid(), FILE_ADD_FILE | SYNCHRONIZE, NO_INHERITANCE),
        // Read, change and delete the files created there from now on.
        Access(users.sid(), kUserModify, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE),
    };
    PACL updated = nullptr;
    if (::SetEntriesInAclW(2, entries, existing, &updated) != ERROR_SUCCESS) return nullptr;
    return updated;
}

PACL ProtectedFileAcl() {
    WellKnownSid system(WinLocalSystemSid), admins(WinBuiltinAdministratorsSid), users(WinBuiltinUsersSid);
    EXPLICIT_ACCESSW entries[] = {
        Access(system.sid(), FILE_ALL_ACCESS, NO_INHERITANCE, SET_ACCESS),
        Access(admins.sid(), FILE_ALL_ACCESS, NO_INHERITANCE, SET_ACCESS),
        Access(users.sid(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, NO_INHERITANCE, SET_ACCESS),
    };
    PACL acl = nullptr;
    if (::SetEntriesInAclW(3, entries, nullptr, &acl) != ERROR_SUCCESS) return nullptr;
    return acl;
}

bool GrantUsersDataAccess(const std::wstring& folder) {
    PACL old = nullptr;  // inside sd
    win::LocalMemory<PSECURITY_DESCRIPTOR> sd;
    std::wstring path = folder;
    if (::GetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old,
                                nullptr, sd.put()) != ERROR_SUCCESS)
        return false;
    const win::LocalMemory<PACL> updated(DataAccessAcl(old));
    DWORD rc = ERROR_INVALID_ACL;
    if (updated)
        rc = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     updated.get(), nullptr);
    return rc == ERROR_SUCCESS;
}

bool ProtectInstalledFile(const std::wstring& path) {
    const win::LocalMemory<PACL> acl(ProtectedFileAcl());
    if (!acl) return false;
    std::wstring p = path;
    // Protected: the folder's grants to users do not reach the program files.
    const DWORD rc = ::SetNamedSecurityInfoW(p.data(), SE_FILE_OBJECT,
                                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                             nullptr, acl.get(), nullptr);
    return rc == ERROR_SUCCESS;
}

}  // namespace kv::setup
