#include "app/Cipher.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "core/ActionLog.h"
#include "core/Globals.h"
#include "core/action_log.h"
#include "ui/frmProgress.h"
#include "users/AppFunctions.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"
#include "win/handle.h"

namespace kv {
namespace {

constexpr int kPausePasses = 6;
// How long a document runs before its progress reports go to the window thread.
constexpr ULONGLONG kFirstDeliveryMs = 30;

FileSystem*& OverrideFs() {
    static FileSystem* fs = nullptr;
    return fs;
}

// The folders the current run has cleared of working files; replaced at each run's start.
std::unique_ptr<WorkingFileSweep>& RunSweep() {
    static std::unique_ptr<WorkingFileSweep> sweep = std::make_unique<WorkingFileSweep>();
    return sweep;
}

// The thread the documents are transformed on: started with the first document and kept
// for the rest of the program, so a run of many small documents does not start a thread for
// each. One document at a time; the window thread hands it over and handles messages until
// it is done.
class CipherThread {
public:
    static CipherThread& Instance() {
        // Never destroyed: the thread waits idle when the program ends.
        static CipherThread* thread = new CipherThread;
        return *thread;
    }

    // Runs `task` on the thread, handling the window thread's messages meanwhile. A document
    // started from inside that wait (nothing does so today) gets a thread of its own.
    void Run(const std::function<void()>& task) {
        if (busy_ || !started_) {
            if (!busy_) Start();
            if (!started_ || busy_) return RunOnOwnThread(task);
        }
        busy_ = true;
        {
            std::lock_guard<std::mutex> lock(lock_);
            task_ = &task;
        }
        wake_.notify_one();
        win::WaitHandlingMessages(done_.get());
        busy_ = false;
    }

private:
    CipherThread() : done_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

    void Start() {
        if (!done_) return;
        try {
            std::thread([this] { Loop(); }).detach();
            started_ = true;
        } catch (...) {
        }
    }

    void Loop() {
        for (;;) {
            const std::function<void()>* task = nullptr;
            {
                std::unique_lock<std::mutex> lock(lock_);
                wake_.wait(lock, [&] { return task_ != nullptr; });
                task = std::exchange(task_, nullptr);
            }
            (*task)();  // catches everything itself
            ::SetEvent(done_.get());
        }
    }

    static void RunOnOwnThread(const std::function<void()>& task) {
        win::KernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread worker([&] {
            task();
            ::SetEvent(done.get());
        });
        win::WaitHandlingMessages(done.get());
        worker.join();
    }

    win::KernelHandle done_;
    std::mutex lock_;
    std::condition_variable wake_;
    const std::function<void()>* task_ = nullptr;
    bool busy_ = false;     // window thread only
    bool started_ = false;  // window thread only
};

// One document's transform, done off the window thread so that nothing the user does
// with the windows meanwhile (a menu held open, a window dragged, a modal window) can
// hold the document open. The window thread starts it, keeps handling messages, and
// gets the reports and the outcome back through posted tasks.
class DocumentJob : public std::enable_shared_from_this<DocumentJob> {
public:
    DocumentJob(std::wstring path, bool decrypt, bool report, std::wstring user, std::wstring_view action,
                std::wstring logged, const std::atomic<bool>* cancel)
        : cancel_(cancel),
          path_(std::move(path)),
          decrypt_(decrypt),
          report_(report),
          user_(std::move(user)),
          action_(action),
          logged_(std::move(logged)) {}

    CipherResult Run() {
        started_ = ::GetTickCount64();
        waitDepth_ = win::DispatchDepth();
        auto self = shared_from_this();
        Sink sink(self);
        FileSystem& fs = CipherFileSystem();
        std::exception_ptr error;
        CipherOptions options;
        // The entry is written by the worker the moment the new file has its name, before
        // the source is removed: a program killed at any moment leaves either the source
        // or a recorded new file (or both).
        options.in_place = [this] { log_ = AppendLogEntry(user_, action_, logged_); };
        options.cancel = cancel_;
        options.sweep = RunSweep().get();
        CipherThread::Instance().Run([&] {
            try {
                result_ = decrypt_ ? DecryptDocument(fs, path_, report_ ? &sink : nullptr, options)
                                   : EncryptDocument(fs, path_, report_ ? &sink : nullptr, options);
            } catch (...) {
                error = std::current_exception();
            }
            // Reports held back still reach a window thread kept in a handler past the
            // document's end.
            sink.Offer();
        });
        if (error) std::rethrow_exception(error);
        DeliverProgress();
        return std::move(result_);
    }

    const std::optional<LogWriteResult>& Log() const { return log_; }

private:
    // Reports from the worker: the latest value and how many reports since the last
    // delivery; at most one delivery waits in the queue at a time.
    class Sink final : public ProgressSink {
    public:
        explicit Sink(std::shared_ptr<DocumentJob> job) : job_(std::move(job)) {}
        void FileProgress(std::int32_t percent, std::uint64_t times) override {
            {
                std::lock_guard<std::mutex> lock(job_->lock_);
                job_->percent_ = percent;
                job_->times_ += times;
            }
            Offer();
        }

        // Posts a delivery of the reports not yet delivered, unless one waits already. While
        // the window thread only waits for the document, one done before the progress
        // window's next repaint is delivered when it ends: waking the window thread for it
        // would only slow the worker. A window thread inside a handler (a modal window
        // opened meanwhile) gets every delivery posted.
        void Offer() {
            bool post = false;
            {
                std::lock_guard<std::mutex> lock(job_->lock_);
                post = job_->times_ > 0 && !job_->deliveryPosted_ &&
                       (::GetTickCount64() - job_->started_ >= kFirstDeliveryMs ||
                        win::DispatchDepth() > job_->waitDepth_);
                if (post) job_->deliveryPosted_ = true;
            }
            if (post) {
                auto job = job_;
                win::PostToProgram([job] { job->DeliverProgress(); });
            }
        }

    private:
        std::shared_ptr<DocumentJob> job_;
    };

    void DeliverProgress() {
        std::int32_t percent = 0;
        std::uint64_t times = 0;
        {
            std::lock_guard<std::mutex> lock(lock_);
            percent = percent_;
            times = std::exchange(times_, 0);
            deliveryPosted_ = false;
        }
        if (times == 0) return;
        // A window that is not loaded is not loaded for the reports: a hidden progress
        // window would keep the program alive after its last visible window closed.
        if (frmProgress* window = win::LoadedForm<frmProgress>()) window->FileProgress(percent, times);
    }

    const std::atomic<bool>* cancel_;
    std::wstring path_;
    bool decrypt_;
    bool report_;
    std::wstring user_;
    std::wstring_view action_;
    std::wstring logged_;
    CipherResult result_;
    std::optional<LogWriteResult> log_;  // set by the worker, read after it has ended
    std::mutex lock_;
    std::int32_t percent_ = 0;
    std::uint64_t times_ = 0;
    bool deliveryPosted_ = false;
    ULONGLONG started_ = 0;  // both set before the worker starts
    int waitDepth_ = 0;      // the window thread's depth while it waits for the document

    friend class Sink;
};

CipherRun Refuse(const std::wstring& path, Refusal refusal, CipherRunOptions* options) {
    // Within one run, later documents refused the same way are only listed at its end.
    bool* shown = options ? &options->refusalShown[static_cast<int>(refusal)] : nullptr;
    if (!shown || !*shown) win::MsgBox(RefusalMessage(path, refusal));
    if (shown) *shown = true;
    CipherRun run;
    run.outcome = CipherOutcome::kRefused;
    run.refusal = refusal;
    run.newPath = path;
    return run;
}

// The document passes through four stages after its transform (closed, old target gone,
// new name written, original gone), each followed by a pause that lets the windows
// work. The file-level cipher does the middle ones in one step, so the pauses follow it.
//
// Each pass lets every pending message be handled. A pass that finds none ends the pause:
// the passes after it would find none either, and asking again costs a round trip to the
// window system each, more than a small document's whole file work.
void PauseAfterTransform() {
    MSG msg;
    for (int pass = 0; pass < 4 * kPausePasses; ++pass) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) return;
        win::DoEvents(1);
    }
}

CipherRun Transform(const std::wstring& path, bool decrypt, bool report, const std::wstring& user,
                    const CipherRunOptions* options) {
    const std::wstring logged = decrypt ? PlainPathOf(path) : path;
    auto job = std::make_shared<DocumentJob>(path, decrypt, report, user,
                                             decrypt ? kActionDecrypted : kActionEncrypted, logged,
                                             options ? options->cancel : nullptr);
    CipherResult result = job->Run();
    CipherRun run;
    run.newPath = std::move(result.new_path);
    run.failure = std::move(result.failure);
    run.log = job->Log();
    if (run.failure && run.failure->step == CipherStep::kCancelled) {
        run.outcome = CipherOutcome::kCancelled;
        return run;
    }
    if (run.failure && run.failure->step != CipherStep::kDeleteOriginal) {
        run.outcome = CipherOutcome::kFailed;
        return run;
    }
    run.outcome = CipherOutcome::kTransformed;
    PauseAfterTransform();
    return run;
}

// The account behind the session, read afresh: the refusal for this document, if any.
Refusal CheckRight(bool decrypt) {
    // Rights changed or the account deleted in another copy of the program count from
    // this document on.
    AppFunctions::TakeCurrentUserFromStore();
    const UserRecord& user = Globals::CurrentUserRecord();
    // A session whose account has been deleted (here or in another copy) has no rights left.
    if (user.UserName.empty()) return Refusal::kAccountDeleted;
    if (decrypt ? !user.AllowDecrypt : !user.AllowEncrypt)
        return decrypt ? Refusal::kNoDecryptRight : Refusal::kNoEncryptRight;
    return Refusal::kNone;
}

void StartNewFile(const std::wstring& path) {
    if (frmProgress* window = win::LoadedForm<frmProgress>()) window->StartNewFile(path);
}

}  // namespace

void StartCipherRun() { RunSweep() = std::make_unique<WorkingFileSweep>(); }

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

std::wstring RefusalMessage(const std::wstring& path, Refusal refusal) {
    std::wstring text = std::wstring(L"Error Processing File: ") + win::CR + path + win::CR;
    switch (refusal) {
        case Refusal::kNoEncryptRight: return text + L"You do not have permission to encrypt files.";
        case Refusal::kNoDecryptRight: return text + L"You do not have permission to decrypt files.";
        default:
            return text + L"Your account has been deleted, so you can no longer encrypt or decrypt files.";
    }
}

std::wstring RefusalReason(Refusal refusal) {
    switch (refusal) {
        case Refusal::kNoEncryptRight: return L"you do not have permission to encrypt files";
        case Refusal::kNoDecryptRight: return L"you do not have permission to decrypt files";
        default: return L"your account has been deleted";
    }
}

CipherRun EncryptFile(const std::wstring& path, CipherRunOptions* options) {
    if (const Refusal refusal = CheckRight(false); refusal != Refusal::kNone) return Refuse(path, refusal, options);
    const std::wstring userName = Globals::CurrentUserRecord().UserName;
    const bool report = Globals::ShowProgress;
    if (report) StartNewFile(path);
    return Transform(path, false, report, userName, options);
}

CipherRun DecryptFile(const std::wstring& path, CipherRunOptions* options) {
    if (const Refusal refusal = CheckRight(true); refusal != Refusal::kNone) return Refuse(path, refusal, options);
    const std::wstring userName = Globals::CurrentUserRecord().UserName;
    StartNewFile(path);
    if (!IsLockedPath(path)) {
        // Only the pipeline calls this, and only for such names; anything else is not an
        // encrypted document and is left alone.
        CipherRun run;
        run.newPath = path;
        run.failure = CipherFailure{CipherStep::kOpenDocument, path, {FsErrorKind::kOther, L"The file name does not end in \"locked\"."}};
        return run;
    }
    return Transform(path, true, true, userName, options);
}

void DeleteFileQuietly(const std::wstring& path) { DeleteFileQuietly(CipherFileSystem(), path); }

std::wstring CipherFailureMessage(const std::wstring& document, const CipherFailure& failure) {
    CipherFailure shown = failure;
    // The temporary file beside the document means nothing to the user: name the
    // document instead.
    if (failure.step == CipherStep::kCreateTemporary || failure.step == CipherStep::kWrite ||
        failure.step == CipherStep::kFlush || failure.step == CipherStep::kNotEncrypted)
        shown.path = document;
    // The file in the way is named after the document that waits for it.
    if (failure.step == CipherStep::kNameTaken)
        return std::wstring(L"Error Processing File: ") + win::CR + document + win::CR + DescribeCipherFailure(shown);
    return std::wstring(L"Error Processing File: ") + win::CR + DescribeCipherFailure(shown);
}

}  // namespace kv
