// Times documents processed through the real Korvane.exe, as a person would process them:
// the path typed into the main window, Process, until the summary box. Driven by
// bench/through_program.sh, which does the same file work with cp, sync, mv and rm between
// the rounds and prints the ratio.
//
//   through_program.exe KORVANE_EXE DOCUMENT
//
// Starts Korvane.exe from a program folder of its own, logs in as Admin, then reads commands
// from standard input, one a line, and answers each with one line:
//   round        encrypts DOCUMENT and decrypts it back: "round <encrypt s> <decrypt s>"
//   encrypt, decrypt   one half of a round: "time <s>"
//   reverse      encrypts it (untimed), then times a decryption followed by an encryption
//                (and decrypts it again, untimed): the same answer, for telling an effect of
//                the direction from one of the order
//   quit         quits Korvane and ends: "done"
// DOCUMENT ends up as it was. Any failure prints "FAIL: ..." and ends the driver.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "e2e_windows.h"

namespace {

using namespace e2e;

bool IsKorvaneBox(HWND w) { return e2e::IsMessageBox(w, L"Korvane"); }

// Types the path into the main window, presses Process and waits for the summary; returns the
// seconds from the press to the summary's appearance. The summary must read `expected`.
double ProcessOne(HWND main, const std::wstring& path, const std::wstring& expected, int answer) {
    HWND edit = Child(main, L"Edit");
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    HWND go = Child(main, L"Button", L"Process");
    const double t0 = Seconds();
    Press(main, go);
    HWND box = WaitForBox(30 * 60 * 1000);
    const double seconds = Seconds() - t0;
    ::Sleep(50);
    const std::wstring said = Flat(MessageText(box));
    if (said != Flat(expected)) Fail(L"Korvane said \"" + said + L"\", expected \"" + Flat(expected) + L"\"");
    AnswerBox(box, answer);
    return seconds;
}

std::string ReadCommand() {
    char line[256] = {};
    if (!std::fgets(line, sizeof line, stdin)) return "quit";
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 3) {
        std::fwprintf(stdout, L"usage: through_program <path of Korvane.exe> <document>\n");
        return 2;
    }
    const std::wstring source = argv[1];
    const std::wstring doc = argv[2];
    const std::wstring locked = doc + L"locked";
    if (!FileThere(doc)) Fail(L"no document " + doc);

    const std::wstring root = TempFolder() + L"\\kv-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring exe = root + L"\\Korvane.exe";
    if (!::CopyFileW(source.c_str(), exe.c_str(), FALSE)) Fail(L"cannot copy " + source);

    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, root.c_str(), &si, &pi))
        Fail(L"cannot start Korvane.exe");
    Watched().pid = pi.dwProcessId;
    Watched().process = pi.hProcess;
    ::CloseHandle(pi.hThread);
    ::WaitForInputIdle(pi.hProcess, 10000);

    HWND welcome = WaitFor(L"the welcome message", IsKorvaneBox);
    ::Sleep(100);
    AnswerBox(welcome, IDOK);
    HWND login = WaitFor(L"the log-in window", [](HWND w) { return TextOf(w) == L"Log-In"; });
    ::Sleep(200);
    Press(login, Child(login, L"Button", L"Log-In"));
    HWND main = WaitFor(L"the main window",
                        [](HWND w) { return TextOf(w) == L"Korvane" && ClassOf(w) == L"KorvaneForm"; });
    ::Sleep(300);
    std::fwprintf(stdout, L"ready\n");
    std::fflush(stdout);

    for (;;) {
        const std::string cmd = ReadCommand();
        if (cmd == "round") {
            const double enc = ProcessOne(main, doc, L"1 file encrypted.", IDOK);
            if (FileThere(doc) || !FileThere(locked)) Fail(L"the document did not become its locked form");
            const double dec =
                ProcessOne(main, locked, L"1 file decrypted.\rWould you like to view the decrypted file now?", IDNO);
            if (!FileThere(doc) || FileThere(locked)) Fail(L"the document was not restored");
            std::fwprintf(stdout, L"round %.4f %.4f\n", enc, dec);
            std::fflush(stdout);
        } else if (cmd == "encrypt") {
            const double enc = ProcessOne(main, doc, L"1 file encrypted.", IDOK);
            if (FileThere(doc) || !FileThere(locked)) Fail(L"the document did not become its locked form");
            std::fwprintf(stdout, L"time %.4f\n", enc);
            std::fflush(stdout);
        } else if (cmd == "decrypt") {
            const double dec =
                ProcessOne(main, locked, L"1 file decrypted.\rWould you like to view the decrypted file now?", IDNO);
            if (!FileThere(doc) || FileThere(locked)) Fail(L"the document was not restored");
            std::fwprintf(stdout, L"time %.4f\n", dec);
            std::fflush(stdout);
        } else if (cmd == "reverse") {
            // The same round the other way: the document is first encrypted (untimed), then
            // decrypted and encrypted again, timed.
            ProcessOne(main, doc, L"1 file encrypted.", IDOK);
            const double dec =
                ProcessOne(main, locked, L"1 file decrypted.\rWould you like to view the decrypted file now?", IDNO);
            const double enc = ProcessOne(main, doc, L"1 file encrypted.", IDOK);
            ProcessOne(main, locked, L"1 file decrypted.\rWould you like to view the decrypted file now?", IDNO);
            std::fwprintf(stdout, L"round %.4f %.4f\n", enc, dec);
            std::fflush(stdout);
        } else if (cmd == "quit") {
            break;
        } else {
            Fail(L"unknown command");
        }
    }

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(Watched().process, 15000) != WAIT_OBJECT_0) ::TerminateProcess(Watched().process, 1);
    ::CloseHandle(Watched().process);
    Watched().process = nullptr;
    for (const wchar_t* f : {L"\\Korvane.exe", L"\\KVU.txt", L"\\KVL.txt"}) ::DeleteFileW((root + f).c_str());
    ::RemoveDirectoryW(root.c_str());
    std::fwprintf(stdout, L"done\n");
    std::fflush(stdout);
    return 0;
}
