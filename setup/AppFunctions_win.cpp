#include "setup/AppFunctions.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <exception>

#include "setup/forms.h"
#include "setup/setup_rules.h"
#include "shared/clsWaitableTimer.h"
#include "shared/install_log.h"
#include "shared/path_rules.h"
#include "shared/program_wide.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"
#include "win/process.h"
#include "win/real_paths.h"
#include "win/shell.h"
#include "win/text.h"

namespace kv::setup {

namespace {

using win::DoEvents;

DWORD Attributes(const std::wstring& path) {
    if (path.empty()) return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesW(win::LongPath(path).c_str());
}

}  // namespace

Host& TheHost() { return install::ProgramWide<Host>(); }

ModuleState& Module() { return install::ProgramWide<ModuleState>(); }

void ResetModule() { Module() = ModuleState{}; }

std::wstring SetupFolder() {
    if (!TheHost().setupFolder.empty()) return TheHost().setupFolder;
    return install::WithoutTrailingBackslash(win::ProgramFolder());
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
    return install::WithoutTrailingBackslash(buffer);
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
    const win::ShellLink shortcut = win::NewShellLink();
    if (!shortcut) return false;
    IShellLinkW* link = shortcut.link.get();
    link->SetDescription(description.c_str());
    link->SetIconLocation(iconLocation.c_str(), 0);
    link->SetPath(targetPath.c_str());
    link->SetShowCmd(windowStyle);
    link->SetWorkingDirectory(workingDirectory.c_str());
    return SUCCEEDED(shortcut.file->Save(file.c_str(), TRUE));
}

bool TestInstallRights() {
    const std::wstring path = SetupFolder() + L"\\testrights.txt";
    bool failed = false;
    win::UniqueFile file(::CreateFileW(win::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool made = static_cast<bool>(file);
    if (!made) failed = true;
    DoEvents(4);
    if (made) {
        static const char line[] = "TESTING\r\n";
        DWORD written = 0;
        if (!::WriteFile(file.get(), line, sizeof line - 1, &written, nullptr) || written != sizeof line - 1)
            failed = true;
    }
    DoEvents(4);
    // A close that fails may have lost what was written: as good as a failed write.
    if (made && !::CloseHandle(file.release())) failed = true;
    if (made && !::DeleteFileW(win::LongPath(path).c_str())) failed = true;
    return !failed;
}

namespace {
bool EntryExists(const std::wstring& path) { return FileExists(path) || FolderExists(path); }
}  // namespace

bool WriteInstallLog() {
    auto& m = Module();
    const std::wstring path = install::InstallLogPath(m.InstallPath);
    // A reinstall keeps what the earlier log listed and this run found already there (the
    // folders an earlier Setup created, its shortcuts), so one uninstall still takes it all.
    std::vector<std::uint8_t> earlier;
    if (win::ReadWholeFile(path, earlier).ok()) {
        const auto lines = install::SplitLogLines(
            win::FromAnsi(std::string_view(reinterpret_cast<const char*>(earlier.data()), earlier.size())));
        const auto& f = m.Folders;
        for (const auto& item : install::CarriedOverItems(lines, m.InstallPath, m.InstalledItems,
                                                          {f.ProgramsFolder, f.CommonProgramsFolder},
                                                          {f.DesktopFolder, f.CommonDesktopFolder}, EntryExists))
            AddInstalledItem(item);
    }
    std::string text;
    for (const auto& line : install::InstallLogLines(m.InstallPath, m.InstalledItems)) text += win::ToAnsi(line) + "\r\n";
    // Through a working file and one replace: a full disk or a power cut leaves the earlier
    // log as it was, never none.
    return win::WriteFileAtomically(path, std::vector<std::uint8_t>(text.begin(), text.end())).ok();
}

bool EnsureScriptingRuntime() {
    auto create = [] {
        if (TheHost().createScriptingObject) return TheHost().createScriptingObject();
        CLSID clsid{};
        if (FAILED(::CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid))) return false;
        win::ComPtr<IDispatch> object;
        return SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void())) &&
               object;
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

std::wstring FullFolderPath(const std::wstring& folder) {
    std::wstring full = win::FullPath(folder);
    if (full.empty()) return folder;
    full = install::WithoutTrailingBackslash(full);
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
        return install::WithoutTrailingBackslash(found) + full.substr(levels[i].size());
    }
    return full;
}

bool HoldsOtherFiles(const std::wstring& folder) {
    if (!FolderExists(folder) || FileExists(install::InstallLogPath(folder))) return false;
    bool any = false;
    win::ForEachEntry(folder, [&](const std::wstring&, const WIN32_FIND_DATAW&) {
        any = true;
        return false;
    });
    return any;
}

bool TakeSetupLock() {
    static HANDLE held = nullptr;
    if (held) return true;
    win::KernelHandle lock(::CreateMutexW(nullptr, FALSE, L"Global\\KorvaneSetup"));
    // Made by a Setup of another session with rights this one lacks: that one is running.
    if (!lock) return ::GetLastError() != ERROR_ACCESS_DENIED;
    const DWORD got = ::WaitForSingleObject(lock.get(), 0);
    if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) return false;
    held = lock.release();  // released by the system when Setup ends
    return true;
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
