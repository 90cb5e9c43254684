#include "core/file_cipher.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>

#include "core/block_writer.h"
#include "core/paths.h"
#include "core/transform.h"

namespace kv {
namespace {

constexpr std::uint32_t kDocumentDelta = 1;
constexpr std::uint64_t kReportEvery = 30;

enum class Direction { kEncrypt, kDecrypt };

// Runs a file-system call again while another program holds the file.
template <typename Call>
FsStatus WithRetries(const CipherOptions& options, Call call) {
    FsStatus status = call();
    for (int attempt = 0; attempt < options.sharing_retries && status.kind == FsErrorKind::kSharingViolation;
         ++attempt) {
        if (options.sharing_pause.count() > 0) std::this_thread::sleep_for(options.sharing_pause);
        status = call();
    }
    return status;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t start = NameStart(path);
    if (start == 0) return L".";
    std::wstring folder = path.substr(0, start - 1);
    if (folder.empty() || folder.back() == L':') folder = path.substr(0, start);  // "/" or "C:\"
    return folder;
}

FsStatus Changed() {
    return {FsErrorKind::kOther, L"The file changed while it was being read."};
}

CipherResult Transform(FileSystem& fs, const std::wstring& source, const std::wstring& target, Direction direction,
                       ProgressSink* progress, const CipherOptions& options) {
    CipherResult result;
    result.new_path = target;
    auto fail = [&](CipherStep step, const std::wstring& path, FsStatus status) {
        result.failure = CipherFailure{step, path, std::move(status)};
        return result;
    };
    const bool encrypt = direction == Direction::kEncrypt;
    const std::wstring& plain_path = encrypt ? source : target;

    // The source is opened for reading and writing, as the transform in place
    // once did: a read-only document, or one another program has open, fails
    // here, before anything is written.
    std::unique_ptr<FileHandle> in;
    FsStatus status = WithRetries(options, [&] { return fs.Open(source, OpenMode::kReadWriteExisting, &in); });
    if (!status.ok()) return fail(CipherStep::kOpenDocument, source, status);
    std::uint64_t length = 0;
    status = in->Size(&length);
    if (!status.ok()) return fail(CipherStep::kRead, source, status);
    FileStamp stamp;
    if (!in->GetStamp(&stamp).ok()) stamp.valid = false;

    status = fs.CheckName(target);
    if (!status.ok()) return fail(CipherStep::kNewName, target, status);
    // Encryption makes every document of one byte or more at least four bytes long, and an
    // empty one stays empty: one or two bytes under an encrypted name are no encrypted
    // document, whole or cut short.
    if (!encrypt && length > 0 && length < 3) return fail(CipherStep::kNotEncrypted, source, {FsErrorKind::kOther, {}});

    // Working files that runs which died left in this folder (before the system marked
    // them, or after a power cut) go, whichever document they were made from.
    if (options.sweep) options.sweep->Sweep(fs, FolderOf(plain_path));
    else WorkingFileSweep::SweepFolder(fs, FolderOf(plain_path));

    std::wstring temp_path;
    std::unique_ptr<FileHandle> out;
    status = CreateWorkingFile(
        target, plain_path,
        [&](const std::wstring& name) {
            return WithRetries(options, [&] { return fs.Open(name, OpenMode::kCreateTemporary, &out); });
        },
        &temp_path);
    if (!status.ok()) return fail(CipherStep::kCreateTemporary, temp_path, status);
    // Closing the working file before PutInPlace removes it.
    auto fail_and_clean = [&](CipherStep step, const std::wstring& path, FsStatus s) {
        out.reset();
        in.reset();
        DeleteFileQuietly(fs, temp_path);
        return fail(step, path, std::move(s));
    };

    // Encryption transforms all n bytes and appends three. Decryption transforms
    // the first n = L - 3 and checks that the last three come out as zeros; an empty
    // file is copied as it is.
    const bool transform = encrypt || length >= 3;
    const std::uint64_t payload = encrypt || !transform ? length : length - 3;
    ProgressRhythm rhythm = !transform ? ProgressRhythm(0, 0)
                            : encrypt  ? ProgressRhythm::ForEncryption(payload)
                                       : ProgressRhythm::ForDecryption(payload);
    ForwardWordStream forward(kDocumentDelta);
    BackwardWordStream backward(kDocumentDelta);

    // The blocks go through a short pipeline: this thread reads and transforms the next
    // block while another writes this one, so the disk never waits for the transform.
    const std::size_t block = std::max<std::size_t>(options.block_size, 1);
    BlockWriter writer(
        *out, [&](std::uint64_t written) { rhythm.Advance(written, progress); }, options.write_size, payload > block);
    // Only a document of several blocks can be abandoned: a smaller one is done sooner than
    // its clean-up would be.
    const bool abandonable = options.cancel != nullptr && payload > block;
    auto cancelled = [&] { return abandonable && options.cancel->load(std::memory_order_relaxed); };
    std::uint64_t done = 0;
    while (done < payload) {
        if (done > 0 && cancelled()) {
            writer.Stop();
            return fail_and_clean(CipherStep::kCancelled, source, {});
        }
        // A small document gets a buffer of its own size: a whole block, zeroed for each of
        // hundreds of small documents, costs more than their file work.
        std::uint8_t* buffer = writer.FreeBuffer(std::size_t(std::min<std::uint64_t>(block, payload)) + 3);
        if (!buffer) break;  // a write failed: the writer tells which below
        const std::size_t want = std::size_t(std::min<std::uint64_t>(block, payload - done));
        std::size_t got = 0;
        status = in->Read(buffer, want, &got);
        if (status.ok() && got != want) status = Changed();
        if (!status.ok()) {
            writer.Stop();
            return fail_and_clean(CipherStep::kRead, source, status);
        }
        if (transform) {
            if (encrypt) forward.Process(buffer, got);
            else backward.Process(buffer, got);
        }
        done += got;
        std::size_t size = got;
        if (encrypt && done == payload) size += forward.Finish(buffer + got);
        writer.Submit(size, done);
    }
    status = writer.Finish();
    if (!status.ok()) return fail_and_clean(CipherStep::kWrite, temp_path, status);

    if (!encrypt && transform) {
        std::uint8_t tail[3] = {};
        std::uint8_t cut[3] = {};
        std::size_t got = 0;
        status = in->Read(tail, 3, &got);
        if (status.ok() && got != 3) status = Changed();
        if (!status.ok()) return fail_and_clean(CipherStep::kRead, source, status);
        backward.Finish(tail, cut);
        if (cut[0] != 0 || cut[1] != 0 || cut[2] != 0)
            return fail_and_clean(CipherStep::kNotEncrypted, source, {FsErrorKind::kOther, {}});
    }

    // The new file is the old document in another form: it keeps its attributes and time,
    // set before the flush so that one flush takes them to the disk with the content.
    if (cancelled()) return fail_and_clean(CipherStep::kCancelled, source, {});
    if (stamp.valid) out->SetStamp(stamp);
    status = out->Flush();
    if (!status.ok()) return fail_and_clean(CipherStep::kFlush, temp_path, status);
    in.reset();

    // The new file takes its name in one step where the name is free (nearly always). A file
    // already there goes to the Recycle Bin, from where the user can get it back; one that
    // cannot go there is never replaced, and this document is not processed.
    auto put_in_place = [&] {
        FsStatus s = WithRetries(options, [&] { return out->PutInPlaceIfFree(target); });
        // A platform that cannot tell in the same step: the name is free when nothing is there.
        if (s.kind == FsErrorKind::kAlreadyExists && !fs.Exists(target))
            s = WithRetries(options, [&] { return out->PutInPlace(target); });
        return s;
    };
    status = put_in_place();
    if (status.kind == FsErrorKind::kAlreadyExists) {
        bool recycled = false;
        FsStatus why = fs.Recycle(target, &recycled);
        if (!recycled) {
            if (why.ok()) why = {FsErrorKind::kOther, {}};
            return fail_and_clean(CipherStep::kNameTaken, target, why);
        }
        status = put_in_place();
    }
    if (!status.ok()) return fail_and_clean(CipherStep::kReplace, target, status);
    out.reset();
    if (options.in_place) options.in_place();

    // Both names now hold a complete document. A source that cannot be removed
    // is reported: for encryption, a plain copy would otherwise stay behind
    // while the user is told it was protected.
    status = WithRetries(options, [&] { return fs.Remove(source); });
    if (!status.ok() && status.kind != FsErrorKind::kNotFound)
        return fail(CipherStep::kDeleteOriginal, source, status);
    return result;
}

}  // namespace

std::wstring LockedPathOf(const std::wstring& path) {
    std::wstring locked;
    locked.reserve(path.size() + LockedSuffix.size());
    locked.append(path).append(LockedSuffix);
    return locked;
}

bool IsLockedPath(const std::wstring& path) {
    return path.size() >= LockedSuffix.size() &&
           std::wstring_view(path).substr(path.size() - LockedSuffix.size()) == LockedSuffix;
}

std::wstring PlainPathOf(const std::wstring& locked_path) {
    return locked_path.substr(0, locked_path.size() - std::min(locked_path.size(), LockedSuffix.size()));
}

ProgressRhythm::ProgressRhythm(std::uint64_t positions, std::uint64_t divisor)
    : positions_(divisor == 0 ? 0 : positions), divisor_(divisor) {}

ProgressRhythm ProgressRhythm::ForEncryption(std::uint64_t plain_length) {
    return {plain_length, plain_length >= 3 ? plain_length - 3 : 0};
}

ProgressRhythm ProgressRhythm::ForDecryption(std::uint64_t plain_length) { return {plain_length, plain_length}; }

void ProgressRhythm::Advance(std::uint64_t done, ProgressSink* sink) {
    const std::uint64_t last = std::min(done, positions_);
    while (next_ <= last) {
        // floor(next * 100 / divisor) in whole numbers equals the floating-point
        // quotient rounded down for any length a disk can hold: a quotient that
        // is not whole stays at least 1/divisor away from the next whole number.
        const std::uint64_t value = next_ * 100 / divisor_;
        // The last reporting position that still has this value.
        std::uint64_t end = std::min(((value + 1) * divisor_ - 1) / 100, last);
        end -= end % kReportEvery;
        const std::uint64_t times = (end - next_) / kReportEvery + 1;
        if (sink) sink->FileProgress(std::int32_t(value), times);
        next_ = end + kReportEvery;
    }
}

CipherResult EncryptDocument(FileSystem& fs, const std::wstring& path, ProgressSink* progress,
                             const CipherOptions& options) {
    return Transform(fs, path, LockedPathOf(path), Direction::kEncrypt, progress, options);
}

CipherResult DecryptDocument(FileSystem& fs, const std::wstring& locked_path, ProgressSink* progress,
                             const CipherOptions& options) {
    if (!IsLockedPath(locked_path)) throw std::invalid_argument("not the name of an encrypted document");
    return Transform(fs, locked_path, PlainPathOf(locked_path), Direction::kDecrypt, progress, options);
}

void DeleteFileQuietly(FileSystem& fs, const std::wstring& path) {
    try {
        fs.Remove(path);
    } catch (...) {
    }
}

std::wstring DescribeCipherFailure(const CipherFailure& failure) {
    std::wstring what;
    switch (failure.step) {
        case CipherStep::kOpenDocument: what = L"The file could not be opened."; break;
        case CipherStep::kCreateTemporary: what = L"A new file could not be created beside it."; break;
        case CipherStep::kRead: what = L"The file could not be read."; break;
        case CipherStep::kWrite: what = L"The new file could not be written."; break;
        case CipherStep::kFlush: what = L"The new file could not be saved to the disk."; break;
        case CipherStep::kReplace: what = L"The new file could not be given its name."; break;
        case CipherStep::kNewName: what = L"The file could not be given its new name."; break;
        case CipherStep::kNotEncrypted:
            return failure.path + L'\r' +
                   L"This file is not a complete encrypted document: its name ends in \"locked\", but its content "
                   L"is not what encryption makes of a document (never encrypted, or cut short). It was left as it is.";
        case CipherStep::kDeleteOriginal: what = L"The file could not be removed after it was processed; both files are kept."; break;
        case CipherStep::kCancelled: return failure.path + L'\r' + L"The processing was cancelled. The file was left as it is.";
        case CipherStep::kNameTaken: {
            std::wstring text = L"Another file already has the new name, and it cannot be moved to the Recycle Bin:" +
                                std::wstring(1, L'\r') + failure.path;
            if (!failure.status.text.empty()) text += L'\r' + failure.status.text;
            return text + L'\r' + L"It was left as it is, and this document was not processed.";
        }
    }
    std::wstring why;
    switch (failure.status.kind) {
        case FsErrorKind::kNotFound: why = L"The file or its folder no longer exists."; break;
        case FsErrorKind::kAccessDenied: why = L"The file or its folder is read-only, or access is denied."; break;
        case FsErrorKind::kSharingViolation: why = L"The file is open in another program."; break;
        case FsErrorKind::kDiskFull: why = L"The disk is full."; break;
        case FsErrorKind::kNameTooLong: why = L"The name is too long for the file system."; break;
        default: break;
    }
    std::wstring text = what + L'\r' + failure.path;
    if (!why.empty()) text += L'\r' + why;
    if (!failure.status.text.empty() && failure.status.text != why) text += L'\r' + failure.status.text;
    return text;
}

std::wstring CipherFailureReason(const CipherFailure& failure) {
    switch (failure.step) {
        case CipherStep::kNotEncrypted: return L"not a complete encrypted document";
        case CipherStep::kCancelled: return L"the processing was cancelled";
        default: break;
    }
    std::wstring why;
    switch (failure.status.kind) {
        case FsErrorKind::kNotFound: why = L"not found any more"; break;
        case FsErrorKind::kAccessDenied: why = L"read-only, or access is denied"; break;
        case FsErrorKind::kSharingViolation: why = L"in use by another program"; break;
        case FsErrorKind::kDiskFull: why = L"the disk is full"; break;
        case FsErrorKind::kNameTooLong: why = L"the new name is too long for the file system"; break;
        default: break;
    }
    if (why.empty()) why = failure.status.text;
    if (why.empty()) {
        // The first line of the full message says what failed.
        CipherFailure bare = failure;
        bare.path.clear();
        bare.status = {};
        why = DescribeCipherFailure(bare);
        why.resize(std::min(why.size(), why.find(L'\r')));
    }
    if (why.empty()) why = L"it could not be processed";
    // System texts end in a full stop and a line end, and may hold several lines: a list
    // line holds one.
    for (wchar_t& c : why)
        if (c == L'\r' || c == L'\n') c = L' ';
    while (!why.empty() && (why.back() == L' ' || why.back() == L'.')) why.pop_back();
    if (failure.step == CipherStep::kDeleteOriginal) why = L"processed, but the original could not be removed (" + why + L")";
    return why;
}

}  // namespace kv
