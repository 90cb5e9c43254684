// End to end, documents handed on the command line as Windows hands them when files are
// dropped onto the program's icon or shortcut: the real Korvane.exe started with two
// paths (one with blanks, quoted) logs in as usual and then processes both as one dropped
// run: one summary, both documents transformed, two log entries, which the log viewer shows
// to a screen reader in another process too. Started with a path and cancelled at the
// log-in, it processes nothing. Prints each step; exits non-zero on a failure.
#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "e2e_windows.h"

namespace {

using namespace e2e;

bool IsMessageBox(HWND w) { return e2e::IsMessageBox(w, L"Korvane"); }

void Answer(const std::wstring& expected, int buttonId) { e2e::Answer(L"Korvane", expected, buttonId); }

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Starts the program with its current folder `folder` and the given arguments after its name.
void Start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
    StartWatched(exe, arguments, folder);
    Step(L"started Korvane.exe " + arguments);
}

void WaitEnded(const wchar_t* after) {
    if (::WaitForSingleObject(Watched().process, 15000) != WAIT_OBJECT_0)
        Fail(std::wstring(L"Korvane did not end after ") + after);
    ::CloseHandle(Watched().process);
    Watched() = {};
}

HWND LogInWindow() {
    HWND login = WaitFor(L"the log-in window", [](HWND w) { return TextOf(w) == L"Log-In"; });
    ::Sleep(200);
    if (TextOf(Child(login, L"ComboBox")) != L"Admin") Fail(L"Admin is not preselected");
    return login;
}

// What a screen reader in another process is told about a window: read-only text and its
// value, through oleacc (which asks the window with WM_GETOBJECT).
std::wstring AccessibleValue(HWND hwnd) {
    HMODULE oleacc = ::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    const auto fromWindow =
        oleacc ? reinterpret_cast<FromWindow>(reinterpret_cast<void*>(::GetProcAddress(oleacc, "AccessibleObjectFromWindow")))
               : nullptr;
    if (!fromWindow) Fail(L"oleacc.dll cannot be loaded");
    IAccessible* object = nullptr;
    if (FAILED(fromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                          reinterpret_cast<void**>(&object))) ||
        !object)
        Fail(L"no accessible object for the log view");
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role, state;
    ::VariantInit(&role);
    ::VariantInit(&state);
    if (FAILED(object->get_accRole(self, &role)) || role.vt != VT_I4 || role.lVal != ROLE_SYSTEM_TEXT)
        Fail(L"the log view is not seen as text");
    if (FAILED(object->get_accState(self, &state)) || state.vt != VT_I4 || !(state.lVal & STATE_SYSTEM_READONLY))
        Fail(L"the log view is not seen as read only");
    BSTR value = nullptr;
    const HRESULT hr = object->get_accValue(self, &value);
    std::wstring text = value ? std::wstring(value, ::SysStringLen(value)) : std::wstring();
    ::SysFreeString(value);
    object->Release();
    if (FAILED(hr)) Fail(L"the log view's value cannot be read");
    return text;
}

void MakeDocument(const std::wstring& path, const std::string& bytes) { WriteText(path, bytes); }

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 2) {
        std::fwprintf(stdout, L"usage: cmdline_e2e <path of Korvane.exe>\n");
        return 2;
    }
    const std::wstring source = argv[1];
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    const std::wstring root = TempFolder() + L"\\kv-cmdline-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring program = root + L"\\Program";
    const std::wstring docs = root + L"\\My Documents";
    ::CreateDirectoryW(root.c_str(), nullptr);
    ::CreateDirectoryW(program.c_str(), nullptr);
    ::CreateDirectoryW(docs.c_str(), nullptr);
    const std::wstring exe = program + L"\\Korvane.exe";
    if (!::CopyFileW(source.c_str(), exe.c_str(), FALSE)) Fail(L"cannot copy " + source);
    const std::wstring first = docs + L"\\quarterly report.txt";
    const std::wstring second = docs + L"\\notes.txt";
    MakeDocument(first, "Hello");
    MakeDocument(second, "AB");

    // 1. Cancel at the log-in processes nothing and ends the program.
    Start(exe, L"\"" + first + L"\"", docs);
    Answer(L"Welcome to Korvane.\rA default user has been created for you:\rYour User Name is Admin\r"
           L"Use a blank password to Log-In",
           IDOK);
    HWND login = LogInWindow();
    Press(login, Child(login, L"Button", L"Cancel"));
    WaitEnded(L"Cancel at the log-in");
    if (!FileThere(first) || FileThere(first + L"locked")) Fail(L"a document was processed after Cancel");
    if (FileThere(program + L"\\KVL.txt")) Fail(L"the action log was written after Cancel");
    Step(L"Cancel at the log-in processed nothing");

    // 2. Two paths: the first quoted with its blanks, the second relative to the current
    //    folder, as a console user types it. One run after the log-in.
    Start(exe, L"\"" + first + L"\" notes.txt", docs);
    login = LogInWindow();
    if (FileThere(first + L"locked")) Fail(L"a document was processed before the log-in");
    Press(login, Child(login, L"Button", L"Log-In"));
    Step(L"logged in as Admin with the blank password");
    Answer(L"2 files encrypted.", IDOK);
    if (FileThere(first) || !FileThere(first + L"locked")) Fail(L"the quoted document was not encrypted");
    if (FileThere(second) || !FileThere(second + L"locked")) Fail(L"the second document was not encrypted");
    if (ReadAll(first + L"locked") != std::vector<unsigned char>{0x49, 0x66, 0x6D, 0x6D, 0x70, 0x00, 0x00, 0x00})
        Fail(L"the first locked document has the wrong bytes");
    if (ReadAll(second + L"locked") != std::vector<unsigned char>{0x42, 0x43, 0x00, 0x00, 0x00})
        Fail(L"the second locked document has the wrong bytes");
    const auto lines = LogLines(program + L"\\KVL.txt");
    if (lines.size() != 2) Fail(L"KVL.txt holds " + std::to_wstring(lines.size()) + L" lines, expected 2");
    if (!EndsWith(lines[0], "   Admin   ENCRYPTED FILE: " + Ansi(first)) ||
        !EndsWith(lines[1], "   Admin   ENCRYPTED FILE: " + Ansi(second)))
        Fail(L"unexpected log entries: " + Wide(lines[0]) + L" | " + Wide(lines[1]));
    Step(L"both documents encrypted in one run; two log entries with their full paths");

    // The working window is up and the program goes on as usual. Its log viewer shows both
    // entries, also to a screen reader in another process (this one).
    HWND main = WaitFor(L"the main window",
                        [](HWND w) { return TextOf(w) == L"Korvane" && ClassOf(w) == L"KorvaneForm"; });
    ChooseMenu(main, 1);
    HWND viewer = WaitFor(L"the log viewer", [](HWND w) { return TextOf(w) == L"Log File"; });
    ::Sleep(500);
    const std::wstring read = AccessibleValue(Child(viewer, L"KorvaneTextView"));
    if (read.find(L"ENCRYPTED FILE: " + first) == std::wstring::npos ||
        read.find(L"ENCRYPTED FILE: " + second) == std::wstring::npos)
        Fail(L"a screen reader does not read both entries in the log viewer: \"" + read.substr(0, 200) + L"\"");
    Step(L"a screen reader reads both entries in the log viewer (read-only text)");
    ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    if (!WaitClosed(viewer)) Fail(L"the log viewer did not close");
    ChooseMenu(main, 2);  // File: Users..., View Log File, Quit
    WaitEnded(L"Quit");
    Step(L"Quit ended the program");

    for (const std::wstring& f : {exe, program + L"\\KVU.txt", program + L"\\KVL.txt", first + L"locked",
                                  second + L"locked"})
        ::DeleteFileW(f.c_str());
    ::RemoveDirectoryW(program.c_str());
    ::RemoveDirectoryW(docs.c_str());
    ::RemoveDirectoryW(root.c_str());
    std::fwprintf(stdout, L"PASS\n");
    return 0;
}
