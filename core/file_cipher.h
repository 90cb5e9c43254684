// The document cipher at file level: encrypts a document into "<path>locked"
// and decrypts it back, through the FileSystem interface.
//
// A document is never transformed under its own name. The transformed bytes go
// to a temporary file beside it, which is flushed to disk and then moved onto
// the new name in one step (replacing an older file of that name); only then is
// the source removed. At every moment a complete original or a complete
// transformed copy exists, and any failure before the move leaves the source
// untouched and no temporary file behind.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/file_system.h"
#include "core/working_files.h"

namespace kv {

inline constexpr std::wstring_view LockedSuffix = L"locked";

// "C:\Papers\report.doc" -> "C:\Papers\report.doclocked".
std::wstring LockedPathOf(const std::wstring& path);
// True when the last six characters are exactly "locked" (case-sensitive).
bool IsLockedPath(const std::wstring& path);
// The path without its last six characters.
std::wstring PlainPathOf(const std::wstring& locked_path);

// Receives the progress reports of one document. The cipher reports after
// every 30th position; consecutive reports of the same value come as one call
// with their number, so a large document costs a few calls per block instead
// of one per report. Expanding each call into `times` reports of `percent`
// gives the exact sequence of reports.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void FileProgress(std::int32_t percent, std::uint64_t times) = 0;
};

// The report rhythm of one document: a report after positions 30, 60, ... up
// to `positions`, each of value floor(position * 100 / divisor). Encryption:
// positions = n, divisor = n - 3 (so the last values can exceed 100).
// Decryption: positions = divisor = n, the plain length. Nothing for n < 30.
class ProgressRhythm {
public:
    ProgressRhythm(std::uint64_t positions, std::uint64_t divisor);
    static ProgressRhythm ForEncryption(std::uint64_t plain_length);
    static ProgressRhythm ForDecryption(std::uint64_t plain_length);

    // Reports every position up to `done` not reported yet. `sink` may be null.
    void Advance(std::uint64_t done, ProgressSink* sink);

private:
    std::uint64_t positions_;
    std::uint64_t divisor_;
    std::uint64_t next_ = 30;
};

enum class CipherStep {
    kOpenDocument,     // opening the source for reading and writing (a read-only or locked document fails here)
    kCreateTemporary,  // creating the temporary file beside it
    kRead,
    kWrite,
    kFlush,
    kReplace,          // moving the temporary file onto the new name
    kNewName,          // the new name cannot exist on the volume (too long); checked before anything is written
    kNotEncrypted,     // a name ending in "locked" on content encryption never made (whole); left as it is
    kDeleteOriginal,   // the new file is in place but the source could not be removed: both are kept
    kCancelled,        // stopped on request in the middle of a large document; the source untouched
    kNameTaken,        // another file has the new name and cannot go to the Recycle Bin: it stays, nothing is done
};

struct CipherFailure {
    CipherStep step;
    std::wstring path;  // the file the failing step worked on
    FsStatus status;
};

struct CipherResult {
    std::wstring new_path;                 // the name the document has (or would have) after the operation
    std::optional<CipherFailure> failure;  // empty on success

    bool ok() const { return !failure.has_value(); }
};

struct CipherOptions {
    std::size_t block_size = std::size_t(1) << 20;
    // Each block goes to the new file in writes of at most this many bytes. Large reads
    // keep the calls few; moderate writes let the system keep the new file in memory it has
    // just used rather than in large fresh areas, which on a virtual machine may first have
    // to be fetched back from its host (1 MiB writes were up to five times slower there).
    std::size_t write_size = std::size_t(64) << 10;
    // A file held for a moment by another program (a virus scanner looking at
    // a new file) is tried again this many times, with this pause in between.
    int sharing_retries = 5;
    std::chrono::milliseconds sharing_pause{40};
    // Called on the cipher's thread the moment the new file has its name, before the
    // source is removed: what must be recorded about the change is recorded then, so that
    // no moment exists at which the source is gone and the change unrecorded.
    std::function<void()> in_place;
    // Set by another thread to stop. A document that fits in one block is finished; a
    // larger one is abandoned between two blocks (or before its flush): its working file
    // is removed, the source stays as it was, and the result is failure kCancelled.
    const std::atomic<bool>* cancel = nullptr;
    // The run's cleared folders; null: the document's folder is cleared for this document.
    WorkingFileSweep* sweep = nullptr;
};

// Encrypts `path` into LockedPathOf(path) and removes `path`. Progress goes to
// `progress` (null: no reports). Working files left behind in its folder that no
// running program holds are removed first (see WorkingFileSweep). The new file keeps the attributes and
// the last-write time of the old one. An older file of the new name goes to the
// Recycle Bin; where it cannot, it stays and the document is not processed (kNameTaken).
CipherResult EncryptDocument(FileSystem& fs, const std::wstring& path, ProgressSink* progress,
                             const CipherOptions& options = {});

// Decrypts `locked_path` (its name must end in "locked"; std::invalid_argument
// otherwise) into PlainPathOf(locked_path) and removes `locked_path`, as
// EncryptDocument does. An empty file is only renamed. A file that is not a whole
// encrypted document (one or two bytes, or its three last bytes do not decrypt to
// zeros: never encrypted, or cut short) is left as it is: failure kNotEncrypted.
CipherResult DecryptDocument(FileSystem& fs, const std::wstring& locked_path, ProgressSink* progress,
                             const CipherOptions& options = {});

// Deletes the file if it can; every failure is ignored.
void DeleteFileQuietly(FileSystem& fs, const std::wstring& path);

// A message for the user: what failed, the file, and why, lines joined by CR.
std::wstring DescribeCipherFailure(const CipherFailure& failure);

// Why the document was not processed, in a few words for a list of documents ("in use by
// another program", "not a complete encrypted document"): the cause when the system named
// one, else the failure's own text, else what failed.
std::wstring CipherFailureReason(const CipherFailure& failure);

}  // namespace kv
