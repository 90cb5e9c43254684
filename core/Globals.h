// Korvane's program-wide state, alive from start-up to the end of the process. The start-up
// procedure Main is the program's own (app/Main.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/user_store.h"

namespace kv::Globals {

// Asks the file system whether a file (not a folder) exists; one shared instance.
class FileSystemObject {
public:
    bool FileExists(const std::wstring& path) const;
};

extern std::vector<UserRecord> Users;      // the whole user store in memory
extern std::int32_t CurrentUser;           // index into Users of the logged-in user; 0 before
extern std::wstring UsersFilePath;         // KVU.txt beside the program
extern std::wstring LogFilePath;           // KVL.txt beside the program
extern std::unique_ptr<FileSystemObject> FileSystem;
extern bool PasswordConfirmed;             // outcome of the last password confirmation
extern std::vector<std::wstring> DecryptedFiles;  // documents decrypted in the current run
extern bool ShowProgress;                  // the cipher reports to the progress window

// The logged-in user's record, read live.
UserRecord& CurrentUserRecord();

// Sets the two data file paths for a program folder (the drive-root rule included).
void SetDataFolder(const std::wstring& folder);

}  // namespace kv::Globals
