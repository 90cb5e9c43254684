#include "users/AppFunctions.h"

#include <memory>
#include <optional>

#include "core/DataLock.h"
#include "core/file_system.h"
#include "core/Globals.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/text.h"

namespace kv::AppFunctions {
namespace {

using win::CR;

constexpr DWORD kStoreLockPatienceMs = 10000;

std::vector<std::uint8_t> ToBytes(const std::string& s) { return {s.begin(), s.end()}; }

void ReportStoreProblem(const std::wstring& what, const std::wstring& detail) {
    win::MsgBox(what + CR + Globals::UsersFilePath + CR + detail, win::MsgButtons::OK, win::MsgIcon::Critical);
}

// Words for a failure to read or write the store; the system has none for a file over
// the size limit.
std::wstring StoreErrorText(const win::FsStatus& error) {
    if (error.code == ERROR_FILE_TOO_LARGE)
        return L"The file is too large to be a user file (larger than 1 GiB).";
    return win::SystemErrorText(error.code);
}

// KVU.txt as this copy of the program last read or wrote it.
struct StoreState {
    std::wstring path;
    bool exists = false;
    std::uint64_t size = 0;
    FILETIME written{};
    std::vector<std::uint8_t> bytes;

    bool SameAs(const StoreState& other) const {
        return exists == other.exists && size == other.size &&
               ::CompareFileTime(&written, &other.written) == 0 && bytes == other.bytes;
    }
};

StoreState g_known;
// Size and last-write time of the store when the logged-in user's record was last taken
// from it (or the store was read or written whole).
StoreState g_looked;

bool SameStamp(const StoreState& a, const StoreState& b) {
    return a.path == b.path && a.exists == b.exists && a.size == b.size &&
           ::CompareFileTime(&a.written, &b.written) == 0;
}

void Looked(const StoreState& state) {
    g_looked = state;
    g_looked.bytes.clear();
}

// Size and last-write time of the store as it stands; false when it is not there.
bool StampOf(const std::wstring& path, StoreState* state) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    state->path = path;
    state->exists = ::GetFileAttributesExW(win::LongPath(path).c_str(), GetFileExInfoStandard, &data) != FALSE;
    if (!state->exists) return false;
    state->size = std::uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    state->written = data.ftLastWriteTime;
    return true;
}

std::vector<UserRecord> LiveRecords(const std::vector<std::uint8_t>& stored) {
    const auto plain = DecodeUsersBytes(stored);
    std::vector<UserRecord> loaded;
    for (auto& user : ParseUsersText(win::FromAnsi(std::string(plain.begin(), plain.end()))))
        if (!user.UserName.empty()) loaded.push_back(std::move(user));
    return loaded;
}

// Takes the accounts another copy saved, keeping the logged-in user logged in by name.
void TakeStoredAccounts(const StoreState& now) {
    std::vector<UserRecord> loaded = LiveRecords(now.bytes);
    g_known = now;
    Looked(now);
    if (loaded.empty()) return;  // nothing usable there: memory stays as it was
    const std::wstring current = Globals::CurrentUserRecord().UserName;
    Globals::Users = std::move(loaded);
    const int index = FindUserIndex(Globals::Users, current);
    if (index >= 0) {
        Globals::CurrentUser = index;
    } else {
        // The account is gone: the session goes on without a name and without rights.
        Globals::Users.push_back(UserRecord{});
        Globals::CurrentUser = static_cast<std::int32_t>(Globals::Users.size() - 1);
    }
}

// Writes the encoded store in one step through the programs' data-file writer: a working
// file beside it (KVU.txt.kvtmp) that the system removes if the program dies before it is
// complete, flushed, then given the store's name. On failure the store is untouched, no
// working file is left, and the system's words are returned.
std::optional<std::wstring> WriteStore(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const win::FsStatus error = win::WriteFileAtomically(path, bytes, path + L".kvtmp");
    if (error.ok()) return std::nullopt;
    const std::wstring text = win::SystemErrorText(error.code);
    return text.empty() ? std::wstring(L"The file could not be written.") : text;
}

std::wstring ChangedElsewhere() {
    return std::wstring(L"The user list was changed by another copy of Korvane after this one read it.") + CR +
           L"Your change was not saved. The accounts are shown again as they are stored now;" + CR +
           L"make the change again if it is still needed.";
}

std::wstring Welcome() {
    return std::wstring(L"Welcome to Korvane.") + CR + L"A default user has been created for you:" + CR +
           L"Your User Name is Admin" + CR + L"Use a blank password to Log-In";
}

}  // namespace

bool LoadUserFile() {
    using Globals::Users;
    Users.assign(1, UserRecord{});
    const std::wstring& path = Globals::UsersFilePath;

    const DWORD attributes = ::GetFileAttributesW(win::LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD why = ::GetLastError();
        if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) {
            ReportStoreProblem(L"The user file could not be opened:", win::SystemErrorText(why));
            return false;
        }
        const auto plain = ToBytes(win::ToAnsi(std::wstring(kDefaultAdministratorLine) + L"\r\n"));
        if (auto error = WriteStore(path, EncodeUsersBytes(plain))) {
            ReportStoreProblem(L"The user file could not be created:", *error);
            return false;
        }
        win::DoEvents(1);
        win::MsgBox(Welcome());
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ReportStoreProblem(L"The user file could not be opened:", L"A folder of that name is in the way.");
        return false;
    }

    StoreState state;
    StampOf(path, &state);
    if (const win::FsStatus error = win::ReadWholeFile(path, state.bytes); !error.ok()) {
        ReportStoreProblem(L"The user file could not be read:", StoreErrorText(error));
        return false;
    }
    std::vector<UserRecord> loaded = LiveRecords(state.bytes);
    win::DoEvents(1);

    if (loaded.empty()) {
        ReportStoreProblem(L"The user file holds no valid account:",
                           L"Korvane cannot start. Restore the file from a backup, or remove it to start afresh "
                           L"with the default administrator.");
        return false;
    }
    const auto plain = DecodeUsersBytes(state.bytes);
    if (MostlyGarbage(win::FromAnsi(std::string(plain.begin(), plain.end())))) {
        ReportStoreProblem(L"The user file is damaged (most of it is not account lines):",
                           L"Korvane cannot start. Restore the file from a backup, or remove it to start afresh "
                           L"with the default administrator.");
        return false;
    }
    Users = std::move(loaded);
    Looked(state);
    g_known = std::move(state);
    return true;
}

void TakeCurrentUserFromStore() {
    const std::wstring& path = Globals::UsersFilePath;
    StoreState now;
    // A store that is not there (or not readable) gives nothing to go by: memory stays.
    if (!StampOf(path, &now) || SameStamp(now, g_looked)) return;
    if (!win::ReadWholeFile(path, now.bytes).ok()) return;
    Looked(now);
    UserRecord& current = Globals::CurrentUserRecord();
    if (current.UserName.empty()) return;
    const std::vector<UserRecord> stored = LiveRecords(now.bytes);
    const int index = FindUserIndex(stored, current.UserName);
    if (index < 0) {
        current = UserRecord{};  // deleted elsewhere: no name, no rights
        return;
    }
    current = stored[static_cast<size_t>(index)];
}

namespace {

enum class Standing { kHeld, kDeleted, kNotAdministrator, kUnreadable };

Standing TakeCurrentUserAfresh() {
    const std::wstring& path = Globals::UsersFilePath;
    StoreState now;
    if (StampOf(path, &now)) {
        if (!win::ReadWholeFile(path, now.bytes).ok()) return Standing::kUnreadable;
        const std::vector<UserRecord> stored = LiveRecords(now.bytes);
        UserRecord& current = Globals::CurrentUserRecord();
        // A store without a single account gives nothing to go by (it is refused at the
        // next start); a deleted account stays deleted.
        if (!stored.empty() && !current.UserName.empty()) {
            const int index = FindUserIndex(stored, current.UserName);
            current = index < 0 ? UserRecord{} : stored[static_cast<size_t>(index)];
        }
        Looked(now);
    }
    const UserRecord& current = Globals::CurrentUserRecord();
    if (current.UserName.empty()) return Standing::kDeleted;
    return current.IsAdmin ? Standing::kHeld : Standing::kNotAdministrator;
}

void TellRefused(Standing standing) {
    std::wstring text;
    switch (standing) {
        case Standing::kHeld: return;
        case Standing::kDeleted:
            text = L"Your account has been deleted from the user list since you logged in.";
            break;
        case Standing::kNotAdministrator:
            text = L"Your account is no longer an administrator: the right was taken away since you logged in.";
            break;
        case Standing::kUnreadable:
            text = std::wstring(L"The user file could not be read, so your rights cannot be confirmed.") + CR +
                   Globals::UsersFilePath;
            break;
    }
    win::MsgBox(text + CR + L"This was not done.", win::MsgButtons::OK, win::MsgIcon::Exclamation);
}

}  // namespace

bool AdministratorRightHeld() {
    const Standing standing = TakeCurrentUserAfresh();
    TellRefused(standing);
    return standing == Standing::kHeld;
}

bool OwnAccountHeld() {
    const Standing standing = TakeCurrentUserAfresh();
    if (standing == Standing::kHeld || standing == Standing::kNotAdministrator) return true;
    TellRefused(standing);
    return false;
}

void RefreshCurrentUser() { TakeCurrentUserAfresh(); }

SaveOutcome SaveUsers() {
    const std::wstring& path = Globals::UsersFilePath;
    const auto stored = EncodeUsersBytes(ToBytes(win::ToAnsi(FormatUsersText(Globals::Users))));
    win::DoEvents(1);
    {
        const DataFileLock lock(path, kStoreLockPatienceMs);
        if (!lock.Acquired()) {
            ReportStoreProblem(L"The user file could not be saved; nothing was changed:",
                               L"Another copy of Korvane is saving it. Try again in a moment.");
            return SaveOutcome::NotSaved;
        }
        // Only a store this copy has read or written can have been changed behind its back.
        if (g_known.path == path) {
            StoreState now;
            if (StampOf(path, &now)) {
                if (const win::FsStatus error = win::ReadWholeFile(path, now.bytes); !error.ok()) {
                    ReportStoreProblem(L"The user file could not be saved; nothing was changed:",
                                       StoreErrorText(error));
                    return SaveOutcome::NotSaved;
                }
            }
            if (!now.SameAs(g_known)) {
                TakeStoredAccounts(now);
                win::MsgBox(ChangedElsewhere(), win::MsgButtons::OK, win::MsgIcon::Exclamation);
                return SaveOutcome::Reloaded;
            }
        }
        if (auto error = WriteStore(path, stored)) {
            ReportStoreProblem(L"The user file could not be saved; nothing was changed:", *error);
            return SaveOutcome::NotSaved;
        }
        StoreState saved;
        StampOf(path, &saved);
        saved.bytes = stored;
        Looked(saved);
        g_known = std::move(saved);
    }
    win::DoEvents(1);
    return SaveOutcome::Saved;
}

bool SaveUserFile() { return SaveUsers() == SaveOutcome::Saved; }

bool EncodeUsersFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (!win::ReadWholeFile(path, bytes).ok()) return false;
    return !WriteStore(path, EncodeUsersBytes(bytes));
}

bool DecodeUsersFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (!win::ReadWholeFile(path, bytes).ok()) return false;
    return !WriteStore(path, DecodeUsersBytes(bytes));
}

std::wstring GetUserPassword(const std::wstring& name) { return kv::GetUserPassword(Globals::Users, name); }

void FindUser(const std::wstring& name) {
    const int index = FindUserIndex(Globals::Users, name);
    if (index >= 0) Globals::CurrentUser = index;
}

bool OtherAdminExists(const std::wstring& name) { return kv::OtherAdminExists(Globals::Users, name); }

}  // namespace kv::AppFunctions
