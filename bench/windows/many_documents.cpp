// Times many small documents processed by the real Korvane.exe, against a plain Win32 loop
// doing the same file work in the same Wine. Driven by bench/many_documents.sh.
//
//   many_documents.exe KORVANE_EXE FOLDER N SIZE MODE...
//
// Makes N documents of SIZE bytes in FOLDER (d00000.bin ...), then for each MODE encrypts all
// of them and decrypts them back, printing one line per mode:
//   <mode> <documents> <encrypt s> <decrypt s> [chooser s]
// Modes:
//   plain    per document: read it, write a working file beside it, flush, move it onto the
//            new name, delete the old one (the work Korvane must do to keep a document safe)
//   cmdline  Korvane.exe started with the documents' names on its command line (as many as fit),
//            timed from the Log-In press to the summary box; for the decryption also the time
//            from the summary's OK to the decrypted-files chooser
//   drop     the documents dragged onto the main window's green area of a running Korvane.exe,
//            timed from the drop to the summary box (and to the chooser)
// Any failure prints "FAIL: ..." and ends the driver. FOLDER is emptied at the end.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data_object.h"
#include "e2e_windows.h"

namespace {

using namespace e2e;

std::wstring g_folder;
std::vector<std::wstring> g_names;  // without folder

std::wstring In(const std::wstring& name) { return g_folder + L"\\" + name; }

void MakeDocuments(std::size_t n, std::size_t size) {
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = char('a' + i % 26);
    for (std::size_t i = 0; i < n; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"d%05zu.bin", i);
        g_names.push_back(name);
        HANDLE h = ::CreateFileW(In(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        if (h == INVALID_HANDLE_VALUE || !::WriteFile(h, bytes.data(), DWORD(size), &put, nullptr)) Fail(L"cannot make " + In(name));
        ::CloseHandle(h);
    }
}

// ---- The plain loop ----

void PlainOne(const std::wstring& from, const std::wstring& to, bool encrypt) {
    HANDLE in = ::CreateFileW(from.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) Fail(L"plain: cannot open " + from);
    LARGE_INTEGER size{};
    ::GetFileSizeEx(in, &size);
    std::vector<std::uint8_t> data(std::size_t(size.QuadPart) + 3, 0);
    DWORD got = 0;
    ::ReadFile(in, data.data(), DWORD(size.QuadPart), &got, nullptr);
    ::CloseHandle(in);
    for (std::size_t i = 0; i < got; ++i) data[i] = std::uint8_t(data[i] + (encrypt ? 1 : -1));  // stands in for the transform
    const DWORD length = encrypt ? got + 3 : got - 3;
    const std::wstring temp = from + L".tmp";
    HANDLE out = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) Fail(L"plain: cannot create " + temp);
    DWORD put = 0;
    ::WriteFile(out, data.data(), length, &put, nullptr);
    ::FlushFileBuffers(out);
    ::CloseHandle(out);
    if (!::MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) Fail(L"plain: cannot move");
    ::DeleteFileW(from.c_str());
}

void Plain() {
    const double t0 = Seconds();
    for (const auto& name : g_names) PlainOne(In(name), In(name + L"locked"), true);
    const double t1 = Seconds();
    for (const auto& name : g_names) PlainOne(In(name + L"locked"), In(name), false);
    const double t2 = Seconds();
    std::wprintf(L"plain %zu %.4f %.4f\n", g_names.size(), t1 - t0, t2 - t1);
}

// ---- Korvane ----

HWND WaitForTitle(const wchar_t* title, DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, nullptr, title); w; w = ::FindWindowExW(nullptr, w, nullptr, title)) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid == Watched().pid && ::IsWindowVisible(w)) return w;
        }
        ::Sleep(5);
    }
    Fail(std::wstring(L"timed out waiting for ") + title);
}

std::wstring g_exe;  // Korvane.exe in a program folder of its own
std::wstring g_root;

// Answers the welcome of a first start, and returns the log-in window.
HWND LogInWindow() {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 20000) {
        for (HWND w : VisibleTopWindows()) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (pid != Watched().pid) continue;
            if (IsMessageBox(w, L"Korvane")) {
                ::Sleep(50);
                AnswerBox(w, IDOK);
            } else if (TextOf(w) == L"Log-In") {
                ::Sleep(200);
                return w;
            }
        }
        ::Sleep(20);
    }
    Fail(L"no log-in window");
}

HWND MainWindow() {
    return WaitFor(L"the main window", [](HWND w) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        return pid == Watched().pid && TextOf(w) == L"Korvane" && ClassOf(w) == L"KorvaneForm";
    });
}

void Quit() {
    for (HWND w : VisibleTopWindows()) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid == Watched().pid) ::PostMessageW(w, WM_CLOSE, 0, 0);
    }
    if (::WaitForSingleObject(Watched().process, 15000) != WAIT_OBJECT_0) ::TerminateProcess(Watched().process, 1);
    ::CloseHandle(Watched().process);
    Watched().process = nullptr;
}

std::wstring Summary(std::size_t n, bool decrypt) {
    return std::to_wstring(n) + (decrypt ? L" files decrypted." : L" files encrypted.");
}

// After a summary: answers it; for a decryption times the chooser's appearance and closes it.
double AnswerSummary(HWND box, std::size_t n, bool decrypt) {
    const std::wstring said = Flat(MessageText(box));
    if (said != Flat(Summary(n, decrypt))) Fail(L"Korvane said \"" + said + L"\"");
    const double t0 = Seconds();
    AnswerBox(box, IDOK);
    if (!decrypt) return 0;
    HWND chooser = WaitForTitle(L"Decrypted Files", 60000);
    const double seconds = Seconds() - t0;
    ::PostMessageW(chooser, WM_CLOSE, 0, 0);
    WaitClosed(chooser);
    return seconds;
}

// As many names as fit on one command line (the system takes 32767 characters).
std::size_t FittingOnCommandLine(const std::wstring& suffix) {
    std::size_t length = g_exe.size() + 3, n = 0;
    for (const auto& name : g_names) {
        length += name.size() + suffix.size() + 1;
        if (length >= 32000) break;
        ++n;
    }
    return n;
}

void CommandLine() {
    const std::size_t n = FittingOnCommandLine(L"locked");
    double seconds[2] = {};
    double chooser = 0;
    for (const bool decrypt : {false, true}) {
        std::wstring arguments;
        for (std::size_t i = 0; i < n; ++i) arguments += (i ? L" " : L"") + g_names[i] + (decrypt ? L"locked" : L"");
        StartWatched(g_exe, arguments, g_folder);
        HWND login = LogInWindow();
        const double t0 = Seconds();
        Press(login, Child(login, L"Button", L"Log-In"));
        HWND box = WaitForBox(3600 * 1000);
        seconds[decrypt] = Seconds() - t0;
        ::Sleep(50);
        chooser = AnswerSummary(box, n, decrypt);
        Quit();
    }
    std::wprintf(L"cmdline %zu %.4f %.4f %.4f\n", n, seconds[0], seconds[1], chooser);
}

// ---- A drop, as the shell's drag and drop makes it ----

// Lets go of the mouse button over the target after a few looks; the moment it does is the
// moment of the drop.
class LetGo final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *out = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
        if (escape) return DRAGDROP_S_CANCEL;
        if (++looks_ < 3) return S_OK;
        dropped_ = Seconds();
        return DRAGDROP_S_DROP;
    }
    double Dropped() const { return dropped_; }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int looks_ = 0;
    double dropped_ = 0;
};

HWND GreenArea(HWND main) {
    HWND found = nullptr;
    ::EnumChildWindows(
        main,
        [](HWND w, LPARAM out) -> BOOL {
            if (ClassOf(w) != L"KorvanePicture") return TRUE;
            *reinterpret_cast<HWND*>(out) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (!found) Fail(L"no green area");
    return found;
}

void Drop() {
    StartWatched(g_exe, L"", g_folder);
    HWND login = LogInWindow();
    Press(login, Child(login, L"Button", L"Log-In"));
    HWND main = MainWindow();
    ::Sleep(300);
    double seconds[2] = {};
    double chooser = 0;
    for (const bool decrypt : {false, true}) {
        std::vector<std::wstring> paths;
        for (const auto& name : g_names) paths.push_back(In(name + (decrypt ? L"locked" : L"")));
        IDataObject* data = kvtest::MakeFileDrop(paths);
        LetGo source;
        ::SetForegroundWindow(main);
        RECT r{};
        ::GetWindowRect(GreenArea(main), &r);
        ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ::Sleep(100);
        DWORD effect = 0;
        const HRESULT hr = ::DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
        data->Release();
        if (hr != DRAGDROP_S_DROP) Fail(L"the drop did not happen");
        HWND box = WaitForBox(3600 * 1000);
        seconds[decrypt] = Seconds() - source.Dropped();
        ::Sleep(50);
        chooser = AnswerSummary(box, paths.size(), decrypt);
    }
    Quit();
    std::wprintf(L"drop %zu %.4f %.4f %.4f\n", g_names.size(), seconds[0], seconds[1], chooser);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 6) {
        std::wprintf(L"usage: many_documents <Korvane.exe> <folder> <n> <size> <mode>...\n");
        return 2;
    }
    ::OleInitialize(nullptr);
    g_folder = argv[2];
    const std::size_t n = std::wcstoul(argv[3], nullptr, 10);
    const std::size_t size = std::wcstoul(argv[4], nullptr, 10);
    ::CreateDirectoryW(g_folder.c_str(), nullptr);
    MakeDocuments(n, size);

    g_root = TempFolder() + L"\\kv-many-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(g_root.c_str(), nullptr);
    g_exe = g_root + L"\\Korvane.exe";
    if (!::CopyFileW(argv[1], g_exe.c_str(), FALSE)) Fail(L"cannot copy Korvane.exe");

    for (int i = 5; i < argc; ++i) {
        const std::wstring mode = argv[i];
        if (mode == L"plain") Plain();
        else if (mode == L"cmdline") CommandLine();
        else if (mode == L"drop") Drop();
        else Fail(L"unknown mode " + mode);
        std::fflush(stdout);
        for (const auto& name : g_names)
            if (!FileThere(In(name)) || FileThere(In(name + L"locked"))) Fail(L"not restored: " + name);
    }
    for (const auto& name : g_names) ::DeleteFileW(In(name).c_str());
    for (const wchar_t* f : {L"\\Korvane.exe", L"\\KVU.txt", L"\\KVL.txt"}) ::DeleteFileW((g_root + f).c_str());
    ::RemoveDirectoryW(g_root.c_str());
    std::wprintf(L"done\n");
    return 0;
}
