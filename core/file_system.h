// The few file operations the document cipher needs, behind an interface so the
// same cipher runs on Win32 (the program) and on POSIX (native tests and the
// file-level benchmark), and so tests can make any step fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "win/file_status.h"

namespace kv {

using win::FsErrorKind;
using win::FsStatus;

// What a document keeps when it is rewritten: its attributes (hidden, system,
// archive; never read-only) and the time it was last written, in the platform's
// own terms.
struct FileStamp {
    bool valid = false;
    std::uint32_t attributes = 0;
    std::int64_t last_write = 0;
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
    virtual FsStatus GetStamp(FileStamp* stamp) = 0;
    // Gives the file those attributes and that last-write time (after the last write).
    virtual FsStatus SetStamp(const FileStamp& stamp) = 0;
    // Only for a file opened with kCreateTemporary: keeps it, and gives it the name
    // `target` in one step, replacing a file of that name.
    virtual FsStatus PutInPlace(const std::wstring& target) = 0;
    // As PutInPlace, but only where no file has the name `target`: kAlreadyExists when one
    // has (or when the platform cannot tell in the same step; the file is then unchanged).
    virtual FsStatus PutInPlaceIfFree(const std::wstring& /*target*/) { return {FsErrorKind::kAlreadyExists, {}}; }
};

enum class OpenMode {
    kReadWriteExisting,  // an existing file, read and write access, others may only read
    kCreateNew,          // a new file for writing; fails with kAlreadyExists if the name is taken
    // As kCreateNew, but the file is removed by the system when it is closed, or when the
    // program dies, unless PutInPlace has kept it.
    kCreateTemporary,
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual FsStatus Open(const std::wstring& path, OpenMode mode, std::unique_ptr<FileHandle>* file) = 0;
    virtual FsStatus Remove(const std::wstring& path) = 0;
    // True for an existing file (not a folder).
    virtual bool Exists(const std::wstring& path) = 0;
    virtual FsStatus Size(const std::wstring& path, std::uint64_t* size) = 0;
    // Moves the file to the Recycle Bin, from where the user can restore it (*recycled
    // true). Where it cannot go there, nothing is changed, *recycled is false and the
    // status's text says why; the file is never deleted for good.
    virtual FsStatus Recycle(const std::wstring& path, bool* recycled) = 0;
    // The names (without folder) of the files in `folder` whose names start with `prefix`.
    virtual std::vector<std::wstring> FilesStartingWith(const std::wstring& folder, const std::wstring& prefix) = 0;
    // kNameTooLong when a file could not carry this name on its volume.
    virtual FsStatus CheckName(const std::wstring& path) = 0;
};

// The file system of the platform the program runs on: Win32 in Korvane.exe,
// POSIX in native builds. `durable` flushes reach the disk (fsync / Flush-
// FileBuffers); the native benchmark can turn that off to compare with cp.
std::unique_ptr<FileSystem> MakePlatformFileSystem(bool durable = true);

}  // namespace kv
