#include "harness.h"

#include <atomic>
#include <cstring>

#include "app/Main.h"
#include "core/Globals.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    // Process numbers come round again from run to run: a folder left by an earlier run is
    // never taken over.
    do {
        path_ = std::wstring(temp) + L"kvtest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
    } while (!::CreateDirectoryW(path_.c_str(), nullptr) && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

namespace {
void RemoveTree(const std::wstring& folder) {
    for (const auto& name : FilesIn(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            RemoveTree(path);
            continue;
        }
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileW(path.c_str())) ::RemoveDirectoryW(path.c_str());  // a link to a folder
    }
    ::RemoveDirectoryW(folder.c_str());
}
}  // namespace

TempFolder::~TempFolder() { RemoveTree(path_); }

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    std::uint8_t buffer[65536];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) bytes.insert(bytes.end(), buffer, buffer + got);
    ::CloseHandle(h);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    if (!bytes.empty()) ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    ::CloseHandle(h);
}

std::vector<std::string> CrLfLines(const std::wstring& path, bool halve) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++i;
        } else {
            line += static_cast<char>(halve ? bytes[i] >> 1 : bytes[i]);
        }
    }
    EXPECT_TRUE(line.empty()) << "the file ends in the middle of a line";
    return lines;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

void Pump() { kv::win::DoEvents(3); }

void Click(HWND button) {
    ::SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
}

void TypeText(HWND control, const std::wstring& text) {
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PressKey(HWND control, UINT key) {
    ::SendMessageW(control, WM_KEYDOWN, key, 1);
    ::SendMessageW(control, WM_KEYUP, key, 0xC0000001);
    Pump();
}

void ChooseComboItem(HWND combo, int index) {
    ::SendMessageW(combo, CB_SETCURSEL, index, 0);
    ::SendMessageW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    Pump();
}

std::wstring WindowClass(HWND hwnd) {
    wchar_t buffer[256] = {};
    ::GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[4096] = {};
    ::GetWindowTextW(hwnd, buffer, 4096);
    return buffer;
}

void SaveScreenForReview(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"KV_SHOTS", folder, MAX_PATH)) return;
    for (int i = 0; i < 10; ++i) {
        Pump();
        ::Sleep(30);
    }
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFOHEADER info{sizeof(info), w, h, 1, 24, BI_RGB};
    const DWORD stride = ((w * 3 + 3) / 4) * 4;
    std::vector<std::uint8_t> pixels(stride * h);
    ::GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(info) + pixels.size()), 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(info)};
    std::vector<std::uint8_t> bytes(sizeof(file) + sizeof(info) + pixels.size());
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    std::memcpy(bytes.data() + sizeof(file) + sizeof(info), pixels.data(), pixels.size());
    WriteBytes(std::wstring(folder) + L"\\" + name + L".bmp", bytes);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

void KorvaneTest::SetUp() {
    kv::app::InstallNavigation();  // as Main does
    kv::win::ResetAllForms();
    Pump();
    kv::win::SetLastFormUnloadedHandler([this] { ++lastFormUnloads; });
    namespace G = kv::Globals;
    G::Users.assign(1, kv::UserRecord{});
    G::CurrentUser = 0;
    G::PasswordConfirmed = false;
    G::DecryptedFiles.clear();
    G::ShowProgress = false;
    G::FileSystem = std::make_unique<G::FileSystemObject>();
    G::SetDataFolder(folder.Path());
}

void KorvaneTest::TearDown() {
    kv::win::ResetAllForms();
    Pump();
    kv::win::SetLastFormUnloadedHandler([] {});
}

}  // namespace kvtest
