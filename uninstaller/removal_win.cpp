// The removal the install log describes: planned and checked before anything is deleted,
// carried out through deletions that never reach outside the installation, finished last
// (entry, log, uninstaller, folder) so that an interrupted removal can be finished, and
// checked afterwards without deleting anything.
#include "uninstaller/AppFunctions.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwchar>
#include <cstdint>

#include "shared/install_guard_win.h"
#include "shared/install_log.h"
#include "shared/path_rules.h"
#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"
#include "win/real_paths.h"
#include "win/shell.h"
#include "win/text.h"

namespace kv::uninstall {

namespace {

using win::DoEvents;

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(win::LongPath(path).c_str()); }

using install::RealFolders;

// The header's folder may be deleted whole: the guard Setup asked before it installed.
std::optional<std::wstring> InstallFolderRefusal(const std::wstring& folder) {
    const auto& m = Module();
    return install::InstallFolderRefusal(folder, m.Folders, m.RealFolders);
}

// The real place of `real` is the installation folder or inside it.
bool InInstallation(const std::wstring& real) {
    for (const auto& folder : Module().RealInstallFolders)
        if (SameName(real, folder) || IsInside(real, folder)) return true;
    return false;
}

// The Start Menu's "Uninstall Korvane.lnk" stays until the installation is gone: until
// then it is one of the ways to finish the removal.
bool IsUninstallShortcut(const std::wstring& path) {
    const size_t cut = path.find_last_of(L'\\');
    return SameName(cut == std::wstring::npos ? path : path.substr(cut + 1), L"Uninstall Korvane.lnk");
}

// A listed shortcut outside the installation is this installation's: a real shell link
// whose target lies in the installation being removed, or no longer exists. A file that
// is no shortcut, or one leading to another installation, is not.
bool ShortcutOfThisInstallation(const std::wstring& path) {
    const win::ShellLink shortcut = win::NewShellLink();
    if (!shortcut || FAILED(shortcut.file->Load(path.c_str(), STGM_READ))) return false;
    IShellLinkW* link = shortcut.link.get();
    std::wstring target(32768, L'\0');
    if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) return false;
    target.resize(std::wcslen(target.c_str()));
    if (target.empty()) return false;
    if (Attributes(target) == INVALID_FILE_ATTRIBUTES) return true;  // led to what was removed
    for (const auto& folder : Module().InstallFolders) {
        const std::wstring f = NormalPath(folder), t = NormalPath(target);
        if (!f.empty() && !t.empty() && IsInside(t, f)) return true;
    }
    const std::wstring real = win::RealPath(target);
    return !real.empty() && InInstallation(real);
}

std::wstring Describe(DWORD error) {
    if (error == win::kErrorOutsidePermitted) return L"left in place: it leads outside the installation";
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION)
        return L"could not be deleted; it may be in use: " + win::SystemErrorText(error);
    return L"could not be deleted: " + win::SystemErrorText(error);
}

void Record(const std::wstring& path, DWORD error) {
    if (error && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        Module().Failures.push_back({path, Describe(error)});
}

void Deleting(const std::wstring& path) {
    if (TheHost().deleting) TheHost().deleting(path);
}

// Deletes one entry when its real place satisfies `may`, recording a failure.
void DeleteGuarded(const std::wstring& path, const std::function<bool(const std::wstring&)>& may) {
    if (Attributes(path) == INVALID_FILE_ATTRIBUTES) return;
    Deleting(path);
    Record(path, win::DeleteEntry(path, may));
}

std::wstring EntryName() {
    const Host& h = TheHost();
    const wchar_t* root = h.entryRoot == HKEY_LOCAL_MACHINE  ? L"HKEY_LOCAL_MACHINE\\"
                          : h.entryRoot == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER\\"
                                                             : L"";
    return root + h.entryKey;
}

bool EntryThere() {
    win::RegKey key;
    return ::RegOpenKeyExW(TheHost().entryRoot, TheHost().entryKey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The installed-programs entry belongs to this installation: its InstallLocation is one of
// the folders being removed (the same real folder). Another installation's entry, or one
// without a location, is left alone.
bool EntryIsOurs() {
    wchar_t buffer[32768] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (::RegGetValueW(TheHost().entryRoot, TheHost().entryKey.c_str(), L"InstallLocation", RRF_RT_REG_SZ, nullptr,
                       buffer, &size) != ERROR_SUCCESS)
        return false;
    const std::wstring location = install::TrimBlanks(buffer);
    if (location.empty()) return false;
    const std::wstring real = win::RealPath(location);
    if (real.empty()) return false;
    for (const auto& folder : Module().RealInstallFolders)
        if (SameName(install::WithoutTrailingBackslash(real), folder)) return true;
    return false;
}

// Removes the installed-programs entry; false when it is still there afterwards.
bool RemoveProgramsEntry() {
    const Host& h = TheHost();
    Deleting(EntryName());
    ::RegDeleteTreeW(h.entryRoot, h.entryKey.c_str());
    return !EntryThere();
}

// The install log and the uninstaller in an installation folder stay until everything else
// is gone, so that an interrupted removal can be finished from the folder, its shortcut or
// its entry.
bool KeptToTheEnd(const std::wstring& folder, const std::wstring& path) {
    return SameName(path, install::InstallLogPath(folder)) ||
           SameName(path, folder + L"\\" + std::wstring(install::kUninstallerName));
}

// Everything left below a folder, links not entered: up to `limit` paths.
void Leftovers(const std::wstring& folder, std::vector<std::wstring>& out, size_t limit) {
    win::ForEachEntry(folder, [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
        if (out.size() >= limit) return false;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Leftovers(path, out, limit);
        else out.push_back(path);
        return true;
    });
}
}  // namespace

namespace {

// Files the removal may delete: anything in the installation, a shortcut on a desktop or in
// a Start Menu, and the copy's own install log; judged by where the file really lies.
bool MayDeleteFile(const std::wstring& real) {
    const auto& m = Module();
    if (InInstallation(real)) return true;
    if (MayDeleteListedFile(real, {}, m.RealFolders)) return true;
    return !m.LogPath.empty() && SameName(real, win::RealLocation(m.LogPath));
}

// A listed folder may go: it is not itself a link, and where it really lies it is one of the
// installation's folders.
bool MayRemoveFolder(const std::wstring& folder, std::wstring& real) {
    const auto& m = Module();
    real = win::RealPath(folder);
    if (real.empty() || !SameName(real, win::RealLocation(folder))) return false;
    return MayRemoveListedFolder(folder, m.InstallFolders, m.Folders) &&
           MayRemoveListedFolder(real, m.RealInstallFolders, m.RealFolders);
}

void DeleteFileWith(const std::wstring& path, const std::function<bool(const std::wstring&)>& may) {
    if (!win::FileExists(path)) return;
    DoEvents(6);
    DoEvents(6);
    DeleteGuarded(path, may);
    DoEvents(6);
}

}  // namespace

void DeleteFileForced(const std::wstring& path) { DeleteFileWith(path, MayDeleteFile); }

void DeleteFolderForced(const std::wstring& path) {
    if (!FolderExists(path)) return;
    std::wstring real;
    if (!MayRemoveFolder(path, real)) return;
    DoEvents(4);
    Pause(100);
    Deleting(path);
    for (const auto& failure : win::DeleteTree(path, [&](const std::wstring& r) {
             return SameName(r, real) || IsInside(r, real);
         }))
        Record(failure.path, failure.error);
    DoEvents(6);
}

bool IsFolderEmpty(const std::wstring& path) {
    if (!FolderExists(path)) return false;
    DoEvents(3);
    std::wstring real;
    if (MayRemoveFolder(path, real))
        DeleteFileWith(path + L"\\Thumbs.db", [&](const std::wstring& r) { return IsInside(r, real); });
    return win::HoldsNothing(path);
}

void RemoveInstallFolder(const std::wstring& headerLine) {
    const std::wstring folder = install::TrimBlanks(install::HeaderFolder(headerLine));
    if (InstallFolderRefusal(folder)) return;  // never taken whole, whatever the log says
    if (!FolderExists(folder)) return;          // gone already: an earlier removal got this far
    Deleting(folder);
    for (const auto& failure : win::DeleteTree(folder, InInstallation, [&](const std::wstring& path) {
             return KeptToTheEnd(folder, path);
         }))
        Record(failure.path, failure.error);
}

namespace {

// Before anything is removed: the log is read, and every installation folder it names must
// be one that may be deleted whole and, while it still holds anything, must hold its install
// log. A folder that is no longer there was removed by an earlier uninstall cut short at
// its very end (the folder goes last): nothing of that installation is left to remove.
// Returns the refusal's message when the removal may not start.
std::optional<std::wstring> PlanRemoval(std::vector<std::wstring>& lines) {
    auto& m = Module();
    std::vector<std::uint8_t> bytes;
    if (!win::ReadWholeFile(m.LogPath, bytes).ok()) return NoInstallLogMessage(m.LogPath);
    lines = install::SplitLogLines(win::FromAnsi(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    m.RealFolders = RealFolders(m.Folders);
    m.InstallFolders.clear();
    m.RealInstallFolders.clear();
    bool anyHeader = false;
    for (const auto& line : lines) {
        if (install::ClassifyLine(line) != install::LineKind::Header) continue;
        anyHeader = true;
        const std::wstring folder = install::TrimBlanks(install::HeaderFolder(line));
        std::optional<std::wstring> reason = InstallFolderRefusal(folder);
        if (!reason && FolderExists(folder) && !win::FileExists(install::InstallLogPath(folder)) &&
            !win::HoldsNothing(folder))
            reason = L"it does not hold " + std::wstring(install::kInstallLogName);
        if (reason) return RefusedMessage(folder, *reason);
        if (!FolderExists(folder)) continue;
        m.InstallFolders.push_back(folder);
        m.RealInstallFolders.push_back(win::RealPath(folder));
    }
    if (!anyHeader) return NoHeaderMessage(m.LogPath);
    if (m.InstallFolders.empty()) return std::nullopt;  // already gone
    m.EntryOurs = EntryIsOurs();
    return std::nullopt;
}

// The listed file is one of those kept to the end in an installation folder.
bool KeptInAnInstallation(const std::wstring& file) {
    for (const auto& folder : Module().InstallFolders)
        if (KeptToTheEnd(folder, file)) return true;
    return false;
}

// Once nothing but its log and uninstaller is left in each installation folder: the entry,
// then the uninstaller, the log and the folder. Until then all of them stay, so that another
// uninstall can finish the job. True when the installation is gone.
bool FinishInstallation(const std::function<void()>& afterEntry) {
    auto& m = Module();
    for (const auto& folder : m.InstallFolders) {
        std::vector<std::wstring> left;
        if (FolderExists(folder)) Leftovers(folder, left, 64);
        if (std::any_of(left.begin(), left.end(), [&](const std::wstring& p) { return !KeptToTheEnd(folder, p); }))
            return false;
    }
    if (m.EntryOurs && EntryThere() && !RemoveProgramsEntry()) return false;
    afterEntry();
    for (const auto& folder : m.InstallFolders) {
        if (!FolderExists(folder)) continue;
        DeleteGuarded(folder + L"\\" + std::wstring(install::kUninstallerName), InInstallation);
        DeleteGuarded(install::InstallLogPath(folder), InInstallation);
        DeleteGuarded(folder, InInstallation);
    }
    return std::none_of(m.InstallFolders.begin(), m.InstallFolders.end(), FolderExists);
}

// A listed folder is one of the installation's, as written: the installation folder, a folder
// in it or a level above it, or a Start Menu's "Korvane" folder.
bool BelongsToInstallation(const std::wstring& folder) {
    const auto& m = Module();
    const std::wstring n = NormalPath(folder);
    if (n.empty()) return false;
    for (const auto& install : m.InstallFolders) {
        const std::wstring f = NormalPath(install);
        if (!f.empty() && (SameName(n, f) || IsInside(n, f) || IsInside(f, n))) return true;
    }
    for (const auto* programs : {&m.Folders.programs, &m.Folders.commonPrograms}) {
        const std::wstring p = NormalPath(*programs);
        if (!p.empty() && (SameName(n, p + L"\\Korvane") || IsInside(n, p + L"\\Korvane"))) return true;
    }
    return false;
}

// What the removal left behind, each with why. Looks only: nothing is deleted here.
std::vector<Remaining> WhatRemains(const std::vector<std::wstring>& folderList, bool finished) {
    const auto& m = Module();
    std::vector<Remaining> remaining;
    auto add = [&](const std::wstring& path, const std::wstring& why) {
        if (std::none_of(remaining.begin(), remaining.end(), [&](const Remaining& r) { return SameName(r.path, path); }))
            remaining.push_back({path, why});
    };
    for (const auto& failure : m.Failures)
        if (Attributes(failure.path) != INVALID_FILE_ATTRIBUTES) add(failure.path, failure.reason);
    for (const auto& folder : m.InstallFolders) {
        if (!FolderExists(folder)) continue;
        std::vector<std::wstring> left;
        Leftovers(folder, left, 12);
        for (const auto& path : left)
            if (!KeptToTheEnd(folder, path)) add(path, L"could not be deleted");
        add(folder, L"the installation folder could not be removed");
    }
    for (const auto& folder : folderList) {
        if (folder.empty() || !FolderExists(folder)) continue;
        const bool refused = RefusalReason(folder, m.Folders) || RefusalReason(win::RealPath(folder), m.RealFolders);
        if (refused && !BelongsToInstallation(folder))
            add(folder, L"left in place: it lies outside the installation");
        else if (refused)
            add(folder, L"left in place: a folder of Windows is never removed");
        else if (std::wstring real; MayRemoveFolder(folder, real) && win::HoldsNothing(folder))
            add(folder, L"the empty folder could not be removed");
        // A folder that still holds the user's own files is kept on purpose.
    }
    if (finished && m.EntryOurs && EntryThere())
        add(EntryName(), L"the installed-programs entry could not be removed");
    return remaining;
}

}  // namespace

void RunUninstall() {
    auto& m = Module();
    m.LastRemaining.clear();
    m.Failures.clear();

    std::vector<std::wstring> lines;
    if (const auto refusal = PlanRemoval(lines)) return EndWithFailure(*refusal);
    // With the installation folder gone, what an earlier removal cut short at its very end
    // left is still taken: this installation's shortcuts (their targets are gone) and the
    // Start Menu's "Korvane" folder; nothing else is within reach any more.

    std::vector<std::wstring> FolderList{L""};
    std::vector<std::wstring> uninstallShortcuts;
    for (const auto& line : lines) {
        switch (install::ClassifyLine(line)) {
            case install::LineKind::Header:
                m.InstallPath = install::HeaderFolder(line);
                RemoveInstallFolder(line);
                break;
            case install::LineKind::Empty:
                break;
            case install::LineKind::File:
                if (KeptInAnInstallation(line)) break;  // deleted last
                if (!MayDeleteListedFile(line, m.InstallFolders, m.Folders)) {
                    if (win::FileExists(line))
                        m.Failures.push_back({line, L"left in place: it is neither in the installation folder nor a "
                                                    L"shortcut on a desktop or in a Start Menu"});
                    break;
                }
                if (!MayDeleteListedFile(line, m.InstallFolders, {})) {
                    // A shortcut on a desktop or in a Start Menu: only this installation's
                    // goes; another installation's, or a file that is no shortcut, stays.
                    if (!win::FileExists(line) || !ShortcutOfThisInstallation(line)) break;
                    if (IsUninstallShortcut(line)) {
                        uninstallShortcuts.push_back(line);  // deleted once the installation is gone
                        break;
                    }
                }
                DeleteFileForced(line);
                break;
            case install::LineKind::Folder:
                if (FolderList[0].empty()) FolderList[0] = line;
                else FolderList.push_back(line);
                break;
        }
    }

    DoEvents(12);
    Pause(1000);
    DoEvents(6);
    Pause(1000);
    DoEvents(6);

    for (int round = 0; round < 10; ++round) {
        for (const auto& folder : FolderList)
            if (!folder.empty() && IsFolderEmpty(folder)) DeleteFolderForced(folder);
        Pause(100);
    }

    Pause(1000);
    DoEvents(12);
    auto emptyFolders = [&] {
        for (auto folder = FolderList.rbegin(); folder != FolderList.rend(); ++folder)
            if (!folder->empty() && IsFolderEmpty(*folder)) DeleteFolderForced(*folder);
    };
    // Once the entry is gone, the uninstall shortcut and its Start Menu folder go, before the
    // uninstaller, its log and the folder: stopped anywhere, the same command still finishes.
    const bool finished = FinishInstallation([&] {
        for (const auto& shortcut : uninstallShortcuts) DeleteFileForced(shortcut);
        emptyFolders();
    });
    // The levels Setup created above the installation folder could not go while it was
    // there: the deepest first, now that it is gone.
    if (finished) emptyFolders();
    if (IsFormLoaded(L"frmMain")) win::TheForm<frmMain>().Hide();
    DoEvents(6);
    win::SetBusyPointer(false);

    m.LastRemaining = WhatRemains(FolderList, finished);
    m.ExitCode = m.LastRemaining.empty() ? kExitSuccess : kExitFailed;
    if (m.LastRemaining.empty()) win::MsgBox(SuccessMessage());
    else win::MsgBox(IncompleteMessage(m.LastRemaining, !finished));

    DoEvents(6);
    // The copy's log goes last: until here a removal cut short can be started again from it.
    if (!KeptInAnInstallation(m.LogPath)) DeleteFileForced(m.LogPath);
    // The waiting quiet instance's program file is deleted with this copy only when the
    // installation is gone; otherwise that instance puts it back into the installation folder.
    m.InstallationGone = finished;
    DeleteSelf();
}

}  // namespace kv::uninstall
