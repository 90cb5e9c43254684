// End to end, as a person installs Korvane: the real Setup.exe started from the package,
// the licence ticked, Continue on each page with the default folder, the completion window
// closing by itself, and Korvane's first-run welcome and log-in window coming up from the
// installed folder, started by the desktop's shell (with the user's rights, not Setup's). Checks the installed files, the shortcuts, the install log and the
// installed-programs entry. Leaves the installation (and Korvane at its log-in window) for
// the uninstall driver.
//
//   setup_e2e <package folder>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "e2e_windows.h"

namespace {

using namespace e2e;


DWORD ParentOf(DWORD pid) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{sizeof(entry)};
    DWORD parent = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == pid) parent = entry.th32ParentProcessID;
    ::CloseHandle(snapshot);
    return parent;
}

// Ends the processes of a program file that show a window (an installed Korvane an earlier
// run left at its log-in window).
void EndProgram(const std::wstring& exe) {
    for (int round = 0; round < 20; ++round) {
        std::vector<DWORD> pids;
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                reinterpret_cast<std::vector<DWORD>*>(p)->push_back(pid);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&pids));
        bool any = false;
        for (DWORD pid : pids) {
            if (_wcsicmp(ImageOf(pid).c_str(), exe.c_str()) != 0) continue;
            HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
            if (!h) continue;
            ::TerminateProcess(h, 1);
            ::WaitForSingleObject(h, 5000);
            ::CloseHandle(h);
            any = true;
        }
        if (!any) return;
    }
}

// A top-level window of this caption that holds a child of this class and text.
HWND PageWith(const std::wstring& caption, const std::wstring& cls, const std::wstring& text, DWORD ms = 30000) {
    return WaitFor(
        L"\"" + caption + L"\" with \"" + text + L"\"",
        [&](HWND w) {
            if (TextOf(w) != caption) return false;
            for (HWND c : Children(w))
                if (SameClass(c, cls) && TextOf(c) == text && ::IsWindowVisible(c)) return true;
            return false;
        },
        ms);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 2) Fail(L"usage: setup_e2e <package folder>");
    const std::wstring package = argv[1];
    const std::wstring setup = package + L"\\Setup.exe";
    if (!FileThere(setup) || !FileThere(package + L"\\Support\\Korvane.exe")) Fail(L"no package in " + package);

    const std::wstring programFiles = ShellPath(CSIDL_PROGRAM_FILES);
    const std::wstring install = programFiles + L"\\Korvane";
    const std::wstring menu = ShellPath(CSIDL_COMMON_PROGRAMS) + L"\\Korvane";
    const std::wstring desktop = ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::wstring system = ShellPath(CSIDL_SYSTEM);
    // A computer without Korvane: what an earlier failed run may have left goes first.
    EndProgram(install + L"\\Korvane.exe");
    RemoveTree(install);
    RemoveTree(menu);
    ::DeleteFileW((desktop + L"\\Korvane.lnk").c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEntry);
    if (FolderThere(install)) Fail(install + L" could not be cleared");

    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + setup + L"\"";
    if (!::CreateProcessW(setup.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, package.c_str(), &si, &pi))
        Fail(L"cannot start Setup.exe");
    Watched().pid = pi.dwProcessId;
    Watched().process = pi.hProcess;
    ::CloseHandle(pi.hThread);
    Step(L"started " + setup);

    HWND licence = WaitFor(L"the licence", [](HWND w) { return TextOf(w) == L"End-User License"; });
    HWND cont = Button(licence, L"Continue >");
    if (::IsWindowVisible(cont)) Fail(L"Continue is visible before the licence is accepted");
    ::PostMessageW(Button(licence, L"I have read and accept all parts of the license agreement."), BM_CLICK, 0, 0);
    const DWORD start = ::GetTickCount();
    while (!::IsWindowVisible(cont) && ::GetTickCount() - start < 5000) ::Sleep(50);
    if (!::IsWindowVisible(cont)) Fail(L"Continue did not appear when the licence was accepted");
    Step(L"licence accepted: Continue");
    Press(licence, cont);

    HWND first = PageWith(L"Oranvel Installer", L"Static", L"You are about to install Korvane");
    Step(L"welcome page: Continue");
    Press(first, Button(first, L"Continue >"));

    HWND second = PageWith(L"Oranvel Installer", L"Button", L"Installation Folder");
    ::Sleep(300);
    const std::wstring folder = TextOf(Child(second, L"Edit"));
    if (folder != install) Fail(L"the default folder is " + folder + L", not " + install);
    Step(L"options page shows " + folder + L": Continue");
    Press(second, Button(second, L"Continue >"));

    PageWith(L"Oranvel Installer", L"Button", L"Progress");
    Step(L"progress page");
    HWND complete = WaitFor(
        L"the completion window", [](HWND w) { return TextOf(w) == L"Complete..."; }, 60000);
    Step(L"completion window");
    if (!WaitClosed(complete, 10000)) Fail(L"the completion window did not close by itself");
    if (::WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) Fail(L"Setup did not end");
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    Watched() = {};
    ::CloseHandle(pi.hProcess);
    Step(L"the completion window closed itself and Setup ended");

    // Korvane comes up from the installed folder: its first-run welcome, then the log-in.
    HWND welcome = WaitFor(
        L"Korvane's welcome",
        [](HWND w) { return IsMessageBox(w, L"Korvane") && MessageText(w).rfind(L"Welcome to Korvane.", 0) == 0; },
        30000);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(welcome, &pid);
    const std::wstring image = ImageOf(pid);
    if (_wcsicmp(image.c_str(), (install + L"\\Korvane.exe").c_str()) != 0)
        Fail(L"the welcome comes from " + image + L", not the installed program");
    // Started by the desktop's shell, so it runs with the user's own rights, not Setup's.
    const std::wstring parent = ImageOf(ParentOf(pid));
    if (parent.size() < 12 || _wcsicmp(parent.c_str() + parent.size() - 12, L"explorer.exe") != 0)
        Fail(L"Korvane was started by " + (parent.empty() ? std::wstring(L"a process that has ended") : parent) +
             L", not by the desktop's shell");
    Step(L"Korvane was started by the desktop's shell: " + parent);
    Step(L"the installed Korvane.exe says: " + Flat(MessageText(welcome)));
    AnswerBox(welcome, IDOK);
    WaitFor(L"the log-in window", [](HWND w) { return TextOf(w) == L"Log-In"; });
    if (!FileThere(install + L"\\KVU.txt")) Fail(L"Korvane could not create its accounts beside itself");
    Step(L"Korvane's log-in window is up; KVU.txt is in " + install);

    for (const wchar_t* name : {L"Korvane.exe", L"Beacon.ico", L"KorvaneUninstaller.exe", L"Skull.ico"})
        if (ReadText(install + L"\\" + name) != ReadText(package + L"\\Support\\" + name))
            Fail(std::wstring(L"not installed as packaged: ") + name);
    for (const wchar_t* name : {L"MSINET.ocx", L"RICHTX32.ocx", L"COMDLG32.OCX"})
        if (!FileThere(system + L"\\" + name)) Fail(std::wstring(L"no ") + name + L" in the system folder");
    const std::vector<std::wstring> expected = {L"INSTALLPATH=" + install,
                                                install + L"\\Korvane.exe",
                                                install + L"\\Beacon.ico",
                                                install + L"\\KorvaneUninstaller.exe",
                                                install + L"\\Skull.ico",
                                                menu + L"\\Korvane.lnk",
                                                menu + L"\\Uninstall Korvane.lnk",
                                                desktop + L"\\Korvane.lnk",
                                                install,
                                                menu};
    const auto lines = InstallLogLines(install + L"\\KORVANE-InstallLog.txt");
    if (lines != expected) {
        for (const auto& l : lines) Step(L"log: " + l);
        Fail(L"the install log differs from the expected ten lines");
    }
    for (size_t i = 5; i < 8; ++i)
        if (!FileThere(expected[i])) Fail(L"no shortcut " + expected[i]);
    Step(L"files, components, shortcuts and the install log are as expected");
    if (EntryText(L"DisplayName") != L"Korvane" ||
        EntryText(L"UninstallString") != L"\"" + install + L"\\KorvaneUninstaller.exe\"")
        Fail(L"the installed-programs entry is missing or wrong");
    Step(L"listed among the installed programs");
    std::fwprintf(stdout, L"PASS\n");
    return 0;
}
