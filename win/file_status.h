// What became of a file operation, in the terms a user is told: one type for the programs'
// own file functions (win/files.h) and for the document cipher's file system, which also
// builds natively, so this header has no window code.
#pragma once

#include <cstdint>
#include <string>

namespace kv::win {

enum class FsErrorKind {
    kNone,
    kNotFound,          // the file or its folder is gone
    kAccessDenied,      // read-only file or folder, or no rights
    kSharingViolation,  // open in another program
    kDiskFull,
    kAlreadyExists,
    kNameTooLong,       // a name longer than the file system allows
    kOther,
};

struct FsStatus {
    FsErrorKind kind = FsErrorKind::kNone;
    std::wstring text;      // what went wrong, in the words the user is shown; empty on success
    std::uint32_t code = 0; // the system's own error number (Win32, or errno natively)

    bool ok() const { return kind == FsErrorKind::kNone; }
};

}  // namespace kv::win
