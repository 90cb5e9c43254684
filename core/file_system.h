// The few file operations the document cipher needs, behind an interface so the
// same cipher runs on Win32 (the program) and on POSIX (native tests and the
// file-level benchmark), and so tests can make any step fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kv {

// Why an operation failed, in the terms a user is told.
enum class FsErrorKind {
    kNone,
    kNotFound,          // the file or its folder is gone
    kAccessDenied,      // read-only file or folder, or no rights
    kSharingViolation,  // open in another program
    kDiskFull,
    kAlreadyExists,
    kOther,
};

struct FsStatus {
    FsErrorKind kind = FsErrorKind::kNone;
    std::wstring text;  // the system's own wording, empty on success

    bool ok() const { return kind == FsErrorKind::kNone; }
    static FsStatus Ok() { return {}; }
};

// An open file. Closed when destroyed.
class FileHandle {
public:
    virtual ~FileHandle() = default;
    virtual FsStatus Size(std::uint64_t* size) = 0;
    // Reads from the current position; *got < size only at the end of the file.
    virtual FsStatus Read(std::uint8_t* data, std::size_t size, std::size_t* got) = 0;
    // Writes everything or fails.
    virtual FsStatus Write(const std::uint8_t* data, std::size_t size) = 0;
    // Pushes what was written to the disk itself.
    virtual FsStatus Flush() = 0;
};

enum class OpenMode {
    kReadWriteExisting,  // an existing file, read and write access, others may only read
    kCreateNew,          // a new file for writing; fails with kAlreadyExists if the name is taken
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual FsStatus Open(const std::wstring& path, OpenMode mode, std::unique_ptr<FileHandle>* file) = 0;
    // Moves `from` onto `to` in one step, replacing a file named `to`.
    virtual FsStatus Replace(const std::wstring& from, const std::wstring& to) = 0;
    virtual FsStatus Remove(const std::wstring& path) = 0;
    // True for an existing file (not a folder).
    virtual bool Exists(const std::wstring& path) = 0;
    virtual FsStatus Size(const std::wstring& path, std::uint64_t* size) = 0;
};

// The file system of the platform the program runs on: Win32 in Korvane.exe,
// POSIX in native builds. `durable` flushes reach the disk (fsync / Flush-
// FileBuffers); the native benchmark can turn that off to compare with cp.
std::unique_ptr<FileSystem> MakePlatformFileSystem(bool durable = true);

}  // namespace kv
