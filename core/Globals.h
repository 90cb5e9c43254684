// Korvane's program-wide state, alive from start-up to the end of the process, and the
// start-up procedure Main.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "users/user_store.h"

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

// Start-up: data file paths, the user store, the log-in window. Returns with the log-in
// window shown, or with no window at all when the user store cannot be used. `documents`
// are the paths the program was started with (a drop onto its icon, "Send To", "Open
// with"): a successful log-in processes them as one dropped run, a cancelled one nothing.
void Main(std::vector<std::wstring> documents = {});

// The documents named on a command line (the program's own name, the first argument, left
// out), each made a full path against the current folder; quoted paths keep their blanks.
std::vector<std::wstring> CommandLineDocuments(const wchar_t* commandLine);

// Sets the two data file paths for a program folder (the drive-root rule included).
void SetDataFolder(const std::wstring& folder);

}  // namespace kv::Globals
