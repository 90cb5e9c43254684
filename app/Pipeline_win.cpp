#include "app/Pipeline.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <deque>
#include <string>
#include <utility>

#include "core/ActionLog.h"
#include "app/Cipher.h"
#include "core/Globals.h"
#include "core/action_log.h"
#include "core/summary.h"
#include "ui/OpenDocument.h"
#include "ui/frmDecrypted.h"
#include "ui/frmNotProcessed.h"
#include "ui/frmProgress.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"

namespace kv::Pipeline {
namespace {

constexpr int kPassesAfterHide = 9;
constexpr int kPassesAfterUnload = 12;

bool g_running = false;
std::deque<std::vector<std::wstring>> g_queue;

// The closing of a run, whatever happened in it: the progress window hidden and
// unloaded, the normal pointer back.
class RunClosing {
public:
    explicit RunClosing(frmProgress& progress) : progress_(progress) {}
    ~RunClosing() {
        if (!done_) Close();
    }
    void Close() {
        done_ = true;
        // Closing runs from a destructor too and may not throw; the pointer comes back anyway.
        win::IgnoreErrors([&] {
            progress_.ShowLatest();  // the last document's name and count, painted
            progress_.Hide();
            win::DoEvents(kPassesAfterHide);
            progress_.Unload();
            win::DoEvents(kPassesAfterUnload);
        });
        win::SetBusyPointer(false);
    }

private:
    frmProgress& progress_;
    bool done_ = false;
};

void AddDecrypted(const std::wstring& path, std::size_t decryptedSoFar) {
    auto& list = Globals::DecryptedFiles;
    if (decryptedSoFar == 0 && !list.empty()) list[0] = path;
    else list.push_back(path);
}

// What a run did not do: the documents left by a Cancel, and the failures and refusals that
// had no message box of their own (the first of each kind has one, as a run of one document
// shows it).
struct Leftovers {
    bool cancelled = false;
    std::size_t notProcessed = 0;     // left by the Cancel: the abandoned one and those not started
    std::vector<std::wstring> listed;  // lines of the list after the summary
};

// The list after the summary, modal like it.
void ShowNotProcessed(const Leftovers& left) {
    if (left.listed.empty()) return;
    auto& list = win::TheForm<frmNotProcessed>();
    list.SetLines(left.listed);
    list.ShowModal();
}

void Report(std::size_t encrypted, std::size_t decrypted, const Leftovers& left) {
    std::wstring summary = BuildSummary(encrypted, decrypted);
    if (left.cancelled) summary += win::CR + RunCancelledLine(left.notProcessed);
    if (decrypted == 0) {
        win::MsgBox(summary);
        ShowNotProcessed(left);
        return;
    }
    switch (Globals::CurrentUserRecord().AfterDecrypt) {
        case kAfterDecryptPrompt:
            if (decrypted == 1) {
                const bool view =
                    win::MsgBox(ViewDecryptedQuestion(summary), win::MsgButtons::YesNo) == win::MsgResult::Yes;
                ShowNotProcessed(left);
                if (view) OpenDocument(Globals::DecryptedFiles[0]);
            } else {
                win::MsgBox(summary);
                ShowNotProcessed(left);
                auto& chooser = win::TheForm<frmDecrypted>();
                // A chooser still open from an earlier run shows this run's documents.
                if (chooser.IsLoaded()) chooser.LoadFiles();
                chooser.Show();
            }
            break;
        case kAfterDecryptAlways: {
            win::MsgBox(summary);
            ShowNotProcessed(left);
            const std::vector<std::wstring> decryptedFiles = Globals::DecryptedFiles;
            for (const std::wstring& path : decryptedFiles) OpenDocument(path);
            break;
        }
        case kAfterDecryptNever:
        default:  // only a hand-edited user store holds another value: as "Never"
            win::MsgBox(summary);
            ShowNotProcessed(left);
            break;
    }
}

bool IsDocument(const std::wstring& path) {
    return Globals::FileSystem && Globals::FileSystem->FileExists(path);
}

void RunOnce(const std::vector<std::wstring>& paths) {
    Globals::DecryptedFiles.assign(1, std::wstring());
    StartCipherRun();
    std::size_t encrypted = 0, decrypted = 0;
    win::SetBusyPointer(true);
    Globals::ShowProgress = true;

    frmProgress& progress = win::TheForm<frmProgress>();
    RunClosing closing(progress);
    progress.Load();
    progress.MaxFiles(static_cast<std::int32_t>(paths.size()));
    progress.Show();

    bool logFailed = false;
    LogWriteResult logFailure;
    // The cipher writes each entry the moment the document has changed; here only its
    // outcome is collected.
    auto logged = [&](const CipherRun& run) {
        if (run.log && !run.log->written && !logFailed) {
            logFailed = true;
            logFailure = *run.log;
        }
    };

    Leftovers left;
    CipherRunOptions options;
    options.cancel = &progress.CancelFlag();
    bool failureShown = false;
    // The first failure of a run gets its box; the later ones go to the list.
    auto failed = [&](const std::wstring& path, const std::wstring& message, const std::wstring& reason) {
        if (!failureShown) win::MsgBox(message);
        else left.listed.push_back(NotProcessedLine(path, reason));
        failureShown = true;
    };
    // The documents from `from` on that a Cancel leaves as they are.
    auto cancelFrom = [&](std::size_t from) {
        left.cancelled = true;
        for (std::size_t i = from; i < paths.size(); ++i)
            if (IsDocument(paths[i]) && !IsWorkingFileName(paths[i])) ++left.notProcessed;
    };

    for (std::size_t index = 0; index < paths.size(); ++index) {
        const std::wstring& path = paths[index];
        if (progress.CancelRequested()) {
            cancelFrom(index);
            break;
        }
        if (!IsDocument(path)) continue;
        if (IsWorkingFileName(path)) {
            // Left by a run that could not finish (a power cut): never a document of the
            // user, and the next document processed in its folder removes it.
            failed(path,
                   std::wstring(L"Error Processing File: ") + win::CR + path + win::CR +
                       L"This is a temporary file of Korvane, not a document. It was left as it is.",
                   L"a temporary file of Korvane, not a document");
            continue;
        }
        const bool locked = IsLockedPath(path);
        const CipherRunOptions before = options;
        const CipherRun run = locked ? DecryptFile(path, &options) : EncryptFile(path, &options);
        if (run.outcome == CipherOutcome::kCancelled) {
            ++left.notProcessed;
            cancelFrom(index + 1);
            break;
        }
        if (run.outcome == CipherOutcome::kRefused && before.refusalShown[static_cast<int>(run.refusal)])
            left.listed.push_back(NotProcessedLine(path, RefusalReason(run.refusal)));
        if (run.failure) failed(path, CipherFailureMessage(path, *run.failure), CipherFailureReason(*run.failure));
        if (!run.Transformed()) continue;
        logged(run);
        if (locked) {
            AddDecrypted(PlainPathOf(path), decrypted);
            ++decrypted;
        } else {
            ++encrypted;
        }
    }

    closing.Close();

    if (logFailed) {
        std::wstring text = L"The action log could not be written.";
        text += win::CR;
        text += Globals::LogFilePath;
        if (!logFailure.reason.empty()) text += win::CR + logFailure.reason;
        text += win::CR;
        text += L"The documents of this run were processed, but not every one of them is recorded.";
        win::MsgBox(text);
    }
    Report(encrypted, decrypted, left);
}

}  // namespace

void ProcessFiles(const std::vector<std::wstring>& paths) {
    if (g_running) {
        g_queue.push_back(paths);
        return;
    }
    g_running = true;
    const win::ProgramHold hold;  // the run finishes and reports even if its window is closed
    std::vector<std::wstring> next = paths;
    for (;;) {
        try {
            RunOnce(next);
        } catch (...) {
            // The run has been closed down on the way out (progress window gone, pointer
            // back, no document open); the user learns that it stopped and why.
            win::SetBusyPointer(false);
            std::wstring text = L"The processing of the documents stopped because of an unexpected error.";
            text += win::CR;
            text += win::DescribeException(std::current_exception());
            text += win::CR;
            text += L"Documents not reached were left as they were.";
            // The drop's run ignores every error; this one box only tells what happened.
            win::IgnoreErrors([&] { win::MsgBox(text, win::MsgButtons::OK, win::MsgIcon::Critical); });
        }
        if (g_queue.empty()) break;
        next = std::move(g_queue.front());
        g_queue.pop_front();
    }
    g_running = false;
}

bool DroppedPaths(IDataObject* data, std::vector<std::wstring>* paths) {
    paths->clear();
    if (!data) return false;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return false;
    const bool ok = medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr;
    if (ok) {
        const auto drop = static_cast<HDROP>(medium.hGlobal);
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
            std::wstring path(length + 1, L'\0');
            path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
            paths->push_back(std::move(path));
        }
        // The system reads a list without names as one empty name: it holds no file.
        if (paths->size() == 1 && paths->front().empty()) paths->clear();
    }
    ::ReleaseStgMedium(&medium);
    return ok;
}

void HandleFileDrop(IDataObject* data) {
    // The program the documents were dragged from waits until the drop returns: copy the
    // paths out now and run from the message loop.
    std::vector<std::wstring> paths;
    bool hasFileList = false;
    try {
        hasFileList = DroppedPaths(data, &paths);
    } catch (...) {
        win::ReportFailure(L"Drop");
        return;
    }
    win::PostToProgram([hasFileList, paths = std::move(paths)] { ProcessDrop(hasFileList, paths); });
}

void ProcessDrop(bool hasFileList, const std::vector<std::wstring>& paths) {
    if (!hasFileList) {
        win::MsgBox(L"Invalid File Type.");
        return;
    }
    if (paths.empty()) {
        win::MsgBox(L"Invalid File Count");
        return;
    }
    ProcessFiles(paths);
}

bool RunInProgress() { return g_running; }

std::size_t QueuedRuns() { return g_queue.size(); }

}  // namespace kv::Pipeline
