// The document cipher as the program runs it: the logged-in user's right, the progress
// window, the pauses that keep the windows alive, and the file-level cipher underneath.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "core/ActionLog.h"
#include "core/file_cipher.h"
#include "core/file_system.h"

// <windows.h> maps these names onto the system's own file encryption calls; it is
// included above so that a later include cannot bring the macros back.
#ifdef EncryptFile
#undef EncryptFile
#endif
#ifdef DecryptFile
#undef DecryptFile
#endif

namespace kv {

enum class CipherOutcome {
    kTransformed,  // the document now exists under its new name
    kRefused,      // the user lacks the right (or the account is gone); the document untouched
    kFailed,       // an input or output failure; the document untouched under its own name
    kCancelled,    // abandoned on request in the middle; the document untouched, no working file
};

// Why a document was refused. Each kind has its own message box.
enum class Refusal { kNone, kNoEncryptRight, kNoDecryptRight, kAccountDeleted };

struct CipherRun {
    CipherOutcome outcome = CipherOutcome::kFailed;
    std::wstring newPath;
    // Set when kFailed or kCancelled, and when kTransformed although the original could not
    // be removed afterwards (both names then exist).
    std::optional<CipherFailure> failure;
    Refusal refusal = Refusal::kNone;  // set when kRefused
    // The action-log entry of a transformed document, written as soon as the new file was
    // in place: whether it was written.
    std::optional<LogWriteResult> log;

    bool Transformed() const { return outcome == CipherOutcome::kTransformed; }
};

// How one run of many documents wants the cipher to behave. Without one, every refusal
// shows its message box and nothing is abandoned.
struct CipherRunOptions {
    // Which refusal messages the run has shown: each kind is shown for the first document
    // refused that way, and the later ones are refused without a box.
    bool refusalShown[4] = {};
    // Set (from the window thread) to abandon a large document in the middle.
    const std::atomic<bool>* cancel = nullptr;
};

// The message box of a refused document: "Error Processing File: ", the path and why.
std::wstring RefusalMessage(const std::wstring& path, Refusal refusal);
// Why, in a few words, for the list of documents not processed.
std::wstring RefusalReason(Refusal refusal);

// Encrypts the document at `path` into path + "locked" after checking AllowEncrypt of
// the logged-in user (refusal: a message box, nothing else; a session whose account has
// been deleted is refused with its own message). Reports to the loaded
// progress window while ShowProgress is set. The file work runs on a worker thread while
// the window thread keeps handling messages; the action-log entry ("ENCRYPTED", path) is
// written the moment the encrypted file is in place, in the name of the user who started it.
CipherRun EncryptFile(const std::wstring& path, CipherRunOptions* run = nullptr);

// Decrypts `path` (its name ends in "locked") into the path without the suffix after
// checking AllowDecrypt. Reports to the progress window whenever it is loaded; logs
// ("DECRYPTED", the plain path) as EncryptFile does.
CipherRun DecryptFile(const std::wstring& path, CipherRunOptions* run = nullptr);

// Deletes the file if it can; every failure is ignored.
void DeleteFileQuietly(const std::wstring& path);

// A processing run begins: each folder it meets is cleared once of the working files that
// no running program holds (see WorkingFileSweep).
void StartCipherRun();

// The file system the cipher works through: the platform's unless a test installed
// another (nullptr: back to the platform's). Returns the previous override.
FileSystem& CipherFileSystem();
FileSystem* SetCipherFileSystem(FileSystem* fs);

// A message for the user about a document whose processing failed: the document, what
// failed and why, lines joined by CR.
std::wstring CipherFailureMessage(const std::wstring& document, const CipherFailure& failure);

}  // namespace kv
