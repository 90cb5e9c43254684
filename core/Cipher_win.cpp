#include "core/Cipher.h"

#include <memory>

#include "core/Globals.h"
#include "ui/frmProgress.h"
#include "win/app.h"
#include "win/dialogs.h"

namespace kv {
namespace {

constexpr int kPausePasses = 6;

FileSystem*& OverrideFs() {
    static FileSystem* fs = nullptr;
    return fs;
}

// Passes the cipher's batched reports on to the progress window, if one is loaded.
// A window that is not loaded is not loaded for the reports: a hidden progress window
// would keep the program alive after its last visible window closed.
class ProgressAdapter final : public ProgressSink {
public:
    void StartNewFile(const std::wstring& path) {
        if (frmProgress* window = win::LoadedForm<frmProgress>()) window->StartNewFile(path);
    }
    void FileProgress(std::int32_t percent, std::uint64_t times) override {
        if (frmProgress* window = win::LoadedForm<frmProgress>()) window->FileProgress(percent, times);
    }
};

void Refuse(const std::wstring& path, const wchar_t* what) {
    win::MsgBox(std::wstring(L"Error Processing File: ") + win::CR + path + win::CR +
                L"You do not have permission to " + what + L" files.");
}

// The document passes through four stages after its transform (closed, old target gone,
// new name written, original gone), each followed by a pause that lets the windows
// work. The file-level cipher does the middle ones in one step, so the pauses follow it.
void PauseAfterTransform() {
    for (int stage = 0; stage < 4; ++stage) win::DoEvents(kPausePasses);
}

CipherRun Finish(CipherResult result) {
    CipherRun run;
    run.newPath = std::move(result.new_path);
    run.failure = std::move(result.failure);
    if (run.failure && run.failure->step != CipherStep::kDeleteOriginal) {
        run.outcome = CipherOutcome::kFailed;
        return run;
    }
    run.outcome = CipherOutcome::kTransformed;
    PauseAfterTransform();
    return run;
}

CipherRun Refused(std::wstring newPath) {
    CipherRun run;
    run.outcome = CipherOutcome::kRefused;
    run.newPath = std::move(newPath);
    return run;
}

}  // namespace

FileSystem& CipherFileSystem() {
    if (FileSystem* fs = OverrideFs()) return *fs;
    static std::unique_ptr<FileSystem> platform = MakePlatformFileSystem(true);
    return *platform;
}

FileSystem* SetCipherFileSystem(FileSystem* fs) {
    FileSystem* previous = OverrideFs();
    OverrideFs() = fs;
    return previous;
}

CipherRun EncryptFile(const std::wstring& path) {
    if (!Globals::CurrentUserRecord().AllowEncrypt) {
        Refuse(path, L"encrypt");
        return Refused(path);
    }
    ProgressAdapter progress;
    const bool report = Globals::ShowProgress;
    if (report) progress.StartNewFile(path);
    return Finish(EncryptDocument(CipherFileSystem(), path, report ? &progress : nullptr));
}

CipherRun DecryptFile(const std::wstring& path) {
    if (!Globals::CurrentUserRecord().AllowDecrypt) {
        Refuse(path, L"decrypt");
        return Refused(path);
    }
    ProgressAdapter progress;
    progress.StartNewFile(path);
    if (!IsLockedPath(path)) {
        // Only the pipeline calls this, and only for such names; anything else is not an
        // encrypted document and is left alone.
        CipherRun run;
        run.newPath = path;
        run.failure = CipherFailure{CipherStep::kOpenDocument, path, {FsErrorKind::kOther, L"The file name does not end in \"locked\"."}};
        return run;
    }
    return Finish(DecryptDocument(CipherFileSystem(), path, &progress));
}

void DeleteFileQuietly(const std::wstring& path) { DeleteFileQuietly(CipherFileSystem(), path); }

std::wstring CipherFailureMessage(const std::wstring& document, const CipherFailure& failure) {
    CipherFailure shown = failure;
    // The temporary file beside the document means nothing to the user: name the
    // document instead.
    if (failure.step == CipherStep::kCreateTemporary || failure.step == CipherStep::kWrite ||
        failure.step == CipherStep::kFlush)
        shown.path = document;
    return std::wstring(L"Error Processing File: ") + win::CR + DescribeCipherFailure(shown);
}

}  // namespace kv
