#include "setup/AppFunctions.h"

#include <aclapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <exception>

#include "setup/forms.h"
#include "setup/setup_rules.h"
#include "shared/clsWaitableTimer.h"
#include "shared/install_log.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"
#include "win/process.h"
#include "win/registry.h"

namespace kv::setup {

namespace {

using win::DoEvents;

std::wstring WithoutTrailingSlash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::string Ansi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

DWORD Attributes(const std::wstring& path) {
    if (path.empty()) return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesW(win::LongPath(path).c_str());
}

template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

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

std::uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win::LongPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

Host& TheHost() {
    static Host host;
    return host;
}

ModuleState& Module() {
    static ModuleState state;
    return state;
}

void ResetModule() { Module() = ModuleState{}; }

std::wstring SetupFolder() {
    if (!TheHost().setupFolder.empty()) return TheHost().setupFolder;
    return WithoutTrailingSlash(win::ProgramFolder());
}

bool FolderExists(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyFileOver(const std::wstring& from, const std::wstring& to) {
    return ::CopyFileW(win::LongPath(from).c_str(), win::LongPath(to).c_str(), FALSE) != FALSE;
}

void Pause(int ms) {
    try {
        if (TheHost().pause) TheHost().pause(ms);
        else PauseTimer().Wait(ms);
    } catch (...) {
        // A pause that fails only shortens the wait.
    }
}

void PrepareInstallation() {
    auto& m = Module();
    m.SourceFolder = SetupFolder() + L"\\Support";
    (void)PauseTimer();
    m.InstalledItems = {L""};
}

std::wstring GetSpecialFolder(int csidl) {
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return {};
    wchar_t buffer[MAX_PATH + 1] = {};
    const BOOL ok = ::SHGetPathFromIDListW(items, buffer);
    ::CoTaskMemFree(items);
    if (!ok) return {};
    return WithoutTrailingSlash(buffer);
}

void FillSpecialFolders() {
    auto& f = Module().Folders;
    if (TheHost().specialFolders) {
        f = *TheHost().specialFolders;
        return;
    }
    f.SystemFolder = GetSpecialFolder(CSIDL_SYSTEM);
    f.ProgramFilesFolder = GetSpecialFolder(CSIDL_PROGRAM_FILES);
    f.DesktopFolder = GetSpecialFolder(CSIDL_DESKTOP);
    f.ProgramsFolder = GetSpecialFolder(CSIDL_PROGRAMS);
    f.CommonDesktopFolder = GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    f.CommonProgramsFolder = GetSpecialFolder(CSIDL_COMMON_PROGRAMS);
}

bool RegisterComponent(const std::wstring& path) {
    const std::wstring line = RegisterCommandLine(path);
    if (TheHost().runAndWait) {
        const bool started = TheHost().runAndWait(line);
        DoEvents(12);
        return started;
    }
    // regsvr32 is taken from the system folder by its full path: the package folder and
    // the current folder are never searched for it.
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const auto outcome = win::RunAndWait(line, SW_SHOWMINIMIZED, {}, std::wstring(system) + L"\\regsvr32.exe");
    DoEvents(12);
    return outcome.started;
}

void AddInstalledItem(const std::wstring& path) {
    auto& items = Module().InstalledItems;
    if (items.size() == 1 && items[0].empty()) items[0] = path;
    else items.push_back(path);
}

void CreateFolderPath(const std::wstring& path) {
    for (const auto& level : FolderLevels(path)) {
        if (FolderExists(level)) continue;
        if (!::CreateDirectoryW(win::LongPath(level).c_str(), nullptr)) return;
        AddInstalledItem(level);
    }
}

void DeleteFileQuietly(const std::wstring& path) { ::DeleteFileW(win::LongPath(path).c_str()); }

bool MakeShortcut(const std::wstring& linkPath, const std::wstring& description, const std::wstring& targetPath,
                  int windowStyle, const std::wstring& iconLocation, const std::wstring& workingDirectory) {
    const std::wstring file = ShortcutFileName(linkPath);
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))) ||
        !link)
        return false;
    link->SetDescription(description.c_str());
    link->SetIconLocation(iconLocation.c_str(), 0);
    link->SetPath(targetPath.c_str());
    link->SetShowCmd(windowStyle);
    link->SetWorkingDirectory(workingDirectory.c_str());
    ComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) || !persist) return false;
    return SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

bool TestInstallRights() {
    const std::wstring path = SetupFolder() + L"\\testrights.txt";
    bool failed = false;
    HANDLE file = ::CreateFileW(win::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) failed = true;
    DoEvents(4);
    if (file != INVALID_HANDLE_VALUE) {
        static const char line[] = "TESTING\r\n";
        DWORD written = 0;
        if (!::WriteFile(file, line, sizeof line - 1, &written, nullptr) || written != sizeof line - 1) failed = true;
    }
    DoEvents(4);
    if (file != INVALID_HANDLE_VALUE && !::CloseHandle(file)) failed = true;
    if (file != INVALID_HANDLE_VALUE && !::DeleteFileW(win::LongPath(path).c_str())) failed = true;
    return !failed;
}

bool WriteInstallLog() {
    auto& m = Module();
    const std::wstring path = install::InstallLogPath(m.InstallPath);
    DeleteFileQuietly(path);
    std::string text;
    for (const auto& line : install::InstallLogLines(m.InstallPath, m.InstalledItems)) text += Ansi(line) + "\r\n";
    HANDLE file = ::CreateFileW(win::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    ok = ::FlushFileBuffers(file) && ok;
    return ::CloseHandle(file) && ok;
}

bool EnsureScriptingRuntime() {
    auto create = [] {
        if (TheHost().createScriptingObject) return TheHost().createScriptingObject();
        CLSID clsid{};
        if (FAILED(::CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid))) return false;
        ComPtr<IDispatch> object;
        return SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                            reinterpret_cast<void**>(&object))) &&
               static_cast<bool>(object);
    };
    auto& m = Module();
    m.HaveFileSystem = create();
    if (m.HaveFileSystem) return true;
    const std::wstring target = m.Folders.SystemFolder + L"\\scrrun.dll";
    // A scripting runtime that is there but not registered is registered as it is: the
    // package's file never replaces a component of the system.
    if (!FileExists(target)) CopyFileOver(m.SourceFolder + L"\\scrrun.dll", target);
    DoEvents(6);
    if (!RegisterComponent(target)) {
        DoEvents(6);
        RegisterComponent(target);
    }
    DoEvents(6);
    m.HaveFileSystem = create();
    return m.HaveFileSystem;
}

bool RunPrerequisites() {
    FillSpecialFolders();
    if (!EnsureScriptingRuntime()) {
        Module().ExitCode = kExitFailed;
        win::MsgBox(ScriptingRuntimeMessage(Module().Folders.SystemFolder));
        EndSetup();
        return false;
    }
    EnsureInstallerRequirements();
    if (!TestInstallRights()) {
        Module().ExitCode = kExitFailed;
        win::MsgBox(InstallRightsMessage());
        EndSetup();
        return false;
    }
    return true;
}

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
    PACL old = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    std::wstring path = folder;
    if (::GetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old,
                                nullptr, &sd) != ERROR_SUCCESS)
        return false;
    PACL updated = DataAccessAcl(old);
    DWORD rc = ERROR_INVALID_ACL;
    if (updated)
        rc = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, updated,
                                     nullptr);
    if (updated) ::LocalFree(updated);
    if (sd) ::LocalFree(sd);
    return rc == ERROR_SUCCESS;
}

bool ProtectInstalledFile(const std::wstring& path) {
    PACL acl = ProtectedFileAcl();
    if (!acl) return false;
    std::wstring p = path;
    // Protected: the folder's grants to users do not reach the program files.
    const DWORD rc = ::SetNamedSecurityInfoW(p.data(), SE_FILE_OBJECT,
                                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                             nullptr, acl, nullptr);
    ::LocalFree(acl);
    return rc == ERROR_SUCCESS;
}

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
    const std::wstring uninstaller = L"\"" + m.InstallPath + L"\\KorvaneUninstaller.exe\"";
    text(L"UninstallString", uninstaller);
    // What a deployment tool runs to remove Korvane with no window and no question.
    text(L"QuietUninstallString", uninstaller + L" /quiet");
    number(L"EstimatedSize", static_cast<DWORD>((bytes + 1023) / 1024));
    number(L"NoModify", 1);
    number(L"NoRepair", 1);
    return ok;
}

std::wstring FullFolderPath(const std::wstring& folder) {
    const DWORD need = ::GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (need == 0) return folder;
    std::wstring full(need, L'\0');
    const DWORD n = ::GetFullPathNameW(folder.c_str(), need, full.data(), nullptr);
    if (n == 0 || n >= need) return folder;
    full.resize(n);
    full = WithoutTrailingSlash(full);
    // The deepest level that exists gives its long form; the levels below it are new and
    // keep the names typed.
    const auto levels = FolderLevels(full);
    for (size_t i = levels.size(); i-- > 0;) {
        std::wstring level = levels[i];
        if (level.size() == 2 && level[1] == L':') level += L'\\';  // the drive's root, not its current folder
        const DWORD size = ::GetLongPathNameW(level.c_str(), nullptr, 0);
        if (size == 0) continue;
        std::wstring found(size, L'\0');
        const DWORD got = ::GetLongPathNameW(level.c_str(), found.data(), size);
        if (got == 0 || got >= size) continue;
        found.resize(got);
        return WithoutTrailingSlash(found) + full.substr(levels[i].size());
    }
    return full;
}

bool HoldsOtherFiles(const std::wstring& folder) {
    if (!FolderExists(folder) || FileExists(install::InstallLogPath(folder))) return false;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(win::LongPath(folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
        const std::wstring name = data.cFileName;
        any = name != L"." && name != L"..";
    } while (!any && ::FindNextFileW(find, &data));
    ::FindClose(find);
    return any;
}

void EndSetup() {
    Module().Ended = true;
    if (auto* f = win::LoadedForm<frmBrowseFolders>()) f->Unload();
    if (auto* f = win::LoadedForm<frmMessage>()) f->Unload();
    if (auto* f = win::LoadedForm<frmThird>()) f->Unload();
    if (auto* f = win::LoadedForm<frmSecond>()) f->Unload();
    if (auto* f = win::LoadedForm<frmFirst>()) f->Unload();
    if (auto* f = win::LoadedForm<frmLicense>()) f->Unload();
}

}  // namespace kv::setup
