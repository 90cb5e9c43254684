// What every end-to-end driver needs to drive a real program's windows as a person would:
// report steps and failures, find windows and their controls, read their texts, press
// buttons, answer message boxes, type keys, and look at files. Header only: each driver is
// one console program built from its own .cpp (see cmake/windows.cmake).
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The program under test. When `pid` is set only its windows are looked at; when `process`
// is set a failure ends it, so that a failed run leaves nothing behind.
struct Watch {
    DWORD pid = 0;
    HANDLE process = nullptr;
};
inline Watch& Watched() {
    static Watch w;
    return w;
}

[[noreturn]] inline void Fail(const std::wstring& what) {
    std::fwprintf(stdout, L"FAIL: %ls\n", what.c_str());
    std::fflush(stdout);
    if (Watched().process) ::TerminateProcess(Watched().process, 1);
    std::exit(1);
}

inline void Step(const std::wstring& what) {
    std::fwprintf(stdout, L"ok: %ls\n", what.c_str());
    std::fflush(stdout);
}

// ---- Windows -------------------------------------------------------------------------

// A window's text as the window itself answers it (an edit box's contents, a custom
// control's text), asked across the process boundary; a window that does not answer within
// two seconds gives its stored caption instead of stalling the driver.
inline std::wstring TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        wchar_t caption[4096] = {};
        ::GetWindowTextW(hwnd, caption, 4096);
        return caption;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                               2000, &got))
        return {};
    text.resize(std::wcslen(text.c_str()));
    return text;
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

inline bool SameClass(HWND hwnd, const std::wstring& cls) { return _wcsicmp(ClassOf(hwnd).c_str(), cls.c_str()) == 0; }

// Visible top-level windows, only the watched program's when one is watched.
inline std::vector<HWND> VisibleTopWindows() {
    std::vector<HWND> found;
    ::EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if ((Watched().pid == 0 || pid == Watched().pid) && ::IsWindowVisible(w))
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Every descendant of a window.
inline std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    ::EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The first visible top-level window that matches, or a failure after `ms`.
inline HWND WaitFor(const std::wstring& what, const std::function<bool(HWND)>& match, DWORD ms = 20000) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        for (HWND w : VisibleTopWindows())
            if (match(w)) return w;
        ::Sleep(50);
    }
    Fail(L"timed out waiting for " + what);
}

// Waits until a window is destroyed or hidden; false if it is still shown after `ms`.
inline bool WaitClosed(HWND hwnd, DWORD ms = 10000) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(hwnd) && ::IsWindowVisible(hwnd)) {
        if (::GetTickCount() - start >= ms) return false;
        ::Sleep(30);
    }
    return true;
}

// The first child of this class (and this text, when given).
inline HWND Child(HWND parent, const std::wstring& cls, const std::wstring* text = nullptr) {
    for (HWND c : Children(parent))
        if (SameClass(c, cls) && (!text || TextOf(c) == *text)) return c;
    Fail(L"no " + cls + (text ? L" \"" + *text + L"\"" : std::wstring()) + L" in window \"" + TextOf(parent) + L"\"");
}
inline HWND Child(HWND parent, const std::wstring& cls, const std::wstring& text) { return Child(parent, cls, &text); }

inline HWND Button(HWND parent, const std::wstring& caption) { return Child(parent, L"Button", caption); }

// A button pressed the way its parent learns of a click.
inline void Press(HWND parent, HWND button) {
    ::PostMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
}

// ---- Message boxes -------------------------------------------------------------------

// A message box of this program (its title is the program's title).
inline bool IsMessageBox(HWND w, const std::wstring& title) { return ClassOf(w) == L"#32770" && TextOf(w) == title; }

// The message of a message box: its longest static text.
inline std::wstring MessageText(HWND box) {
    std::wstring best;
    for (HWND c : Children(box))
        if (SameClass(c, L"Static")) {
            std::wstring t = TextOf(c);
            if (t.size() > best.size()) best = t;
        }
    return best;
}

// Line ends shown as '|', for comparing and printing messages.
inline std::wstring Flat(std::wstring text) {
    for (auto& c : text)
        if (c == L'\r' || c == L'\n') c = L'|';
    return text;
}

// Presses the box's button `id` (IDOK, IDYES, ...) and waits for the box to go.
inline void AnswerBox(HWND box, int id) {
    HWND button = ::GetDlgItem(box, id);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    if (!WaitClosed(box)) Fail(L"the message box \"" + Flat(MessageText(box)) + L"\" stayed open");
}

// Waits for a message box of the program titled `title` with exactly this text (lines
// compared as Flat shows them) and answers it with the button `id`.
inline void Answer(const std::wstring& title, const std::wstring& expected, int id) {
    HWND box = WaitFor(L"message \"" + Flat(expected) + L"\"", [&](HWND w) { return IsMessageBox(w, title); });
    ::Sleep(100);
    const std::wstring flat = Flat(MessageText(box)), want = Flat(expected);
    if (flat != want) Fail(L"message box said \"" + flat + L"\", expected \"" + want + L"\"");
    if (!::GetDlgItem(box, id)) Fail(L"message box has no button " + std::to_wstring(id));
    AnswerBox(box, id);
    Step(L"answered \"" + flat + L"\"");
}

// ---- Keyboard ------------------------------------------------------------------------

// One key pressed and released, sent to whichever window has the focus.
inline void Key(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    ::Sleep(150);
}

// Chooses an item of the window's first menu with the keyboard, as a person would: Alt to
// reach the menu bar, Enter to open it, Down to the item (`downs` steps below the first).
inline void ChooseMenu(HWND window, int downs) {
    ::SetForegroundWindow(window);
    ::Sleep(300);
    Key(VK_MENU);
    Key(VK_RETURN);
    for (int i = 0; i < downs; ++i) Key(VK_DOWN);
    Key(VK_RETURN);
}

// ---- Files ---------------------------------------------------------------------------

inline bool FileThere(const std::wstring& p) {
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool FolderThere(const std::wstring& p) {
    const DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadText(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string s;
    char b[4096];
    DWORD got = 0;
    while (::ReadFile(h, b, sizeof b, &got, nullptr) && got) s.append(b, got);
    ::CloseHandle(h);
    return s;
}
inline std::vector<unsigned char> ReadAll(const std::wstring& path) {
    const std::string s = ReadText(path);
    return std::vector<unsigned char>(s.begin(), s.end());
}

inline void WriteText(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail(L"cannot write " + path);
    DWORD done = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(h);
    if (done != bytes.size()) Fail(L"cannot write all of " + path);
}

// The ANSI code page's bytes of a text, and back.
inline std::string Ansi(const std::wstring& w) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}
inline std::wstring Wide(const std::string& s) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// A shell folder's path without a trailing backslash (`flags` such as CSIDL_FLAG_CREATE).
inline std::wstring ShellPath(int csidl, int flags = 0) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl | flags, nullptr, 0, buffer))) Fail(L"special folder");
    std::wstring f = buffer;
    if (!f.empty() && f.back() == L'\\') f.pop_back();
    return f;
}

// The first message box of the watched Korvane, looked for often so that the time measured
// is the program's and not the driver's, and cheaply (one question to the window system per
// look) so that looking does not take the processor from the program.
inline HWND WaitForBox(DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", L"Korvane"); w;
             w = ::FindWindowExW(nullptr, w, L"#32770", L"Korvane")) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == Watched().pid && ::IsWindowVisible(w)) return w;
        }
        ::Sleep(5);
    }
    Fail(L"timed out waiting for a message box of Korvane");
}

// The program file a process runs; empty when it cannot be asked.
inline std::wstring ImageOf(DWORD pid) {
    HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return {};
    wchar_t image[MAX_PATH * 2] = {};
    DWORD n = MAX_PATH * 2;
    std::wstring out;
    if (::QueryFullProcessImageNameW(h, 0, image, &n)) out = image;
    ::CloseHandle(h);
    return out;
}

// Korvane's entry among the installed programs.
inline const wchar_t kEntry[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvane";
inline std::wstring EntryText(const wchar_t* name) {
    wchar_t value[2048] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kEntry, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}
inline bool EntryThere() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEntry, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

// The install log's lines; every line, the last one too, must end in CR LF.
inline std::vector<std::wstring> InstallLogLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    const std::string text = ReadText(path);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) Fail(L"the install log's last line has no CR LF");
        lines.push_back(Wide(text.substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

// Removes a folder with everything in it; what cannot be removed stays.
inline void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW d{};
    HANDLE f = ::FindFirstFileW((path + L"\\*").c_str(), &d);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring n = d.cFileName;
            if (n == L"." || n == L"..") continue;
            const std::wstring p = path + L"\\" + n;
            ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(p);
            else ::DeleteFileW(p.c_str());
        } while (::FindNextFileW(f, &d));
        ::FindClose(f);
    }
    ::RemoveDirectoryW(path.c_str());
}

// The lines of Korvane's action log KVL.txt, decoded (every character code is stored
// doubled); a last line without its CR LF is marked.
inline std::vector<std::string> LogLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::string line;
    const std::string bytes = ReadText(path);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++i;
        } else {
            line += static_cast<char>(b / 2);
        }
    }
    if (!line.empty()) lines.push_back(line + "<no line end>");
    return lines;
}

// Seconds from a fixed moment, for timing a program's work from outside.
inline double Seconds() {
    static LARGE_INTEGER frequency{};
    if (frequency.QuadPart == 0) ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t{};
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

// Starts `exe` (quoted, then `arguments` if any) with the current folder `folder` and
// watches it; returns once it waits for input.
inline void StartWatched(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        Fail(L"cannot start " + exe);
    Watched().pid = pi.dwProcessId;
    Watched().process = pi.hProcess;
    ::CloseHandle(pi.hThread);
    ::WaitForInputIdle(pi.hProcess, 10000);
}

// The temporary folder without its trailing back slash.
inline std::wstring TempFolder() {
    wchar_t b[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, b);
    std::wstring t = b;
    if (!t.empty() && t.back() == L'\\') t.pop_back();
    return t;
}

}  // namespace e2e
