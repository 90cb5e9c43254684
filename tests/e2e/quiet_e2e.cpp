// End to end, as a deployment tool installs and removes Korvane: the real Setup.exe from the
// package with /quiet and each kind of choice, watched so that no window of it ever shows;
// its exit code, the installed files, shortcuts, install log and installed-programs entry;
// then the entry's QuietUninstallString, which must return only when everything is gone.
// The failing cases in the same table: a refused folder, no /acceptlicense, an unknown
// switch, a package that lacks a file. Leaves no installation behind.
//
//   quiet_e2e <package folder> <copy of the package without Support\Skull.ico>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "e2e_windows.h"

namespace {

using namespace e2e;

const wchar_t kOther[] = L"C:\\Quiet Apps\\Korvane";

struct Places {
    std::wstring programFiles, commonPrograms, programs, commonDesktop, desktop;
};
Places& Folders() {
    static Places p;
    return p;
}

// Whatever an installation of this test (or a failed earlier run) may have left.
void Clear() {
    const auto& f = Folders();
    RemoveTree(f.programFiles + L"\\Korvane");
    RemoveTree(L"C:\\Quiet Apps");
    RemoveTree(L"C:\\Quiet Apps ");
    RemoveTree(f.commonPrograms + L"\\Korvane");
    RemoveTree(f.programs + L"\\Korvane");
    ::DeleteFileW((f.commonDesktop + L"\\Korvane.lnk").c_str());
    ::DeleteFileW((f.desktop + L"\\Korvane.lnk").c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEntry);
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

bool ProgramRunning(const wchar_t* exeName) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{sizeof(entry)};
    bool found = false;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0) found = true;
    ::CloseHandle(snapshot);
    return found;
}

// Runs a command line to its end, failing as soon as a visible top-level window belongs to
// the started process or to a process of a program named `watchedImage`; its exit code.
DWORD RunUnseen(const std::wstring& commandLine, const std::wstring& folder, const std::wstring& watchedImage) {
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        Fail(L"cannot start " + commandLine);
    ::CloseHandle(pi.hThread);
    Watched().process = pi.hProcess;
    const DWORD start = ::GetTickCount();
    for (;;) {
        const bool ended = ::WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0;
        Watched().pid = 0;
        for (HWND w : VisibleTopWindows()) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == pi.dwProcessId || EndsWith(ImageOf(pid), watchedImage))
                Fail(L"a window showed: \"" + TextOf(w) + L"\" of " + commandLine);
        }
        if (ended) break;
        if (::GetTickCount() - start > 180000) Fail(L"did not end: " + commandLine);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    Watched().process = nullptr;
    ::CloseHandle(pi.hProcess);
    return code;
}

std::wstring LogOf(const std::wstring& path) {
    std::string bytes = ReadText(path);
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

enum class Place { None, AllUsers, ThisUser };

struct Case {
    const wchar_t* what;
    std::wstring switches;
    bool brokenPackage;
    DWORD code;
    std::wstring folder;  // where Korvane is installed; empty when nothing may be
    Place startMenu = Place::None, desktop = Place::None;
    std::wstring logSays;  // what the log must hold
};

// Runs a command line from a batch file, as deployment scripts do; its exit code as the batch
// file reads it from %errorlevel% (Wine's own process status keeps only 8 bits).
DWORD ThroughBatch(const std::wstring& commandLine, const std::wstring& temp) {
    const std::wstring bat = temp + L"\\quiet-e2e.bat", result = temp + L"\\quiet-e2e.txt";
    ::DeleteFileW(result.c_str());
    WriteText(bat, "@echo off\r\n" + Ansi(commandLine) + "\r\necho %errorlevel%> \"" + Ansi(result) + "\"\r\n");
    RunUnseen(L"cmd.exe /c \"" + bat + L"\"", temp, L"\\KorvaneUninstaller.exe");
    const std::string code = ReadText(result);
    if (code.empty()) Fail(L"the batch file wrote no exit code for " + commandLine);
    return static_cast<DWORD>(std::stoul(code));
}

// The process of the copy in the temporary folder, once it runs (0 when it did not show).
DWORD CopyProcess(const std::wstring& temp, DWORD ms) {
    for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < ms; ::Sleep(5)) {
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{sizeof(entry)};
        DWORD found = 0;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
            if (_wcsicmp(entry.szExeFile, L"KorvaneUninstaller.exe") == 0 &&
                _wcsicmp(ImageOf(entry.th32ProcessID).c_str(), (temp + L"\\KorvaneUninstaller.exe").c_str()) == 0)
                found = entry.th32ProcessID;
        ::CloseHandle(snapshot);
        if (found) return found;
    }
    return 0;
}

// Setup's quiet run into `folder` (all users' shortcuts); fails unless it returns 0.
void QuietInstall(const std::wstring& package, const std::wstring& folder) {
    const DWORD code = RunUnseen(L"\"" + package + L"\\Setup.exe\" /quiet /acceptlicense \"/dir=" + folder + L"\"", package,
                                 L"\\Setup.exe");
    if (code != 0) Fail(L"Setup returned " + std::to_wstring(code) + L" for " + folder);
}

void AllGone(const std::wstring& folder, const std::wstring& menu, const wchar_t* after) {
    const auto& f = Folders();
    for (const auto& p : {folder, menu, f.commonDesktop + L"\\Korvane.lnk"})
        if (FileThere(p) || FolderThere(p)) Fail(std::wstring(L"after ") + after + L", left: " + p);
    if (EntryThere()) Fail(std::wstring(L"after ") + after + L", the entry is left");
}

// Removals as administrators meet them: Korvane still running, the copy killed at several
// moments, two installations, a reinstall, two Setups at once. Each one either removes
// everything and returns 0, or returns 1603 and leaves what the same command finishes with.
void RemovalsThatStopShort(const std::wstring& package, const std::wstring& temp) {
    const auto& f = Folders();
    const std::wstring standard = f.programFiles + L"\\Korvane", menu = f.commonPrograms + L"\\Korvane";
    const std::wstring command = L"\"" + standard + L"\\KorvaneUninstaller.exe\" /quiet \"/log=" + temp +
                                 L"\\quiet-e2e-remove.log\"";
    struct Stop {
        const wchar_t* what;
        std::function<bool()> when;  // the moment the copy is killed; nullptr: Korvane runs
        bool entryKept;              // the entry goes first of the last steps
    };
    const Stop stops[] = {
        {L"Korvane running", nullptr, true},
        {L"copy killed early", [] { return true; }, true},
        {L"copy killed during the tree", [&] { return !FileThere(standard + L"\\Beacon.ico"); }, true},
        {L"copy killed at the end", [&] { return !EntryThere(); }, false},
    };
    for (const auto& stop : stops) {
        Step(std::wstring(L"== removal with ") + stop.what);
        QuietInstall(package, standard);
        PROCESS_INFORMATION korvane{};
        if (!stop.when) {
            STARTUPINFOW si{sizeof si};
            std::wstring line = L"\"" + standard + L"\\Korvane.exe\"";
            if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, standard.c_str(), &si,
                                  &korvane))
                Fail(L"cannot start Korvane");
            ::WaitForInputIdle(korvane.hProcess, 10000);
        }
        HANDLE killer = nullptr;
        std::thread kill;
        if (stop.when)
            kill = std::thread([&] {
                const DWORD pid = CopyProcess(temp, 60000);
                for (const DWORD start = ::GetTickCount(); pid && !stop.when() && ::GetTickCount() - start < 30000;)
                    ::Sleep(2);
                if (pid && (killer = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid))) ::TerminateProcess(killer, 0);
            });
        const DWORD code = ThroughBatch(command, temp);
        if (kill.joinable()) kill.join();
        if (killer) ::CloseHandle(killer);
        if (korvane.hProcess) {
            ::TerminateProcess(korvane.hProcess, 0);
            ::WaitForSingleObject(korvane.hProcess, 10000);
            ::CloseHandle(korvane.hProcess);
            ::CloseHandle(korvane.hThread);
        }
        Step(L"the uninstaller returned " + std::to_wstring(code));
        if (code != 0 && code != 1603) Fail(L"an exit code that is neither 0 nor 1603");
        if (!stop.when && code != 1603) Fail(L"a removal with Korvane running returned 0");
        if (code == 0) {
            AllGone(standard, menu, stop.what);
            continue;
        }
        // What the same command needs is all there: uninstaller and log; the entry and
        // "Uninstall Korvane" too unless the copy had begun the last steps (they go first).
        for (const auto& p : {standard + L"\\KorvaneUninstaller.exe", standard + L"\\KORVANE-InstallLog.txt"})
            if (!FileThere(p)) Fail(L"gone after a removal that stopped short: " + p);
        if (stop.entryKept && !FileThere(menu + L"\\Uninstall Korvane.lnk"))
            Fail(L"\"Uninstall Korvane\" is gone after a removal that stopped short");
        if (stop.entryKept && EntryText(L"InstallLocation") != standard) Fail(L"the entry is gone after a removal that stopped short");
        if (ReadText(temp + L"\\quiet-e2e-remove.log").find("Run the same command again") == std::string::npos)
            Fail(L"the log does not say the same command finishes the removal");
        // The same command (the entry's, while there is one) finishes the removal.
        const DWORD again = ThroughBatch(stop.entryKept ? EntryText(L"QuietUninstallString") : command, temp);
        if (again != 0) Fail(L"the same command returned " + std::to_wstring(again));
        AllGone(standard, menu, stop.what);
        Step(L"the same command finished it");
    }
    Step(L"== two installations, a reinstall with Korvane's data files");
    QuietInstall(package, standard);
    WriteText(standard + L"\\KVU.txt", "accounts");
    WriteText(standard + L"\\KVL.txt", "actions");
    QuietInstall(package, standard);
    if (ReadText(standard + L"\\KVU.txt") != "accounts" || ReadText(standard + L"\\KVL.txt") != "actions")
        Fail(L"the reinstall changed KVU.txt or KVL.txt");
    QuietInstall(package, kOther);  // its shortcuts replace the first one's
    if (ThroughBatch(command, temp) != 0) Fail(L"removing the first installation failed");
    if (FolderThere(standard)) Fail(L"the first installation is left");
    for (const auto& p : {menu + L"\\Korvane.lnk", menu + L"\\Uninstall Korvane.lnk", f.commonDesktop + L"\\Korvane.lnk"})
        if (!FileThere(p)) Fail(L"the other installation's shortcut was deleted: " + p);
    if (EntryText(L"InstallLocation") != kOther) Fail(L"the other installation's entry was deleted");
    if (ThroughBatch(EntryText(L"QuietUninstallString"), temp) != 0) Fail(L"removing the second installation failed");
    // The second Setup found the Start Menu folder there and did not list it: it stays, empty.
    AllGone(kOther, menu + L"\\Korvane.lnk", L"removing both");
    if (!::RemoveDirectoryW(menu.c_str())) Fail(L"the Start Menu folder is not empty: " + menu);
    if (FolderThere(L"C:\\Quiet Apps")) Fail(L"C:\\Quiet Apps is left");
    Step(L"each removal took its own installation and left the other's shortcuts and entry");

    Step(L"== two quiet Setups started together");
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION setups[2]{};
    for (int i = 0; i < 2; ++i) {
        std::wstring line = L"\"" + package + L"\\Setup.exe\" /quiet /acceptlicense \"/log=" + temp + L"\\quiet-e2e-two-" +
                            std::to_wstring(i) + L".log\"";
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, package.c_str(), &si, &setups[i]))
            Fail(L"cannot start Setup");
    }
    DWORD codes[2] = {1, 1};
    for (int i = 0; i < 2; ++i) {
        ::WaitForSingleObject(setups[i].hProcess, 180000);
        ::GetExitCodeProcess(setups[i].hProcess, &codes[i]);
        ::CloseHandle(setups[i].hProcess);
        ::CloseHandle(setups[i].hThread);
    }
    const int second = codes[0] == 0 ? 1 : 0;
    if (codes[1 - second] != 0 || codes[second] != 1603 ||
        LogOf(temp + L"\\quiet-e2e-two-" + std::to_wstring(second) + L".log").find(L"Another Setup") == std::wstring::npos)
        Fail(L"two Setups returned " + std::to_wstring(codes[0]) + L" and " + std::to_wstring(codes[1]));
    Step(L"one installed, the other returned 1603 and said why");
    if (ThroughBatch(EntryText(L"QuietUninstallString"), temp) != 0) Fail(L"removing after two Setups failed");
    AllGone(standard, menu, L"two Setups");
    Step(L"one uninstall removed everything");
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 3) Fail(L"usage: quiet_e2e <package folder> <package without Skull.ico>");
    const std::wstring package = argv[1], broken = argv[2];
    for (const auto& p : {package, broken})
        if (!FileThere(p + L"\\Setup.exe") || !FileThere(p + L"\\Support\\Korvane.exe")) Fail(L"no package in " + p);
    if (FileThere(broken + L"\\Support\\Skull.ico")) Fail(L"the broken package still has Skull.ico");

    auto& f = Folders();
    f.programFiles = ShellPath(CSIDL_PROGRAM_FILES);
    f.commonPrograms = ShellPath(CSIDL_COMMON_PROGRAMS);
    f.programs = ShellPath(CSIDL_PROGRAMS);
    f.commonDesktop = ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    f.desktop = ShellPath(CSIDL_DESKTOPDIRECTORY);
    const std::wstring standard = f.programFiles + L"\\Korvane";
    Clear();
    std::atexit(Clear);  // a failure leaves no installation for the next test either

    const Case cases[] = {
        {L"defaults", L"/quiet /acceptlicense", false, 0, standard, Place::AllUsers, Place::AllUsers,
         L"Installation Complete"},
        {L"another folder, this user's shortcuts",
         L"/QUIET /AcceptLicense \"/dir=C:\\Quiet Apps\\Korvane\" /startmenu=thisuser /Desktop=ThisUser", false, 0,
         kOther, Place::ThisUser, Place::ThisUser, L"Installation Complete"},
        {L"no shortcuts, the folder with a last backslash",
         L"-quiet -acceptlicense /dir:\"C:\\Quiet Apps\\Korvane\\\" /startmenu=none /desktop=none", false, 0, kOther,
         Place::None, Place::None, L"Installation Complete"},
        {L"a package without Skull.ico", L"/quiet /acceptlicense /startmenu=none /desktop=none", true, 1603, standard,
         Place::None, Place::None, standard + L"\\Skull.ico"},
        {L"a refused folder", L"/quiet /acceptlicense \"/dir=C:\\Quiet Apps \\Korvane\"", false, 1603, L"",
         Place::None, Place::None, L"C:\\Quiet Apps \\Korvane"},
        {L"a user profile's folder", L"/quiet /acceptlicense /dir=C:\\users", false, 1603, L"", Place::None,
         Place::None, L"it is a user profile"},
        {L"a folder too long to uninstall from", L"/quiet /acceptlicense \"/dir=C:\\Quiet Apps\\" + std::wstring(214, L'x') +
         L"\\Korvane\"", false, 1603, L"", Place::None, Place::None, L"at most 235 characters"},
        {L"no /acceptlicense", L"/quiet \"/dir=C:\\Quiet Apps\\Korvane\"", false, 1603, L"", Place::None, Place::None,
         L"/acceptlicense"},
        {L"an unknown switch", L"/quiet /acceptlicense /silent", false, 87, L"", Place::None, Place::None,
         L"/silent"},
    };
    const std::wstring temp = TempFolder();
    int n = 0;
    for (const Case& c : cases) {
        Step(std::wstring(L"== ") + c.what);
        const std::wstring from = c.brokenPackage ? broken : package;
        const std::wstring log = temp + L"\\quiet-e2e-" + std::to_wstring(++n) + L".log";
        ::DeleteFileW(log.c_str());
        // The folders that are new, so the install log must list them: the installation
        // folder's levels, then the Start Menu folder.
        std::vector<std::wstring> created;
        if (!c.folder.empty())
            for (std::wstring level = c.folder; level.size() > 3 && !FolderThere(level);
                 level = level.substr(0, level.rfind(L'\\')))
                created.insert(created.begin(), level);
        const std::wstring menu = (c.startMenu == Place::AllUsers ? f.commonPrograms : f.programs) + L"\\Korvane";
        if (!c.folder.empty() && c.startMenu != Place::None && !FolderThere(menu)) created.push_back(menu);

        const DWORD code = RunUnseen(L"\"" + from + L"\\Setup.exe\" " + c.switches + L" \"/log=" + log + L"\"", from,
                                     L"\\Setup.exe");
        const std::wstring said = LogOf(log);
        if (code != c.code) Fail(L"Setup returned " + std::to_wstring(code) + L"; its log:\n" + said);
        if (said.find(c.logSays) == std::wstring::npos) Fail(L"the log does not say " + c.logSays + L":\n" + said);
        if (c.code == 87 && said.find(L"/startmenu=allusers|thisuser|none") == std::wstring::npos)
            Fail(L"the log of a bad switch has no usage:\n" + said);
        Step(L"Setup returned " + std::to_wstring(code) + L" and showed no window");
        if (ProgramRunning(L"Korvane.exe")) Fail(L"Korvane was started");

        if (c.folder.empty()) {
            if (FolderThere(L"C:\\Quiet Apps") || FolderThere(L"C:\\Quiet Apps ") || FolderThere(standard) ||
                EntryThere())
                Fail(L"something was installed");
            Step(L"nothing was installed");
            continue;
        }

        // The installation.
        std::vector<std::wstring> expected = {L"INSTALLPATH=" + c.folder};
        for (const wchar_t* name : {L"Korvane.exe", L"Beacon.ico", L"KorvaneUninstaller.exe", L"Skull.ico"}) {
            expected.push_back(c.folder + L"\\" + name);
            const bool missing = c.brokenPackage && std::wstring(name) == L"Skull.ico";
            if (missing ? FileThere(expected.back())
                        : ReadText(expected.back()) != ReadText(from + L"\\Support\\" + name))
                Fail(L"not installed as packaged: " + expected.back() + L"; Setup's log:\n" + said);
        }
        std::vector<std::wstring> shortcuts;
        if (c.startMenu != Place::None) shortcuts = {menu + L"\\Korvane.lnk", menu + L"\\Uninstall Korvane.lnk"};
        if (c.desktop != Place::None)
            shortcuts.push_back((c.desktop == Place::AllUsers ? f.commonDesktop : f.desktop) + L"\\Korvane.lnk");
        for (const auto& s : shortcuts)
            if (!FileThere(s)) Fail(L"no shortcut " + s);
        expected.insert(expected.end(), shortcuts.begin(), shortcuts.end());
        expected.insert(expected.end(), created.begin(), created.end());
        const std::wstring installLog = c.folder + L"\\KORVANE-InstallLog.txt";
        if (InstallLogLines(installLog) != expected) {
            for (const auto& l : InstallLogLines(installLog)) Step(L"install log: " + l);
            Fail(L"the install log differs from what was installed");
        }
        const std::wstring quietUninstall = EntryText(L"QuietUninstallString");
        if (EntryText(L"DisplayName") != L"Korvane" || EntryText(L"InstallLocation") != c.folder ||
            quietUninstall != L"\"" + c.folder + L"\\KorvaneUninstaller.exe\" /quiet")
            Fail(L"the installed-programs entry is missing or wrong: " + quietUninstall);
        Step(L"files, shortcuts, install log and entry as chosen; QuietUninstallString " + quietUninstall);

        // The removal, as the deployment tool runs it: done when the command returns.
        const DWORD removed = RunUnseen(quietUninstall, temp, L"\\KorvaneUninstaller.exe");
        if (removed != 0) Fail(L"the quiet uninstall returned " + std::to_wstring(removed));
        std::vector<std::wstring> left;
        for (const auto& item : expected)
            if (item.rfind(L"INSTALLPATH=", 0) != 0 && (FileThere(item) || FolderThere(item))) left.push_back(item);
        if (FolderThere(L"C:\\Quiet Apps")) left.push_back(L"C:\\Quiet Apps");
        if (EntryThere()) left.push_back(L"the installed-programs entry");
        for (const auto& l : left) Step(L"left: " + l);
        if (!left.empty()) Fail(L"the quiet uninstall returned before everything was gone");
        Step(L"the quiet uninstall returned 0 with everything gone, and showed no window");
    }
    RemovalsThatStopShort(package, temp);
    std::fwprintf(stdout, L"PASS\n");
    return 0;
}
