#include "core/file_cipher.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

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

std::wstring Hex(std::uint64_t v) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), kDigits[v & 15]);
        v >>= 4;
    } while (v != 0);
    return out;
}

// Creates a fresh temporary file beside `target`.
FsStatus CreateTemporary(FileSystem& fs, const std::wstring& target, const CipherOptions& options,
                         std::wstring* temp_path, std::unique_ptr<FileHandle>* file) {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    FsStatus status;
    for (int attempt = 0; attempt < 32; ++attempt) {
        const std::uint64_t tag = (now ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull)) & 0xFFFFFFFFull;
        *temp_path = target + L".~kv" + Hex(tag) + L".tmp";
        status = WithRetries(options, [&] { return fs.Open(*temp_path, OpenMode::kCreateNew, file); });
        if (status.kind != FsErrorKind::kAlreadyExists) break;
    }
    return status;
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

    // The source is opened for reading and writing, as the transform in place
    // once did: a read-only document, or one another program has open, fails
    // here, before anything is written.
    std::unique_ptr<FileHandle> in;
    FsStatus status = WithRetries(options, [&] { return fs.Open(source, OpenMode::kReadWriteExisting, &in); });
    if (!status.ok()) return fail(CipherStep::kOpenDocument, source, status);
    std::uint64_t length = 0;
    status = in->Size(&length);
    if (!status.ok()) return fail(CipherStep::kRead, source, status);

    std::wstring temp_path;
    std::unique_ptr<FileHandle> out;
    status = CreateTemporary(fs, target, options, &temp_path, &out);
    if (!status.ok()) return fail(CipherStep::kCreateTemporary, temp_path, status);
    auto fail_and_clean = [&](CipherStep step, const std::wstring& path, FsStatus s) {
        out.reset();
        in.reset();
        DeleteFileQuietly(fs, temp_path);
        return fail(step, path, std::move(s));
    };

    // Encryption transforms all n bytes and appends three. Decryption reads the
    // first n = L - 3 and never needs the last three; fewer than three bytes are
    // copied as they are.
    const bool encrypt = direction == Direction::kEncrypt;
    const bool transform = encrypt || length >= 3;
    const std::uint64_t payload = encrypt || !transform ? length : length - 3;
    ProgressRhythm rhythm = !transform ? ProgressRhythm(0, 0)
                            : encrypt  ? ProgressRhythm::ForEncryption(payload)
                                       : ProgressRhythm::ForDecryption(payload);
    ForwardWordStream forward(kDocumentDelta);
    BackwardWordStream backward(kDocumentDelta);

    const std::size_t block = std::max<std::size_t>(options.block_size, 1);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[block + 3]);
    std::uint64_t done = 0;
    while (done < payload) {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(block, payload - done));
        std::size_t got = 0;
        status = in->Read(buffer.get(), want, &got);
        if (status.ok() && got != want) status = Changed();
        if (!status.ok()) return fail_and_clean(CipherStep::kRead, source, status);
        if (transform) {
            if (encrypt) forward.Process(buffer.get(), got);
            else backward.Process(buffer.get(), got);
        }
        done += got;
        std::size_t size = got;
        if (encrypt && done == payload) size += forward.Finish(buffer.get() + got);
        status = out->Write(buffer.get(), size);
        if (!status.ok()) return fail_and_clean(CipherStep::kWrite, temp_path, status);
        rhythm.Advance(done, progress);
    }

    status = out->Flush();
    if (!status.ok()) return fail_and_clean(CipherStep::kFlush, temp_path, status);
    out.reset();
    in.reset();

    status = WithRetries(options, [&] { return fs.Replace(temp_path, target); });
    if (!status.ok()) return fail_and_clean(CipherStep::kReplace, target, status);

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
        case CipherStep::kDeleteOriginal: what = L"The file could not be removed after it was processed; both files are kept."; break;
    }
    std::wstring why;
    switch (failure.status.kind) {
        case FsErrorKind::kNotFound: why = L"The file or its folder no longer exists."; break;
        case FsErrorKind::kAccessDenied: why = L"The file or its folder is read-only, or access is denied."; break;
        case FsErrorKind::kSharingViolation: why = L"The file is open in another program."; break;
        case FsErrorKind::kDiskFull: why = L"The disk is full."; break;
        default: break;
    }
    std::wstring text = what + L'\r' + failure.path;
    if (!why.empty()) text += L'\r' + why;
    if (!failure.status.text.empty() && failure.status.text != why) text += L'\r' + failure.status.text;
    return text;
}

}  // namespace kv
