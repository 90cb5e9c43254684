// Program-wide procedures around the user store, acting on the Users array and the data
// file paths of Globals.
#pragma once

#include <string>

#include "core/user_store.h"

namespace kv::AppFunctions {

// Fills Users from KVU.txt, creating it with the default administrator (and the welcome
// message) when it does not exist. Reading never writes the file. Returns false, after
// telling the user what is wrong, when the store cannot be created or read or holds no
// account; the program must not go on then.
bool LoadUserFile();

// Writes Users to KVU.txt: encoded in memory, written beside it, flushed, and put in
// place in one step. Returns false, after telling the user, when it could not be saved;
// the file on disk is then unchanged.
bool SaveUserFile();

enum class SaveOutcome {
    Saved,
    NotSaved,  // the user was told; the file is unchanged and memory may go back to it
    // Another copy of Korvane changed the file since this one read or wrote it: nothing
    // was saved, the user was told, and Users now holds the file's accounts (indexes
    // may have moved; CurrentUser still names the logged-in user, or an empty record
    // without rights when that account is gone). Windows showing accounts refill.
    Reloaded,
};
// SaveUserFile, telling the three outcomes apart. The check against the file and the
// write happen under the store's lock, so two copies cannot both pass the check.
SaveOutcome SaveUsers();

// Takes the logged-in user's record afresh from KVU.txt when the file changed on disk
// (its size or last-write time) since this copy last looked, so that rights changed or
// an account deleted by another copy of Korvane hold here from the next document on. A
// deleted account is left without a name and without rights. Only that record changes:
// the other accounts, and their places in Users, stay as they are for the windows that
// show them (their next save finds the change and reloads).
void TakeCurrentUserFromStore();

// The logged-in user's record read afresh from KVU.txt, whatever its size and time say,
// before an action that needs a right which another copy of Korvane (or this one) may have
// taken away since. Only that record changes, as with TakeCurrentUserFromStore; a store
// that is not there leaves memory as it is. Nothing is written.
//
// AdministratorRightHeld: true when the account still exists and is an administrator's;
// otherwise the user is told why (the account was deleted, or is no longer an
// administrator, or the store could not be read) and the action must not go on.
bool AdministratorRightHeld();
// OwnAccountHeld: as above for the own-account window: the account still exists.
bool OwnAccountHeld();
// Only the fresh record, without a word (for the menus, as they open).
void RefreshCurrentUser();

// The encoding pass over a whole file and its inverse (crash-safe rewrites).
bool EncodeUsersFile(const std::wstring& path);
bool DecodeUsersFile(const std::wstring& path);

std::wstring GetUserPassword(const std::wstring& name);
// Sets CurrentUser to the first record of that name; unchanged when none matches.
void FindUser(const std::wstring& name);
bool OtherAdminExists(const std::wstring& name);

}  // namespace kv::AppFunctions
