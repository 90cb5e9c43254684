// POSIX file system for native builds: the cipher's tests and its benchmark.
#ifndef _WIN32

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file_system.h"

namespace kv {
namespace {

// wchar_t holds whole code points here; encode them as UTF-8.
std::string ToUtf8(const std::wstring& wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t wc : wide) {
        // A negative wchar_t lands above 0x10FFFF and is replaced.
        auto c = static_cast<std::uint32_t>(wc);  // NOLINT(bugprone-signed-char-misuse)
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

FsStatus FromErrno(int err) {
    FsStatus s;
    switch (err) {
        case ENOENT:
        case ENOTDIR: s.kind = FsErrorKind::kNotFound; break;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: s.kind = FsErrorKind::kAccessDenied; break;
        case ETXTBSY:
        case EBUSY: s.kind = FsErrorKind::kSharingViolation; break;
        case ENOSPC:
        case EDQUOT: s.kind = FsErrorKind::kDiskFull; break;
        case ENAMETOOLONG: s.kind = FsErrorKind::kNameTooLong; break;
        case EEXIST: s.kind = FsErrorKind::kAlreadyExists; break;
        default: s.kind = FsErrorKind::kOther; break;
    }
    s.code = static_cast<std::uint32_t>(err);
    const char* text = std::strerror(err);  // plain ASCII in the C and English locales
    s.text.assign(text, text + std::strlen(text));
    return s;
}

std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        std::uint32_t c = len == 1 ? b : b & (0x7F >> len);
        for (std::size_t k = 1; k < len && i + k < text.size(); ++k) c = c << 6 | (text[i + k] & 0x3F);
        out += wchar_t(c);
        i += len;
    }
    return out;
}

void SyncFolder(const std::string& path) {
    const int fd = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

class PosixFile final : public FileHandle {
public:
    PosixFile(int fd, bool durable, std::string temporary = {})
        : fd_(fd), durable_(durable), temporary_(std::move(temporary)) {}
    // POSIX has no file that removes itself when its program dies; a working file
    // is at least removed when it is closed without being kept.
    ~PosixFile() override {
        ::close(fd_);
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
    }

    FsStatus GetStamp(FileStamp* stamp) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return FromErrno(errno);
        stamp->valid = true;
        stamp->attributes = 0;
        stamp->last_write = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return {};
    }

    FsStatus SetStamp(const FileStamp& stamp) override {
        if (!stamp.valid) return {};
        struct timespec times[2] = {};
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = stamp.last_write / 1000000000;
        times[1].tv_nsec = stamp.last_write % 1000000000;
        if (::futimens(fd_, times) != 0) return FromErrno(errno);
        return {};
    }

    FsStatus PutInPlace(const std::wstring& target) override {
        if (temporary_.empty()) return FromErrno(EINVAL);
        const std::string to = ToUtf8(target);
        if (::rename(temporary_.c_str(), to.c_str()) != 0) return FromErrno(errno);
        temporary_.clear();
        if (durable_) SyncFolder(to);
        return {};
    }

    FsStatus Size(std::uint64_t* size) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return FromErrno(errno);
        *size = std::uint64_t(st.st_size);
        return {};
    }

    FsStatus Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd_, data + done, size - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                *got = done;
                return FromErrno(errno);
            }
            if (n == 0) break;
            done += std::size_t(n);
        }
        *got = done;
        return {};
    }

    FsStatus Write(const std::uint8_t* data, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd_, data + done, size - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return FromErrno(errno);
            }
            done += std::size_t(n);
        }
        StartWriteback(size);
        return {};
    }

    FsStatus Flush() override {
        if (durable_ && ::fsync(fd_) != 0) return FromErrno(errno);
        return {};
    }

private:
    // A file that will be flushed has what was written to it sent on to the disk every few
    // mebibytes, without waiting, so the disk works while the rest is still being written
    // and the flush at the end finds little left to do.
    void StartWriteback(std::size_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
        if (!durable_) return;
        written_ += size;
        if (written_ - sent_ < kWritebackChunk) return;
        ::sync_file_range(fd_, off_t(sent_), off_t(written_ - sent_), SYNC_FILE_RANGE_WRITE);
        sent_ = written_;
#else
        (void)size;
#endif
    }

    static constexpr std::uint64_t kWritebackChunk = std::uint64_t(8) << 20;
    int fd_;
    bool durable_;
    std::string temporary_;  // the name of a working file not yet kept
    std::uint64_t written_ = 0;  // bytes written from the start (the cipher writes in order)
    std::uint64_t sent_ = 0;     // of those, the ones already sent on to the disk
};

class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(bool durable) : durable_(durable) {}

    FsStatus Open(const std::wstring& path, OpenMode mode, std::unique_ptr<FileHandle>* file) override {
        const std::string p = ToUtf8(path);
        const int flags =
            mode == OpenMode::kReadWriteExisting ? O_RDWR | O_CLOEXEC : O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
        int fd;
        do fd = ::open(p.c_str(), flags, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) return FromErrno(errno);
        if (mode == OpenMode::kReadWriteExisting) {
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
                ::close(fd);
                return FromErrno(EISDIR);
            }
#ifdef POSIX_FADV_SEQUENTIAL
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
        }
        *file = std::make_unique<PosixFile>(fd, durable_, mode == OpenMode::kCreateTemporary ? p : std::string());
        return {};
    }

    FsStatus Remove(const std::wstring& path) override {
        const std::string p = ToUtf8(path);
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FromErrno(EISDIR);
        if (::unlink(p.c_str()) != 0) return FromErrno(errno);
        SyncFolderOf(p);
        return {};
    }

    bool Exists(const std::wstring& path) override {
        struct stat st {};
        return ::stat(ToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    FsStatus Size(const std::wstring& path, std::uint64_t* size) override {
        struct stat st {};
        if (::stat(ToUtf8(path).c_str(), &st) != 0) return FromErrno(errno);
        *size = std::uint64_t(st.st_size);
        return {};
    }

    // No Recycle Bin here.
    FsStatus Recycle(const std::wstring&, bool* recycled) override {
        *recycled = false;
        return {FsErrorKind::kOther, L"There is no Recycle Bin here."};
    }

    std::vector<std::wstring> FilesStartingWith(const std::wstring& folder, const std::wstring& prefix) override {
        std::vector<std::wstring> names;
        const std::string start = ToUtf8(prefix);
        DIR* dir = ::opendir(ToUtf8(folder).c_str());
        if (!dir) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.compare(0, start.size(), start) == 0) names.push_back(FromUtf8(name));
        }
        ::closedir(dir);
        return names;
    }

    FsStatus CheckName(const std::wstring& path) override {
        const std::string p = ToUtf8(path);
        const auto slash = p.find_last_of('/');
        const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        long max = ::pathconf(Folder(p).c_str(), _PC_NAME_MAX);
        if (max <= 0) max = 255;
        if (name.size() > std::size_t(max)) return FromErrno(ENAMETOOLONG);
        return {};
    }

private:
    // A rename or unlink is durable once the folder itself is synced.
    void SyncFolderOf(const std::string& path) {
        if (durable_) SyncFolder(path);
    }

    bool durable_;
};

}  // namespace

std::unique_ptr<FileSystem> MakePlatformFileSystem(bool durable) {
    return std::make_unique<PosixFileSystem>(durable);
}

}  // namespace kv

#endif  // _WIN32
