#include "test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "scripted_dialogs.h"

namespace kvtest {

bool FileThere(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderThere(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolder(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

void RemoveAll(const std::wstring& path) {
    WIN32_FIND_DATAW d{};
    HANDLE f = ::FindFirstFileW((path + L"\\*").c_str(), &d);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring n = d.cFileName;
            if (n == L"." || n == L"..") continue;
            const std::wstring p = path + L"\\" + n;
            // A link is left alone: deleting through it would reach its target.
            if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveAll(p);
            else ::DeleteFileW(p.c_str());
        } while (::FindNextFileW(f, &d));
        ::FindClose(f);
    }
    ::RemoveDirectoryW(path.c_str());
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << Narrow(path);
    DWORD done = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(h);
}

std::string ReadText(const std::wstring& path) {
    std::string bytes;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    ::CloseHandle(h);
    return bytes;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring FreshTempPath(const std::wstring& prefix) {
    static std::atomic<int> counter{0};
    wchar_t t[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, t);
    const std::wstring path =
        std::wstring(t) + prefix + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    RemoveAll(path);
    return path;
}

}  // namespace kvtest
