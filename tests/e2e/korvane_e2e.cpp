// End to end, as a person would: start the real Korvane.exe in an empty folder, answer the
// welcome message, log in as Admin with the blank password, process a document there and
// back, look at the action log, and quit. Prints each step; exits non-zero on a failure.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "e2e_windows.h"

namespace {

using namespace e2e;

bool IsMessageBox(HWND w) { return e2e::IsMessageBox(w, L"Korvane"); }

void Answer(const std::wstring& expected, int buttonId) { e2e::Answer(L"Korvane", expected, buttonId); }

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void ProcessPath(HWND main, const std::wstring& typed) {
    HWND edit = Child(main, L"Edit");
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    HWND go = Child(main, L"Button", L"Process");
    Press(main, go);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 2) {
        std::fwprintf(stdout, L"usage: korvane_e2e <path of Korvane.exe>\n");
        return 2;
    }
    const std::wstring source = argv[1];

    // An empty program folder of its own, and a document somewhere else.
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"kv-e2e-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring program = root + L"\\Program";
    const std::wstring docs = root + L"\\Documents";
    ::CreateDirectoryW(root.c_str(), nullptr);
    ::CreateDirectoryW(program.c_str(), nullptr);
    ::CreateDirectoryW(docs.c_str(), nullptr);
    const std::wstring exe = program + L"\\Korvane.exe";
    if (!::CopyFileW(source.c_str(), exe.c_str(), FALSE)) Fail(L"cannot copy " + source);
    const std::wstring doc = docs + L"\\report.txt";
    {
        HANDLE h = ::CreateFileW(doc.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        ::WriteFile(h, "Hello", 5, &put, nullptr);
        ::CloseHandle(h);
    }

    // Started with the documents folder as the current folder: the data files must still
    // appear beside the program.
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, docs.c_str(), &si, &pi))
        Fail(L"cannot start Korvane.exe");
    Watched().pid = pi.dwProcessId;
    Watched().process = pi.hProcess;
    ::CloseHandle(pi.hThread);
    ::WaitForInputIdle(pi.hProcess, 10000);
    Step(L"started Korvane.exe");

    Answer(L"Welcome to Korvane.\rA default user has been created for you:\rYour User Name is Admin\r"
           L"Use a blank password to Log-In",
           IDOK);
    if (!FileThere(program + L"\\KVU.txt")) Fail(L"KVU.txt was not created beside the program");

    HWND login = WaitFor(L"the log-in window", [](HWND w) { return TextOf(w) == L"Log-In"; });
    ::Sleep(200);
    HWND user = Child(login, L"ComboBox");
    if (TextOf(user) != L"Admin") Fail(L"Admin is not preselected");
    Press(login, Child(login, L"Button", L"Log-In"));
    Step(L"logged in as Admin with the blank password");

    HWND main = WaitFor(L"the main window",
                        [](HWND w) { return TextOf(w) == L"Korvane" && ClassOf(w) == L"KorvaneForm"; });
    ::Sleep(300);
    if (FileThere(program + L"\\KVL.txt")) Fail(L"the log exists before any action");

    // Encrypt: a path typed with blanks around it.
    ProcessPath(main, L"  " + doc + L"  ");
    Answer(L"1 file encrypted.", IDOK);
    const std::wstring locked = doc + L"locked";
    if (FileThere(doc) || !FileThere(locked)) Fail(L"the document did not become its locked form");
    const std::vector<unsigned char> expected{0x49, 0x66, 0x6D, 0x6D, 0x70, 0x00, 0x00, 0x00};
    if (ReadAll(locked) != expected) Fail(L"the locked document has the wrong bytes");
    if (!TextOf(Child(main, L"Edit")).empty()) Fail(L"the file box was not emptied");
    auto lines = LogLines(program + L"\\KVL.txt");
    if (lines.size() != 1) Fail(L"KVL.txt holds " + std::to_wstring(lines.size()) + L" lines, expected 1");
    const std::string entry = "   Admin   ENCRYPTED FILE: " + Narrow(doc);
    if (lines[0].size() < entry.size() || lines[0].compare(lines[0].size() - entry.size(), entry.size(), entry) != 0)
        Fail(L"unexpected log entry");
    Step(L"encrypted report.txt; KVL.txt holds one entry");

    // Decrypt it again; with "Prompt Me" one question carries the summary and the offer.
    ProcessPath(main, locked);
    Answer(L"1 file decrypted.\rWould you like to view the decrypted file now?", IDNO);
    if (!FileThere(doc) || FileThere(locked)) Fail(L"the document was not restored");
    if (ReadAll(doc) != std::vector<unsigned char>{'H', 'e', 'l', 'l', 'o'}) Fail(L"the restored bytes differ");
    lines = LogLines(program + L"\\KVL.txt");
    if (lines.size() != 2 || lines[1].find("   Admin   DECRYPTED FILE: " + Narrow(doc)) == std::string::npos)
        Fail(L"the decryption was not logged");
    Step(L"decrypted report.txtlocked back to report.txt");

    // The action log viewer shows both entries.
    ChooseMenu(main, 1);  // File: Users..., View Log File, Quit
    HWND viewer = WaitFor(L"the log viewer", [](HWND w) { return TextOf(w) == L"Log File"; });
    ::Sleep(500);
    const std::wstring shown = TextOf(Child(viewer, L"KorvaneTextView"));
    if (shown.find(L"ENCRYPTED FILE: " + doc) == std::wstring::npos ||
        shown.find(L"DECRYPTED FILE: " + doc) == std::wstring::npos)
        Fail(L"the log viewer does not show both entries");
    ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    if (!WaitClosed(viewer)) Fail(L"the log viewer did not close");
    Step(L"the log viewer shows both entries");

    ChooseMenu(main, 2);
    if (::WaitForSingleObject(Watched().process, 15000) != WAIT_OBJECT_0) Fail(L"Korvane did not end after Quit");
    Step(L"Quit ended the program");
    ::CloseHandle(Watched().process);
    Watched().process = nullptr;

    for (const wchar_t* f : {L"\\Program\\Korvane.exe", L"\\Program\\KVU.txt", L"\\Program\\KVL.txt",
                             L"\\Documents\\report.txt"})
        ::DeleteFileW((root + f).c_str());
    ::RemoveDirectoryW(program.c_str());
    ::RemoveDirectoryW(docs.c_str());
    ::RemoveDirectoryW(root.c_str());
    std::fwprintf(stdout, L"PASS\n");
    return 0;
}
