// KorvaneUninstaller's module AppFunctions: its state, the start of both instances (the
// first copies itself and the log into the temporary folder and starts the copy), and the
// quiet run of a deployment tool. The removal is in removal_win.cpp, the self-deletion in
// self_delete_win.cpp.
#include "uninstaller/AppFunctions.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "shared/clsWaitableTimer.h"
#include "shared/install_guard_win.h"
#include "shared/install_log.h"
#include "shared/path_rules.h"
#include "shared/program_wide.h"
#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"
#include "win/real_paths.h"
#include "win/text.h"

namespace kv::uninstall {

namespace {

using win::DoEvents;

void RemoveEarlierMovedFiles(const std::wstring& tempFolder);

std::optional<DWORD> StartCopyReal(const std::wstring& exe, const std::wstring& args, const std::wstring& folder,
                                   bool wait) {
    // ShellExecuteEx, not CreateProcess: the copy asks for administrator rights and the
    // shell raises them where the system requires it. Its working folder is the temporary
    // folder, never the installation folder it is about to delete.
    SHELLEXECUTEINFOW info{sizeof(info)};
    info.fMask = SEE_MASK_NOASYNC | (wait ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpVerb = L"open";
    info.lpFile = exe.c_str();
    info.lpParameters = args.empty() ? nullptr : args.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) return std::nullopt;
    if (!wait) return 0;
    if (!info.hProcess) return std::nullopt;
    win::KernelHandle process(info.hProcess);
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = kExitFailed;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

// Messages of a quiet run go to the administrator's log instead of a box; the one question
// ("Are you sure...") is answered Yes, as the switch asked.
class QuietDialogs : public win::DialogService {
public:
    win::MsgResult MessageBox(const std::wstring& text, win::MsgButtons buttons, win::MsgIcon,
                              const std::wstring&) override {
        WriteRunLog(text);
        return buttons == win::MsgButtons::YesNo || buttons == win::MsgButtons::YesNoCancel ? win::MsgResult::Yes
                                                                                            : win::MsgResult::OK;
    }
    std::optional<std::wstring> InputBox(const std::wstring&, const std::wstring&, const std::wstring&) override {
        return std::nullopt;
    }
    std::wstring OpenFileName(HWND) override { return {}; }
};
}  // namespace

Host& TheHost() { return install::ProgramWide<Host>(); }

ModuleState& Module() { return install::ProgramWide<ModuleState>(); }

void ResetModule() { Module() = ModuleState{}; }

std::wstring ProgramFolderOfUninstaller() {
    if (!TheHost().programFolder.empty()) return install::WithoutTrailingBackslash(TheHost().programFolder);
    return install::WithoutTrailingBackslash(win::ProgramFolder());
}

std::wstring ProgramNameOfUninstaller() {
    if (!TheHost().programName.empty()) return TheHost().programName;
    return win::ProgramName();
}

SpecialFolders ShellSpecialFolders(const std::wstring& tempFolder) {
    if (TheHost().specialFolders) {
        SpecialFolders f = *TheHost().specialFolders;
        if (f.temp.empty()) f.temp = tempFolder;
        return f;
    }
    return install::ShellSpecialFolders(tempFolder);
}

bool FolderExists(const std::wstring& path) {
    if (path.empty()) return false;
    std::wstring p = path;
    if (p.size() == 2 && p[1] == L':') p += L'\\';
    const DWORD a = ::GetFileAttributesW(win::LongPath(p).c_str());
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

bool StartUp() {
    auto& m = Module();
    const std::wstring own = ProgramFolderOfUninstaller();
    m.LogPath = own + L"\\" + std::wstring(install::kInstallLogName);
    if (!win::FileExists(m.LogPath)) {
        EndWithFailure(NoInstallLogMessage(m.LogPath));
        return false;
    }
    const std::wstring reported = GetTempFolder();
    m.TempFolder = ChooseTempFolder(reported, FolderExists(reported), own);
    m.Folders = ShellSpecialFolders(m.TempFolder);
    RemoveEarlierMovedFiles(m.TempFolder);
    if (IsTempCopy(own, m.TempFolder)) {
        // Started from a shortcut whose working folder is the installation folder, the copy
        // would hold that folder open and it could not be removed.
        ::SetCurrentDirectoryW((m.TempFolder + L"\\").c_str());
        return true;
    }
    RelaunchFromTemp();
    return false;
}

int RunQuiet() {
    auto& m = Module();
    QuietDialogs quiet;
    win::DialogService* before = win::SetDialogService(&quiet);
    WriteRunLog(L"Uninstalling Korvane quietly from " + ProgramFolderOfUninstaller());
    if (StartUp()) RunUninstall();
    WriteRunLog(L"Exit code " + std::to_wstring(m.ExitCode));
    win::SetDialogService(before);
    return m.ExitCode;
}

void WriteRunLog(const std::wstring& text) {
    const std::wstring& file = Module().switches.logFile;
    if (file.empty()) return;
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    wchar_t stamp[32] = {};
    ::swprintf(stamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    std::wstring line = stamp + win::AppTitle() + L" (" + std::to_wstring(::GetCurrentProcessId()) + L"): ";
    for (wchar_t c : text) line += c == L'\r' ? std::wstring(L" | ") : std::wstring(1, c);
    const std::string added = win::ToUtf8(line + L"\r\n");
    // Added through the programs' data-file writer, so that a full disk or a power cut
    // never leaves the lines written so far damaged; one writer at a time.
    const win::KernelHandle lock(::CreateMutexW(nullptr, FALSE, L"Local\\KorvaneUninstallerLog"));
    if (lock) ::WaitForSingleObject(lock.get(), 10000);
    std::vector<std::uint8_t> bytes;
    // A log that is there but cannot be read is left as it is, never replaced by one line.
    if (!win::FileExists(file) || win::ReadWholeFile(file, bytes).ok()) {
        bytes.insert(bytes.end(), added.begin(), added.end());
        win::WriteFileAtomically(file, bytes);  // an unwritable log does not stop the removal
    }
    if (lock) ::ReleaseMutex(lock.get());
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

void EndWithFailure(const std::wstring& message) {
    Module().ExitCode = kExitFailed;
    win::SetBusyPointer(false);
    win::MsgBox(message);
    EndProgram();
}

bool IsFormLoaded(const std::wstring& name) {
    return SameName(name, L"frmMain") && win::LoadedForm<frmMain>() != nullptr;
}

namespace {

// The installed-programs entry is there and names this installation folder.
bool EntryOfFolder(const std::wstring& folder) {
    wchar_t buffer[32768] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (::RegGetValueW(TheHost().entryRoot, TheHost().entryKey.c_str(), L"InstallLocation", RRF_RT_REG_SZ, nullptr,
                       buffer, &size) != ERROR_SUCCESS)
        return false;
    return SameName(NormalPath(install::TrimBlanks(buffer)), NormalPath(folder));
}


// The waiting quiet instance, once its copy has ended: what the copy's exit code says counts
// only when the installation is really gone (its folder and its entry); a copy killed on the
// way reports whatever its killer chose. Until the installation is gone its program file
// goes back into the installation folder, so that the same command finishes the removal.
int Outcome(const std::optional<DWORD>& code, const std::wstring& moved) {
    const std::wstring folder = ProgramFolderOfUninstaller();
    const std::wstring own = folder + L"\\" + std::wstring(install::kUninstallerName);
    const bool entry = EntryOfFolder(folder);
    // Cut short between the entry and the folder, the last step: nothing is left to keep.
    if (FolderExists(folder) && !entry && win::HoldsNothing(folder)) ::RemoveDirectoryW(win::LongPath(folder).c_str());
    const bool gone = !FolderExists(folder) && !entry;
    if (gone) return code && *code == static_cast<DWORD>(kExitFailed) ? kExitFailed : kExitSuccess;
    if (!moved.empty() && FolderExists(folder) && !win::FileExists(own) &&
        !::MoveFileExW(win::LongPath(moved).c_str(), win::LongPath(own).c_str(), MOVEFILE_WRITE_THROUGH))
        WriteRunLog(L"This program file could not be put back into the installation folder: " +
                    win::SystemErrorText(::GetLastError()));
    WriteRunLog(L"Korvane was not removed completely (" + folder +
                (entry ? L" and its installed-programs entry remain" : L" remains") +
                L"). Run the same command again to finish the removal.");
    return kExitFailed;
}

// The program files earlier quiet instances moved into the temporary folder and could not
// delete themselves (their copy was stopped): each one whose process has ended.
void RemoveEarlierMovedFiles(const std::wstring& tempFolder) {
    const std::wstring name = ProgramNameOfUninstaller();
    win::ForEachEntry(tempFolder, [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
        const std::wstring file = data.cFileName;
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !IsMovedFirstInstanceName(file, name))
            return true;
        const unsigned long pid = std::wcstoul(file.c_str() + name.size() + 1, nullptr, 10);
        if (pid == ::GetCurrentProcessId()) return true;
        if (const win::KernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid)); process &&
            ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
            return true;  // still waiting for its copy
        ::SetFileAttributesW(win::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(win::LongPath(path).c_str());
        return true;
    });
}

}  // namespace

void RelaunchFromTemp() {
    auto& m = Module();
    const std::wstring exeName(install::kUninstallerName);
    const std::wstring own = ProgramFolderOfUninstaller() + L"\\" + exeName;
    const std::wstring logCopy = m.TempFolder + L"\\" + std::wstring(install::kInstallLogName);
    ::CopyFileW(win::LongPath(m.LogPath).c_str(), win::LongPath(logCopy).c_str(), FALSE);
    Pause(300);
    if (!win::FileExists(logCopy)) return EndWithFailure(CopyLogFailedMessage(logCopy));
    const std::wstring exeCopy = m.TempFolder + L"\\" + exeName;
    ::CopyFileW(win::LongPath(own).c_str(), win::LongPath(exeCopy).c_str(), FALSE);
    Pause(1000);
    if (!win::FileExists(exeCopy)) return EndWithFailure(CopyUninstallerFailedMessage(exeCopy));
    const bool wait = m.switches.quiet;  // a deployment tool learns the outcome from this process
    if (wait) {
        // This program file stays in use while it waits, and a file in use cannot be deleted,
        // only moved: it goes into the temporary folder, where the copy's batch file deletes
        // it once this instance has ended. On another drive it cannot move and stays behind.
        const std::wstring stem = exeName.substr(0, exeName.rfind(L'.'));
        const std::wstring moved = m.TempFolder + L"\\" + MovedFirstInstanceName(stem, ::GetCurrentProcessId());
        if (::MoveFileExW(win::LongPath(own).c_str(), win::LongPath(moved).c_str(), MOVEFILE_REPLACE_EXISTING))
            m.switches.firstInstance = moved;
        else
            WriteRunLog(L"This program file could not be moved out of the installation folder: " +
                        win::SystemErrorText(::GetLastError()));
    }
    const std::wstring args = CopyArguments(m.switches);
    const std::optional<DWORD> code = TheHost().startCopy ? TheHost().startCopy(exeCopy, args, m.TempFolder, wait)
                                                          : StartCopyReal(exeCopy, args, m.TempFolder, wait);
    if (!code) {
        WriteRunLog(L"The copy could not be started: " + exeCopy);
        m.ExitCode = kExitFailed;
    }
    if (wait) m.ExitCode = Outcome(code, m.switches.firstInstance);
    if (wait) {
        // The copy's batch file deletes it just after it ends; a copy that was killed left it.
        for (int i = 0; i < 100 && win::FileExists(exeCopy); ++i) {
            if (!code || ::DeleteFileW(win::LongPath(exeCopy).c_str())) break;
            ::Sleep(100);
        }
    }
    EndProgram();
}

}  // namespace kv::uninstall
