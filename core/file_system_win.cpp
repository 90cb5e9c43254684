// Win32 file system for Korvane.exe: wide paths throughout, big-block reads and
// writes, FlushFileBuffers, and MoveFileExW for the one-step replace.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cwchar>
#include <mutex>
#include <thread>
#include <vector>

#include "core/file_system.h"
#include "core/paths.h"
#include "win/files.h"
#include "win/handle.h"
#include "win/text_rules.h"

namespace kv {
namespace {

std::wstring Win32Path(const std::wstring& path) { return win::LongPath(path); }

// The path with its folder spelt out (relative paths are taken from the current folder).
std::wstring FullPath(const std::wstring& path) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring buffer(n, L'\0');
    const DWORD m = ::GetFullPathNameW(path.c_str(), n, buffer.data(), nullptr);
    return m != 0 && m < n ? buffer.substr(0, m) : path;
}

// The form a file's new name takes when it is given through the file's handle: the
// full path behind "\??\".
std::wstring NtPath(const std::wstring& path) {
    std::wstring full = win::LongPath(path);
    if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
    full = FullPath(full);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

FsStatus LastError() { return win::StatusOf(GetLastError()); }

// ReadFile and WriteFile take 32-bit counts.
constexpr DWORD kMaxIo = DWORD(1) << 30;

// Attributes a document keeps when it is rewritten; read-only never comes along (such a
// document cannot be opened for writing in the first place).
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool MarkForDeletion(HANDLE handle, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// How a working file is marked for deletion from its creation up to the moment it is kept.
// Windows 10 (1809) and later can lift the mark that CreateFile's FILE_FLAG_DELETE_ON_CLOSE
// sets (FileDispositionInfoEx with FILE_DISPOSITION_FLAG_ON_CLOSE): that mark exists from
// the file's first moment. Older systems and Wine cannot lift it; there the file is
// created unmarked and marked by its disposition in the very next call, which leaves one
// system call during which a kill leaves an empty file (the next run in that folder
// removes it).
enum class MarkKind { kUnknown, kCreateFlag, kDisposition };
std::atomic<MarkKind> g_markKind{MarkKind::kUnknown};

constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;      // FILE_DISPOSITION_FLAG_DELETE
constexpr DWORD kDispositionOnClose = 0x8;     // FILE_DISPOSITION_FLAG_ON_CLOSE

bool SetDeleteOnClose(HANDLE handle, bool remove) {
    struct {
        DWORD Flags;
    } info{kDispositionOnClose | (remove ? kDispositionDelete : 0)};
    return ::SetFileInformationByHandle(handle, kFileDispositionInfoEx, &info, sizeof info) != FALSE;
}

// Sets or lifts the mark the way the file got it.
bool Mark(HANDLE handle, MarkKind kind, bool remove) {
    return kind == MarkKind::kCreateFlag ? SetDeleteOnClose(handle, remove) : MarkForDeletion(handle, remove);
}

// The longest name one folder entry may have on the volume of `path`.
DWORD MaxNameLength(const std::wstring& path) {
    std::wstring volume(MAX_PATH + 1, L'\0');
    DWORD max = 0;
    if (::GetVolumePathNameW(Win32Path(path).c_str(), volume.data(), DWORD(volume.size())) &&
        ::GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, &max, nullptr, nullptr, 0) && max > 0)
        return max;
    return 255;  // what every file system Windows writes documents to allows
}

// Sends a file's written data on to the disk in the background while more is written, so
// that the disk works during the writing and the flush at the end finds little left to do.
// The system has no call that only starts the writing; a flush on a thread of its own, asked
// for every few dozen mebibytes, does the same. Its failures are left to the final flush.
class BackgroundFlusher {
public:
    explicit BackgroundFlusher(HANDLE handle) : handle_(handle) {}
    ~BackgroundFlusher() { Stop(); }
    BackgroundFlusher(const BackgroundFlusher&) = delete;
    BackgroundFlusher& operator=(const BackgroundFlusher&) = delete;

    void Written(std::uint64_t bytes) {
        written_ += bytes;
        if (stopped_ || written_ - asked_ < kChunk) return;
        asked_ = written_;
        {
            std::lock_guard<std::mutex> lock(lock_);
            wanted_ = true;
        }
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread([this] { Run(); });
            } catch (...) {
                stopped_ = true;  // no thread: everything is flushed at the end
                return;
            }
        }
        wake_.notify_one();
    }

    // Waits for a flush in progress and ends the thread; nothing more is flushed here.
    void Stop() {
        stopped_ = true;
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(lock_);
            ending_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

private:
    static constexpr std::uint64_t kChunk = std::uint64_t(32) << 20;

    void Run() {
        std::unique_lock<std::mutex> lock(lock_);
        for (;;) {
            wake_.wait(lock, [&] { return wanted_ || ending_; });
            if (ending_) return;
            wanted_ = false;
            lock.unlock();
            ::FlushFileBuffers(handle_);
            lock.lock();
        }
    }

    HANDLE handle_;
    std::uint64_t written_ = 0;  // used by the writing thread only
    std::uint64_t asked_ = 0;
    bool stopped_ = false;
    std::mutex lock_;
    std::condition_variable wake_;
    bool wanted_ = false;
    bool ending_ = false;
    std::thread thread_;
};

class Win32File final : public FileHandle {
public:
    Win32File(HANDLE handle, bool durable, MarkKind mark = MarkKind::kUnknown)
        : handle_(handle), durable_(durable), temporary_(mark != MarkKind::kUnknown), mark_(mark), flusher_(handle) {}
    // A working file not kept is still marked for deletion: closing it removes it.
    ~Win32File() override { flusher_.Stop(); }

    FsStatus GetStamp(FileStamp* stamp) override {
        FILE_BASIC_INFO info{};
        if (!::GetFileInformationByHandleEx(handle_.get(), FileBasicInfo, &info, sizeof info)) return LastError();
        stamp->valid = true;
        stamp->attributes = info.FileAttributes & kKeptAttributes;
        stamp->last_write = info.LastWriteTime.QuadPart;
        return {};
    }

    FsStatus SetStamp(const FileStamp& stamp) override {
        if (!stamp.valid) return {};
        FILE_BASIC_INFO info{};  // zero: left as it is
        if (!::GetFileInformationByHandleEx(handle_.get(), FileBasicInfo, &info, sizeof info)) return LastError();
        FILE_BASIC_INFO change{};
        change.LastWriteTime.QuadPart = stamp.last_write;
        change.FileAttributes = (info.FileAttributes & ~kKeptAttributes) | stamp.attributes;
        if (change.FileAttributes == 0) change.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(handle_.get(), FileBasicInfo, &change, sizeof change)) return LastError();
        return {};
    }

    FsStatus PutInPlace(const std::wstring& target) override { return Rename(target, true); }
    FsStatus PutInPlaceIfFree(const std::wstring& target) override { return Rename(target, false); }

    // Where the name is free the file is renamed still marked, and the mark lifted once it
    // has the name: a program killed at any moment before leaves no working file (the
    // system removes it, under either name), and the document it was made from is still
    // there. Over an existing file (the user store's rewrite) the mark goes first, as a
    // file marked for deletion must not take the place of one that is to stay.
    FsStatus Rename(const std::wstring& target, bool replace) {
        if (!temporary_) return win::StatusOf(ERROR_INVALID_FUNCTION);
        flusher_.Stop();
        if (replace) {
            if (!Mark(handle_.get(), mark_, false)) return LastError();
            const DWORD err = RenameTo(target, true);
            if (err != ERROR_SUCCESS) {
                Mark(handle_.get(), mark_, true);  // still ours to remove
                return win::StatusOf(err);
            }
        } else {
            DWORD err = RenameTo(target, false);
            if (err != ERROR_SUCCESS && err != ERROR_ALREADY_EXISTS && err != ERROR_FILE_EXISTS &&
                mark_ == MarkKind::kDisposition) {
                // A file system that will not rename a file with a deletion pending: the
                // mark is lifted for the rename alone.
                if (!MarkForDeletion(handle_.get(), false)) return LastError();
                err = RenameTo(target, false);
                if (err != ERROR_SUCCESS) {
                    MarkForDeletion(handle_.get(), true);
                    return win::StatusOf(err);
                }
            } else if (err != ERROR_SUCCESS) {
                return win::StatusOf(err);
            } else if (!Mark(handle_.get(), mark_, false)) {
                // Renamed but still marked: closing removes it under its new name, and the
                // document it was made from stays as it was.
                return LastError();
            }
        }
        // No second flush: the content was flushed before, and the file system records the
        // new name in its journal before the removal of the source that follows it.
        temporary_ = false;
        return {};
    }

    // Renames the open file; the system's error code, ERROR_SUCCESS when renamed.
    DWORD RenameTo(const std::wstring& target, bool replace) {
        const std::wstring name = NtPath(target);
        std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = replace ? TRUE : FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
        std::copy(name.begin(), name.end(), rename->FileName);
        if (::SetFileInformationByHandle(handle_.get(), FileRenameInfo, rename, DWORD(buffer.size())))
            return ERROR_SUCCESS;
        const DWORD err = ::GetLastError();
        return err == ERROR_SUCCESS ? ERROR_WRITE_FAULT : err;
    }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    FsStatus Size(std::uint64_t* size) override {
        LARGE_INTEGER li{};
        if (!GetFileSizeEx(handle_.get(), &li)) return LastError();
        *size = std::uint64_t(li.QuadPart);
        return {};
    }

    FsStatus Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
        std::size_t done = 0;
        while (done < size) {
            const DWORD want = DWORD(size - done < kMaxIo ? size - done : kMaxIo);
            DWORD n = 0;
            if (!ReadFile(handle_.get(), data + done, want, &n, nullptr)) {
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
            if (!WriteFile(handle_.get(), data + done, want, &n, nullptr)) return LastError();
            if (n == 0) return win::StatusOf(ERROR_DISK_FULL);
            done += n;
        }
        if (durable_ && temporary_) flusher_.Written(size);
        return {};
    }

    FsStatus Flush() override {
        flusher_.Stop();
        if (durable_ && !FlushFileBuffers(handle_.get())) return LastError();
        return {};
    }

private:
    win::UniqueFile handle_;  // closed after the flusher has stopped
    bool durable_;
    bool temporary_;
    MarkKind mark_;
    BackgroundFlusher flusher_;
};

class Win32FileSystem final : public FileSystem {
public:
    explicit Win32FileSystem(bool durable) : durable_(durable) {}

    FsStatus Open(const std::wstring& path, OpenMode mode, std::unique_ptr<FileHandle>* file) override {
        const std::wstring p = Win32Path(path);
        HANDLE h;
        if (mode == OpenMode::kCreateTemporary) return CreateTemporary(p, file);
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

    FsStatus Recycle(const std::wstring& path, bool* recycled) override {
        *recycled = false;
        auto refused = [](const wchar_t* why) { return FsStatus{FsErrorKind::kOther, why}; };
        // The shell's delete takes short paths only; local fixed disks have a Recycle Bin,
        // removable and network drives none.
        const std::wstring full = FullPath(Win32Path(path));
        if (full.size() >= MAX_PATH || full.rfind(L"\\\\?\\", 0) == 0)
            return refused(L"Its path is too long for the Recycle Bin.");
        std::wstring root(MAX_PATH + 1, L'\0');
        if (!::GetVolumePathNameW(full.c_str(), root.data(), DWORD(root.size())))
            return refused(L"Its drive has no Recycle Bin.");
        if (::GetDriveTypeW(root.c_str()) != DRIVE_FIXED)
            return refused(L"Its drive has no Recycle Bin (a removable or network drive).");
        // Where the Recycle Bin cannot take a file (none on the drive, turned off, full, the
        // file too large for it) the shell deletes it for good without a word. A second name
        // for the same file, made first, keeps it: a file that went to the Recycle Bin still
        // has both names, one deleted for good is left with this one and gets its own back.
        // A program killed meanwhile leaves that name ("~kvkeep" and hex digits): never a
        // working file, never removed by Korvane, as it may be the file's only name.
        std::wstring keeper;
        for (int attempt = 0;; ++attempt) {
            const std::uint64_t mixed = (std::uint64_t(::GetTickCount64()) << 20) ^ ::GetCurrentProcessId() ^
                                        (std::uint64_t(attempt) * 0x9E3779B97F4A7C15ull);
            wchar_t name[32] = {};
            swprintf(name, 32, L"~kvkeep%08x.tmp", unsigned(mixed ^ (mixed >> 32)));
            keeper = full.substr(0, full.find_last_of(L'\\') + 1) + name;
            if (::CreateHardLinkW(keeper.c_str(), full.c_str(), nullptr)) break;
            if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt == 16)
                return refused(L"Korvane cannot make sure it could be restored from the Recycle Bin on this drive.");
        }
        std::wstring from = full;
        from.push_back(L'\0');  // the list ends with an empty name
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
        const int result = ::SHFileOperationW(&op);
        if (SUCCEEDED(com)) ::CoUninitialize();
        DWORD links = 0;
        {
            const win::UniqueFile h(CreateFileW(keeper.c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
            BY_HANDLE_FILE_INFORMATION info{};
            if (h && ::GetFileInformationByHandle(h.get(), &info)) links = info.nNumberOfLinks;
        }
        if (!Exists(path) && links >= 2) {
            ::DeleteFileW(keeper.c_str());
            *recycled = true;
            return {};
        }
        // Not in the Recycle Bin: the file keeps (or gets back) its name.
        if (Exists(path)) ::DeleteFileW(keeper.c_str());
        else ::MoveFileExW(keeper.c_str(), full.c_str(), 0);
        if (result != 0 || op.fAnyOperationsAborted) return refused(L"The Recycle Bin could not take it.");
        return refused(L"The Recycle Bin is missing, turned off or full.");
    }

    std::vector<std::wstring> FilesStartingWith(const std::wstring& folder, const std::wstring& prefix) override {
        std::vector<std::wstring> names;
        std::wstring pattern = folder;
        if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
        pattern += prefix + L"*";
        WIN32_FIND_DATAW data{};
        const win::FindHandle find(
            ::FindFirstFileExW(Win32Path(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
        if (!find) return names;
        do {
            const std::wstring name = data.cFileName;
            // The pattern also matches short 8.3 names: only long names that start so count.
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && win::StartsWithName(name, prefix))
                names.push_back(name);
        } while (::FindNextFileW(find.get(), &data));
        return names;
    }

    FsStatus CheckName(const std::wstring& path) override {
        const std::size_t start = NameStart(path);
        const std::size_t length = path.size() - start;
        // Every file system documents live on takes 255; only a longer name needs the
        // volume asked (which may be slow, on a network).
        if (path.size() >= 32000 || (length > 255 && length > MaxNameLength(path.substr(0, start))))
            return win::StatusOf(ERROR_FILENAME_EXCED_RANGE);
        return {};
    }

private:
    // A working file, marked for deletion from its first moment where the system allows it
    // (see MarkKind): if the program dies while the file is written, the system removes it.
    // PutInPlace lifts the mark.
    FsStatus CreateTemporary(const std::wstring& p, std::unique_ptr<FileHandle>* file) {
        constexpr DWORD kAccess = GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES;
        constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
        MarkKind kind = g_markKind.load();
        if (kind != MarkKind::kDisposition) {
            win::UniqueFile h(
                CreateFileW(p.c_str(), kAccess, 0, nullptr, CREATE_NEW, kFlags | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
            if (!h) return LastError();
            // The first working file tells whether this system can lift that mark again:
            // one that can also sets it through the same call.
            if (kind == MarkKind::kCreateFlag || SetDeleteOnClose(h.get(), true)) {
                g_markKind = MarkKind::kCreateFlag;
                *file = std::make_unique<Win32File>(h.release(), durable_, MarkKind::kCreateFlag);
                return {};
            }
            g_markKind = MarkKind::kDisposition;
            h.reset();  // closing removes it
        }
        win::UniqueFile h(CreateFileW(p.c_str(), kAccess, 0, nullptr, CREATE_NEW, kFlags, nullptr));
        if (!h) return LastError();
        if (!MarkForDeletion(h.get(), true)) {
            const FsStatus status = LastError();
            h.reset();
            DeleteFileW(p.c_str());
            return status;
        }
        *file = std::make_unique<Win32File>(h.release(), durable_, MarkKind::kDisposition);
        return {};
    }

    bool durable_;
};

}  // namespace

std::unique_ptr<FileSystem> MakePlatformFileSystem(bool durable) {
    return std::make_unique<Win32FileSystem>(durable);
}

}  // namespace kv
