#include "core/Globals.h"

#include <windows.h>

#include "core/paths.h"
#include "win/files.h"

namespace kv::Globals {

std::vector<UserRecord> Users(1);
std::int32_t CurrentUser = 0;
std::wstring UsersFilePath;
std::wstring LogFilePath;
std::unique_ptr<FileSystemObject> FileSystem;
bool PasswordConfirmed = false;
std::vector<std::wstring> DecryptedFiles;
bool ShowProgress = false;

bool FileSystemObject::FileExists(const std::wstring& path) const { return win::FileExists(path); }

UserRecord& CurrentUserRecord() {
    if (Users.empty()) Users.resize(1);
    if (CurrentUser < 0 || static_cast<size_t>(CurrentUser) >= Users.size()) return Users[0];
    return Users[static_cast<size_t>(CurrentUser)];
}

void SetDataFolder(const std::wstring& folder) {
    UsersFilePath = FileInProgramFolder(folder, kUsersFileName);
    LogFilePath = FileInProgramFolder(folder, kLogFileName);
}

}  // namespace kv::Globals
