// Win32 file system for Korvane.exe: wide paths throughout, big-block reads and
// writes, FlushFileBuffers, and MoveFileExW for the one-step replace.
#include <windows.h>

#include "core/file_system.h"

namespace kv {
namespace {

// Paths at or beyond MAX_PATH need the \\?\ form; paths already in it pass
// through unchanged.
std::wstring Win32Path(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    std::wstring p = path;
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    if (p.size() > 2 && p[1] == L':' && p[2] == L'\\') return L"\\\\?\\" + p;
    if (p.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + p.substr(2);
    return path;  // relative: left to the system
}

FsStatus FromWin32(DWORD err) {
    FsStatus s;
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH: s.kind = FsErrorKind::kNotFound; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: s.kind = FsErrorKind::kAccessDenied; break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE: s.kind = FsErrorKind::kSharingViolation; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: s.kind = FsErrorKind::kDiskFull; break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: s.kind = FsErrorKind::kAlreadyExists; break;
        default: s.kind = FsErrorKind::kOther; break;
    }
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n != 0 && text != nullptr) {
        s.text.assign(text, n);
        while (!s.text.empty() && (s.text.back() == L'\r' || s.text.back() == L'\n' || s.text.back() == L' '))
            s.text.pop_back();
    } else {
        s.text = L"System error " + std::to_wstring(err);
    }
    if (text != nullptr) LocalFree(text);
    return s;
}

FsStatus LastError() { return FromWin32(GetLastError()); }

// ReadFile and WriteFile take 32-bit counts.
constexpr DWORD kMaxIo = DWORD(1) << 30;

class Win32File final : public FileHandle {
public:
    Win32File(HANDLE handle, bool durable) : handle_(handle), durable_(durable) {}
    ~Win32File() override { CloseHandle(handle_); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    FsStatus Size(std::uint64_t* size) override {
        LARGE_INTEGER li{};
        if (!GetFileSizeEx(handle_, &li)) return LastError();
        *size = std::uint64_t(li.QuadPart);
        return {};
    }

    FsStatus Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
        std::size_t done = 0;
        while (done < size) {
            const DWORD want = DWORD(size - done < kMaxIo ? size - done : kMaxIo);
            DWORD n = 0;
            if (!ReadFile(handle_, data + done, want, &n, nullptr)) {
                *got = done;
                return LastError();
            }
            if (n == 0) break;
            done += n;
        }
        *got = done;
        return {};
    }

    FsStatus Write(const std::uint8_t* data, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            const DWORD want = DWORD(size - done < kMaxIo ? size - done : kMaxIo);
            DWORD n = 0;
            if (!WriteFile(handle_, data + done, want, &n, nullptr)) return LastError();
            if (n == 0) return FromWin32(ERROR_DISK_FULL);
            done += n;
        }
        return {};
    }

    FsStatus Flush() override {
        if (durable_ && !FlushFileBuffers(handle_)) return LastError();
        return {};
    }

private:
    HANDLE handle_;
    bool durable_;
};

class Win32FileSystem final : public FileSystem {
public:
    explicit Win32FileSystem(bool durable) : durable_(durable) {}

    FsStatus Open(const std::wstring& path, OpenMode mode, std::unique_ptr<FileHandle>* file) override {
        const std::wstring p = Win32Path(path);
        HANDLE h;
        if (mode == OpenMode::kCreateNew) {
            h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        } else {
            // Others may read the document meanwhile, but not change it.
            h = CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        }
        if (h == INVALID_HANDLE_VALUE) return LastError();
        *file = std::make_unique<Win32File>(h, durable_);
        return {};
    }

    FsStatus Replace(const std::wstring& from, const std::wstring& to) override {
        DWORD flags = MOVEFILE_REPLACE_EXISTING;
        if (durable_) flags |= MOVEFILE_WRITE_THROUGH;
        if (!MoveFileExW(Win32Path(from).c_str(), Win32Path(to).c_str(), flags)) return LastError();
        return {};
    }

    FsStatus Remove(const std::wstring& path) override {
        if (!DeleteFileW(Win32Path(path).c_str())) return LastError();
        return {};
    }

    bool Exists(const std::wstring& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        return GetFileAttributesExW(Win32Path(path).c_str(), GetFileExInfoStandard, &data) &&
               !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    FsStatus Size(const std::wstring& path, std::uint64_t* size) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(Win32Path(path).c_str(), GetFileExInfoStandard, &data)) return LastError();
        *size = std::uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        return {};
    }

private:
    bool durable_;
};

}  // namespace

std::unique_ptr<FileSystem> MakePlatformFileSystem(bool durable) {
    return std::make_unique<Win32FileSystem>(durable);
}

}  // namespace kv
