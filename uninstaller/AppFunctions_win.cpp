#include "uninstaller/AppFunctions.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>

#include "shared/clsWaitableTimer.h"
#include "shared/install_log.h"
#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"

namespace kv::uninstall {

namespace {

using win::DoEvents;

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::wstring WithoutTrailingSlash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring ShellFolder(int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
    return WithoutTrailingSlash(buffer);
}

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(win::LongPath(path).c_str()); }

// The long form of an existing path (8.3 names spelt out), else the path as given, so the
// rules compare what the file system means and not how the log spells it.
std::wstring Expanded(const std::wstring& path) {
    if (NormalPath(path).empty()) return path;
    const std::wstring lp = win::LongPath(path);
    const DWORD n = ::GetLongPathNameW(lp.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    const DWORD got = ::GetLongPathNameW(lp.c_str(), out.data(), n);
    if (got == 0 || got >= n) return path;
    out.resize(got);
    if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
    if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
    return out;
}

// The header's folder may be deleted whole: neither as written nor as the file system
// resolves it is it one of the protected folders.
std::optional<std::wstring> InstallFolderRefusal(const std::wstring& folder) {
    const auto& folders = Module().Folders;
    if (auto reason = RefusalReason(folder, folders)) return reason;
    return RefusalReason(Expanded(folder), folders);
}

// Visits the entries directly in a folder (not "." and "..").
template <class Fn>
void ForEachEntry(const std::wstring& folder, Fn&& fn) {
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileExW(win::LongPath(folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!fn(folder + L"\\" + name, data)) break;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

// Removes a folder and everything in it, read-only content included. A junction or
// symbolic link inside is removed as a link; what it points to is never entered.
void DeleteTree(const std::wstring& folder) {
    ForEachEntry(folder, [](const std::wstring& path, const WIN32_FIND_DATAW& data) {
        const std::wstring lp = win::LongPath(path);
        ::SetFileAttributesW(lp.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteTree(path);
            ::RemoveDirectoryW(lp.c_str());
        } else {
            ::DeleteFileW(lp.c_str());
        }
        return true;
    });
    const std::wstring lp = win::LongPath(folder);
    ::SetFileAttributesW(lp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(lp.c_str());
}

// A folder holds nothing (a "Thumbs.db" is first deleted by IsFolderEmpty).
bool HoldsNothing(const std::wstring& folder) {
    bool any = false;
    ForEachEntry(folder, [&](const std::wstring&, const WIN32_FIND_DATAW&) {
        any = true;
        return false;
    });
    return !any;
}

std::wstring ToWide(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                          text.data(), n);
    return text;
}

std::vector<std::uint8_t> ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(n));
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                          reinterpret_cast<char*>(bytes.data()), n, nullptr, nullptr);
    return bytes;
}

bool StartCopyReal(const std::wstring& exe) {
    // ShellExecuteEx, not CreateProcess: the copy asks for administrator rights and the
    // shell raises them where the system requires it.
    SHELLEXECUTEINFOW info{sizeof(info)};
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = exe.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

bool StartBatchReal(const std::wstring& batch, const std::wstring& folder) {
    wchar_t system[MAX_PATH + 1] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    std::wstring line = L"\"" + cmd + L"\" /c \"" + batch + L"\"";
    STARTUPINFOW si{sizeof(si)};
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          folder.c_str(), &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

std::wstring EntryName() {
    const Host& h = TheHost();
    const wchar_t* root = h.entryRoot == HKEY_LOCAL_MACHINE  ? L"HKEY_LOCAL_MACHINE\\"
                          : h.entryRoot == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER\\"
                                                             : L"";
    return root + h.entryKey;
}

// Removes the installed-programs entry; false when it is still there afterwards.
bool RemoveProgramsEntry() {
    const Host& h = TheHost();
    const LSTATUS rc = ::RegDeleteTreeW(h.entryRoot, h.entryKey.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return true;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(h.entryRoot, h.entryKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
    ::RegCloseKey(key);
    return false;
}

std::wstring SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : L"error " + std::to_wstring(code);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' || text.back() == L' '))
        text.pop_back();
    return text;
}

// Why a file that should be gone is still there: what the system says when asked again.
std::wstring WhyFileStays(const std::wstring& path) {
    const std::wstring lp = win::LongPath(path);
    ::SetFileAttributesW(lp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::DeleteFileW(lp.c_str())) return {};
    const DWORD code = ::GetLastError();
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED)
        return L"could not be deleted; it may be in use: " + SystemText(code);
    return L"could not be deleted: " + SystemText(code);
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

std::wstring ProgramFolderOfUninstaller() {
    if (!TheHost().programFolder.empty()) return WithoutTrailingSlash(TheHost().programFolder);
    return WithoutTrailingSlash(win::ProgramFolder());
}

std::wstring ProgramNameOfUninstaller() {
    if (!TheHost().programName.empty()) return TheHost().programName;
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

SpecialFolders ShellSpecialFolders(const std::wstring& tempFolder) {
    if (TheHost().specialFolders) {
        SpecialFolders f = *TheHost().specialFolders;
        if (f.temp.empty()) f.temp = tempFolder;
        return f;
    }
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
    if (::GetTempPathW(MAX_PATH + 1, temp)) f.other.push_back(WithoutTrailingSlash(temp));
    f.temp = tempFolder;
    return f;
}

bool FolderExists(const std::wstring& path) {
    if (path.empty()) return false;
    std::wstring p = path;
    if (p.size() == 2 && p[1] == L':') p += L'\\';
    const DWORD a = Attributes(p);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void Pause(int ms) {
    if (TheHost().pause) return TheHost().pause(ms);
    const std::int32_t wait = ms;
    try {
        PauseTimer().Wait(wait);
    } catch (...) {
        // The removal ignores errors step by step; a pause that cannot wait only lets the
        // windows catch up.
        DoEvents(1);
    }
}

std::wstring GetTempFolder() {
    if (TheHost().tempPath) return TheHost().tempPath();
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, std::min<DWORD>(n, MAX_PATH));
}

void EndProgram() {
    Module().Ended = true;
    if (auto* form = win::LoadedForm<frmMain>()) form->Unload();
}

bool IsFormLoaded(const std::wstring& name) {
    return SameText(name, L"frmMain") && win::LoadedForm<frmMain>() != nullptr;
}

void RelaunchFromTemp() {
    auto& m = Module();
    const std::wstring title = win::AppTitle();
    const std::wstring logCopy = m.TempFolder + L"\\" + std::wstring(install::kInstallLogName);
    ::CopyFileW(win::LongPath(m.LogPath).c_str(), win::LongPath(logCopy).c_str(), FALSE);
    Pause(300);
    if (!win::FileExists(logCopy)) {
        win::MsgBox(CopyLogFailedMessage(logCopy));
        return EndProgram();
    }
    const std::wstring exeCopy = m.TempFolder + L"\\" + title + L".exe";
    ::CopyFileW(win::LongPath(ProgramFolderOfUninstaller() + L"\\" + title + L".exe").c_str(),
                win::LongPath(exeCopy).c_str(), FALSE);
    Pause(1000);
    if (!win::FileExists(exeCopy)) {
        win::MsgBox(CopyUninstallerFailedMessage(exeCopy));
        return EndProgram();
    }
    if (TheHost().startCopy) TheHost().startCopy(exeCopy);
    else StartCopyReal(exeCopy);
    EndProgram();
}

void DeleteFileForced(const std::wstring& path) {
    if (!win::FileExists(path)) return;
    const std::wstring lp = win::LongPath(path);
    DoEvents(6);
    ::SetFileAttributesW(lp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DoEvents(6);
    ::DeleteFileW(lp.c_str());
    DoEvents(6);
    ::DeleteFileW(lp.c_str());
}

void DeleteFolderForced(const std::wstring& path) {
    if (!FolderExists(path)) return;
    DoEvents(4);
    Pause(100);
    ::SetFileAttributesW(win::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::vector<std::wstring> files;
    ForEachEntry(path, [&](const std::wstring& entry, const WIN32_FIND_DATAW& data) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(entry);
        return true;
    });
    for (const auto& file : files) {
        DoEvents(6);
        ::SetFileAttributesW(win::LongPath(file).c_str(), FILE_ATTRIBUTE_NORMAL);
        DoEvents(6);
        ::DeleteFileW(win::LongPath(file).c_str());
        DoEvents(6);
    }
    DeleteTree(path);
    DoEvents(6);
}

bool IsFolderEmpty(const std::wstring& path) {
    if (!FolderExists(path)) return false;
    DoEvents(3);
    DeleteFileForced(path + L"\\Thumbs.db");
    return HoldsNothing(path);
}

void RemoveInstallFolder(const std::wstring& headerLine) {
    const std::wstring folder = Trimmed(install::HeaderFolder(headerLine));
    if (InstallFolderRefusal(folder)) return;  // never taken whole, whatever the log says
    const std::wstring log = install::InstallLogPath(folder);
    if (Upper(log) != Upper(Module().LogPath)) DeleteFileForced(log);
    DeleteTree(folder);
}

void RunUninstall() {
    auto& m = Module();
    m.LastRemaining.clear();

    std::vector<std::uint8_t> bytes;
    if (win::ReadWholeFile(m.LogPath, bytes)) {
        win::MsgBox(NoInstallLogMessage(m.LogPath));
        return EndProgram();
    }
    const std::vector<std::wstring> lines = install::SplitLogLines(ToWide(bytes));

    // Before anything is removed: every installation folder the log names must be one that
    // may be deleted whole and must still hold its install log.
    std::vector<std::wstring> installFolders;
    for (const auto& line : lines) {
        if (install::ClassifyLine(line) != install::LineKind::Header) continue;
        const std::wstring folder = Trimmed(install::HeaderFolder(line));
        std::optional<std::wstring> reason = InstallFolderRefusal(folder);
        if (!reason && !win::FileExists(install::InstallLogPath(folder)))
            reason = L"it does not hold " + std::wstring(install::kInstallLogName);
        if (reason) {
            win::SetBusyPointer(false);
            win::MsgBox(RefusedMessage(folder, *reason));
            return EndProgram();
        }
        installFolders.push_back(folder);
        installFolders.push_back(Expanded(folder));
    }
    if (installFolders.empty()) {
        win::SetBusyPointer(false);
        win::MsgBox(NoHeaderMessage(m.LogPath));
        return EndProgram();
    }

    std::vector<std::wstring> FolderList{L""};
    std::vector<std::wstring> deletedFiles;
    std::vector<Remaining> remaining;
    for (const auto& line : lines) {
        switch (install::ClassifyLine(line)) {
            case install::LineKind::Header:
                m.InstallPath = install::HeaderFolder(line);
                RemoveInstallFolder(line);
                break;
            case install::LineKind::Empty:
                break;
            case install::LineKind::File:
                if (MayDeleteListedFile(line, installFolders, m.Folders) ||
                    MayDeleteListedFile(Expanded(line), installFolders, m.Folders)) {
                    DeleteFileForced(line);
                    deletedFiles.push_back(line);
                } else if (win::FileExists(line)) {
                    remaining.push_back({line, L"left in place: it is neither in the installation folder nor a "
                                               L"shortcut on a desktop or in a Start Menu"});
                }
                break;
            case install::LineKind::Folder:
                if (FolderList[0].empty()) FolderList[0] = line;
                else FolderList.push_back(line);
                break;
        }
    }
    DeleteFileForced(m.LogPath);
    const bool entryGone = RemoveProgramsEntry();

    DoEvents(12);
    Pause(1000);
    DoEvents(6);
    Pause(1000);
    DoEvents(6);

    for (int round = 0; round < 10; ++round) {
        for (const auto& folder : FolderList)
            if (!folder.empty() && MayRemoveListedFolder(folder, m.Folders) &&
                MayRemoveListedFolder(Expanded(folder), m.Folders) && IsFolderEmpty(folder))
                DeleteFolderForced(folder);
        Pause(100);
    }

    Pause(1000);
    DoEvents(12);
    if (IsFormLoaded(L"frmMain")) win::TheForm<frmMain>().Hide();
    DoEvents(6);
    win::SetBusyPointer(false);

    // Everything the log names must be gone before success is claimed. The last attempt on
    // the installation folder comes first so that it counts.
    const std::wstring installPath = Trimmed(m.InstallPath);
    if (FolderExists(installPath)) DeleteFolderForced(installPath);
    for (size_t i = 0; i < installFolders.size(); i += 2) {
        const std::wstring& folder = installFolders[i];
        if (!FolderExists(folder)) continue;
        size_t listed = 0;
        std::vector<std::wstring> inside;
        std::vector<std::wstring> stack{folder};
        while (!stack.empty() && inside.size() < 5) {
            const std::wstring current = stack.back();
            stack.pop_back();
            ForEachEntry(current, [&](const std::wstring& p, const WIN32_FIND_DATAW& d) {
                if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) stack.push_back(p);
                else if (inside.size() < 5) inside.push_back(p);
                return true;
            });
        }
        for (const auto& file : inside) {
            const std::wstring why = WhyFileStays(file);
            if (!why.empty()) {
                remaining.push_back({file, why});
                ++listed;
            }
        }
        if (FolderExists(folder)) remaining.push_back({folder, L"the installation folder could not be removed"});
        (void)listed;
    }
    for (const auto& file : deletedFiles)
        if (win::FileExists(file)) {
            const std::wstring why = WhyFileStays(file);
            if (!why.empty()) remaining.push_back({file, why});
        }
    for (const auto& folder : FolderList) {
        if (folder.empty() || !FolderExists(folder)) continue;
        if (!MayRemoveListedFolder(folder, m.Folders) || !MayRemoveListedFolder(Expanded(folder), m.Folders)) {
            remaining.push_back({folder, L"left in place: a folder of Windows is never removed"});
        } else if (HoldsNothing(folder)) {
            remaining.push_back({folder, L"the empty folder could not be removed"});
        }
        // A folder that still holds the user's own files is kept on purpose.
    }
    if (!entryGone) remaining.push_back({EntryName(), L"the installed-programs entry could not be removed"});
    // Anything reported twice (a file inside the folder that is listed too) once.
    std::vector<Remaining> unique;
    for (const auto& r : remaining)
        if (std::none_of(unique.begin(), unique.end(), [&](const Remaining& u) { return SameText(u.path, r.path); }))
            unique.push_back(r);
    m.LastRemaining = unique;

    if (unique.empty()) win::MsgBox(SuccessMessage());
    else win::MsgBox(IncompleteMessage(unique));

    DoEvents(6);
    DeleteFolderForced(installPath);
    DeleteSelf();
}

void DeleteSelf() {
    auto& m = Module();
    if (IsFormLoaded(L"frmMain")) win::TheForm<frmMain>().Unload();
    const std::wstring batch = m.TempFolder + L"\\killmyself.bat";
    std::wstring text;
    for (const auto& line : KillMyselfLines(ProgramFolderOfUninstaller(), ProgramNameOfUninstaller(), m.TempFolder))
        text += line + L"\r\n";
    win::WriteFileAtomically(batch, ToAnsi(text));
    Pause(200);
    const std::wstring folder = m.TempFolder + L"\\";
    if (TheHost().startBatch) TheHost().startBatch(batch, folder);
    else StartBatchReal(batch, folder);
    EndProgram();
}

}  // namespace kv::uninstall
