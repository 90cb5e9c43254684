// End to end, as a person would: an installation of Korvane (the one the real Setup.exe
// made when one is there, else laid out here exactly as Setup lays it out: program
// files, data files, shortcuts, the install log and the installed-programs entry), then
// the real installed KorvaneUninstaller.exe: Continue, Yes, OK. Checks that everything
// the install log listed is gone, the entry is gone, the copy in the temporary folder,
// its log and killmyself.bat vanish within a few seconds, and nothing else changed.
//
//   uninstall_e2e <KorvaneUninstaller.exe> [<installation folder>]
// The installation folder is "Korvane" in the program files folder unless given.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <objbase.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e_windows.h"

namespace {

using namespace e2e;


void MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& icon,
                  const std::wstring& description, const std::wstring& workDir) {
    IShellLinkW* shell = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shell))))
        Fail(L"no shell link object");
    shell->SetDescription(description.c_str());
    shell->SetIconLocation(icon.c_str(), 0);
    shell->SetPath(target.c_str());
    shell->SetShowCmd(SW_SHOWNORMAL);
    shell->SetWorkingDirectory(workDir.c_str());
    IPersistFile* file = nullptr;
    shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (!file || FAILED(file->Save(link.c_str(), TRUE))) Fail(L"cannot save " + link);
    file->Release();
    shell->Release();
}

// Every file and folder below the roots, with size and write time, to find what changed.
void Snapshot(const std::wstring& folder, std::map<std::wstring, std::wstring>& out, bool deep = true) {
    WIN32_FIND_DATAW d{};
    HANDLE f = ::FindFirstFileW((folder + L"\\*").c_str(), &d);
    if (f == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring n = d.cFileName;
        if (n == L"." || n == L"..") continue;
        const std::wstring p = folder + L"\\" + n;
        std::wstring key = p;
        std::transform(key.begin(), key.end(), key.begin(), ::towupper);
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[key] = L"<dir>";
            if (deep && !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Snapshot(p, out);
        } else {
            out[key] = std::to_wstring(d.nFileSizeLow) + L"@" + std::to_wstring(d.ftLastWriteTime.dwLowDateTime);
        }
    } while (::FindNextFileW(f, &d));
    ::FindClose(f);
}

HWND WaitForMessage(const std::wstring& startsWith) {
    HWND box = WaitFor(
        L"the message \"" + startsWith + L"\"", [](HWND w) { return IsMessageBox(w, L"KorvaneUninstaller"); }, 30000);
    const std::wstring text = MessageText(box);
    if (text.rfind(startsWith, 0) != 0) Fail(L"message box says: " + text);
    Step(L"message: " + text.substr(0, text.find(L'\r')));
    return box;
}

bool WaitGone(const std::vector<std::wstring>& paths, DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        if (std::none_of(paths.begin(), paths.end(), [](const std::wstring& p) { return FileThere(p) || FolderThere(p); }))
            return true;
        ::Sleep(100);
    }
    return false;
}

// Closes the windows of a running program file (message boxes first shown, then its
// windows), as its user would before uninstalling, until none is left.
void CloseProgram(const std::wstring& exe) {
    struct Found {
        std::wstring exe;
        std::vector<HWND> windows;
    };
    bool closed = false;
    for (int round = 0; round < 40; ++round) {
        Found found{exe, {}};
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* f = reinterpret_cast<Found*>(p);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (!::IsWindowVisible(w)) return TRUE;
                HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
                if (!h) return TRUE;
                wchar_t image[MAX_PATH * 2] = {};
                DWORD n = MAX_PATH * 2;
                if (::QueryFullProcessImageNameW(h, 0, image, &n) && lstrcmpiW(image, f->exe.c_str()) == 0)
                    f->windows.push_back(w);
                ::CloseHandle(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found.windows.empty()) break;
        for (HWND w : found.windows) ::PostMessageW(w, WM_CLOSE, 0, 0);
        closed = true;
        ::Sleep(500);
    }
    if (closed) {
        ::Sleep(1000);  // the process ends after its last window
        Step(L"closed the running " + exe);
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 2) Fail(L"usage: uninstall_e2e <KorvaneUninstaller.exe> [shortcut|entry|program [<installed folder>]]");
    const std::wstring via = argc >= 3 ? argv[2] : L"program";
    ::CoInitialize(nullptr);
    const std::wstring temp = TempFolder();
    const std::wstring commonPrograms = ShellPath(CSIDL_COMMON_PROGRAMS, CSIDL_FLAG_CREATE);
    const std::wstring desktop = ShellPath(CSIDL_DESKTOPDIRECTORY, CSIDL_FLAG_CREATE);
    const std::wstring programFiles = ShellPath(CSIDL_PROGRAM_FILES, CSIDL_FLAG_CREATE);
    std::wstring install = argc >= 4 ? argv[3] : programFiles + L"\\Korvane";
    // An installation that the real Setup.exe made (the Setup test leaves one) is taken as
    // it is; otherwise one is laid out here.
    const bool bySetup = FileThere(install + L"\\KORVANE-InstallLog.txt") && FileThere(install + L"\\KorvaneUninstaller.exe");
    if (via != L"program" && !bySetup) Fail(L"uninstalling through the " + via + L" needs Setup's installation");
    if (bySetup) {
        Step(L"installation made by Setup.exe in " + install);
        CloseProgram(install + L"\\Korvane.exe");  // Setup starts it when it finishes
    }

    if (!bySetup) {
        // Laid out as Setup does it: folder, program files, shortcuts, log, entry.
        if (FolderThere(install)) Fail(install + L" exists already");
        ::CreateDirectoryW(install.c_str(), nullptr);
        const std::wstring menu = commonPrograms + L"\\Korvane";
        const bool menuCreated = !FolderThere(menu);
        ::CreateDirectoryW(menu.c_str(), nullptr);
        if (!::CopyFileW(argv[1], (install + L"\\KorvaneUninstaller.exe").c_str(), FALSE)) Fail(L"copy uninstaller");
        WriteText(install + L"\\Korvane.exe", "MZ stand-in for the program");
        WriteText(install + L"\\Beacon.ico", "icon");
        WriteText(install + L"\\Skull.ico", "icon");
        MakeShortcut(menu + L"\\Korvane.lnk", install + L"\\Korvane.exe", install + L"\\Beacon.ico", L"Korvane", install);
        MakeShortcut(menu + L"\\Uninstall Korvane.lnk", install + L"\\KorvaneUninstaller.exe", install + L"\\Skull.ico",
                     L"Uninstaller", install);
        MakeShortcut(desktop + L"\\Korvane.lnk", install + L"\\Korvane.exe", install + L"\\Beacon.ico", L"Korvane",
                     install);
        std::wstring log = L"INSTALLPATH=" + install + L"\r\n";
        for (const wchar_t* n : {L"Korvane.exe", L"Beacon.ico", L"KorvaneUninstaller.exe", L"Skull.ico"})
            log += install + L"\\" + n + L"\r\n";
        log += menu + L"\\Korvane.lnk\r\n" + menu + L"\\Uninstall Korvane.lnk\r\n" + desktop + L"\\Korvane.lnk\r\n";
        log += install + L"\r\n";  // created by Setup
        if (menuCreated) log += menu + L"\r\n";
        WriteText(install + L"\\KORVANE-InstallLog.txt", Ansi(log));
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEntry, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            Fail(L"cannot write the installed-programs entry");
        const std::wstring name = L"Korvane", uninstall = install + L"\\KorvaneUninstaller.exe";
        ::RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                         static_cast<DWORD>((name.size() + 1) * 2));
        ::RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(uninstall.c_str()),
                         static_cast<DWORD>((uninstall.size() + 1) * 2));
        ::RegCloseKey(key);
        Step(L"installation laid out in " + install);
    }
    // What Korvane's users keep beside it goes with the folder.
    WriteText(install + L"\\KVU.txt", "users\r\n");
    WriteText(install + L"\\KVL.txt", "log\r\n");

    // The install log as Setup wrote it: everything it lists must go.
    std::vector<std::wstring> listed;
    {
        std::string text = ReadText(install + L"\\KORVANE-InstallLog.txt");
        if (text.empty()) Fail(L"no install log in " + install);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos) end = text.size();
            std::wstring line = Wide(text.substr(start, end - start));
            if (line.rfind(L"INSTALLPATH=", 0) == 0) line = line.substr(12);
            if (!line.empty()) listed.push_back(line);
            start = end + 2;
        }
        Step(L"install log lists " + std::to_wstring(listed.size()) + L" items");
    }
    if (!EntryThere()) {
        if (!bySetup) Fail(L"no installed-programs entry before uninstalling");
        Step(L"note: Setup wrote no installed-programs entry");
    }

    // Everything else in the places the uninstaller works in, to prove it stays.
    // A desktop may be a user's whole home folder (Wine links it there, together with the
    // documents folder): the desktops' top level only.
    const std::vector<std::wstring> deepRoots{programFiles, commonPrograms, ShellPath(CSIDL_PROGRAMS, CSIDL_FLAG_CREATE), temp};
    const std::vector<std::wstring> flatRoots{desktop, ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_FLAG_CREATE)};
    auto snapshot = [&] {
        std::map<std::wstring, std::wstring> s;
        for (const auto& r : deepRoots) Snapshot(r, s);
        for (const auto& r : flatRoots) Snapshot(r, s, false);
        return s;
    };
    const std::map<std::wstring, std::wstring> before = snapshot();

    const std::wstring copy = temp + L"\\KorvaneUninstaller.exe", copyLog = temp + L"\\KORVANE-InstallLog.txt",
                       batch = temp + L"\\killmyself.bat";
    for (const auto& p : {copy, copyLog, batch}) ::DeleteFileW(p.c_str());

    // Started the way people start it: the Start Menu's "Uninstall Korvane" shortcut opened
    // through the shell (its working folder is the installation folder), the entry's
    // UninstallString run as the installed-programs list runs it, or the program file itself.
    const std::wstring installedExe = install + L"\\KorvaneUninstaller.exe";
    HANDLE first = nullptr;
    if (via == L"shortcut") {
        const std::wstring link = commonPrograms + L"\\Korvane\\Uninstall Korvane.lnk";
        if (!FileThere(link)) Fail(L"no shortcut " + link);
        SHELLEXECUTEINFOW run{sizeof(run)};
        run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        run.lpFile = link.c_str();
        run.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&run)) Fail(L"the shell cannot open " + link);
        first = run.hProcess;
        Step(L"opened " + link + L" through the shell");
    } else if (via == L"entry") {
        std::wstring command = EntryText(L"UninstallString");
        if (command.empty()) Fail(L"the entry has no UninstallString");
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, install.c_str(), &si, &pi))
            Fail(L"cannot run the UninstallString " + command);
        ::CloseHandle(pi.hThread);
        first = pi.hProcess;
        Step(L"ran the entry's UninstallString " + command + L" in " + install);
    } else {
        SHELLEXECUTEINFOW run{sizeof(run)};
        run.fMask = SEE_MASK_NOCLOSEPROCESS;
        run.lpFile = installedExe.c_str();
        run.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&run) || !run.hProcess) Fail(L"cannot start " + installedExe);
        first = run.hProcess;
    }
    if (first) {
        if (::WaitForSingleObject(first, 30000) != WAIT_OBJECT_0) Fail(L"the installed uninstaller did not end");
        ::CloseHandle(first);
        Step(L"the installed uninstaller started its copy and ended");
    }

    HWND form = WaitFor(
        L"the copy's window",
        [](HWND w) {
            if (TextOf(w) != L"Uninstall...") return false;
            for (HWND c : Children(w))
                if (ClassOf(c) == L"Button" && TextOf(c) == L"Continue" && ::IsWindowEnabled(c)) return true;
            return false;
        },
        30000);
    if (!FileThere(copy) || !FileThere(copyLog)) Fail(L"no copy in " + temp);
    Step(L"the copy waits: Continue");
    ::PostMessageW(Button(form, L"Continue"), BM_CLICK, 0, 0);
    AnswerBox(WaitForMessage(L"Are you sure you want to uninstall Korvane?"), IDYES);
    HWND done = WaitForMessage(L"Korvane was successfully uninstalled.\r\rYou may need to restart your computer");
    if (MessageText(done) !=
        L"Korvane was successfully uninstalled.\r\rYou may need to restart your computer before all changes take effect.")
        Fail(L"success message differs");
    AnswerBox(done, IDOK);

    if (!WaitGone({copy, copyLog, batch}, 8000)) Fail(L"the copy, its log or killmyself.bat is still in " + temp);
    Step(L"the copy, its log and killmyself.bat are gone");
    for (const auto& item : listed)
        if (FileThere(item) || FolderThere(item)) Fail(L"still there: " + item);
    if (FolderThere(install)) Fail(L"installation folder still there");
    Step(L"everything the install log listed is gone, with KVU.txt and KVL.txt");
    if (EntryThere()) Fail(L"the installed-programs entry is still there");
    Step(L"the installed-programs entry is gone");

    const std::map<std::wstring, std::wstring> after = snapshot();
    auto upper = [](std::wstring s) {
        std::transform(s.begin(), s.end(), s.begin(), ::towupper);
        return s;
    };
    std::set<std::wstring> expectedGone;
    for (const auto& item : listed) expectedGone.insert(upper(item));
    const std::wstring installKey = upper(install);
    for (const auto& [path, stamp] : before) {
        const bool inInstall = path == installKey || path.rfind(installKey + L"\\", 0) == 0;
        // The copy's own files in the temporary folder are the uninstaller's to replace and
        // remove (an earlier removal that was stopped may have left them).
        const bool own = path == upper(copy) || path == upper(copyLog) || path == upper(batch);
        if (expectedGone.count(path) || inInstall || own) continue;
        auto it = after.find(path);
        if (it == after.end()) Fail(L"removed but not listed: " + path);
        if (it->second != stamp && stamp != L"<dir>") Fail(L"changed: " + path);
    }
    for (const auto& [path, stamp] : after)
        if (!before.count(path)) Fail(L"left behind: " + path);
    Step(L"nothing else was touched");
    std::fwprintf(stdout, L"PASS\n");
    return 0;
}
