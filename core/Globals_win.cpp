#include "core/Globals.h"

#include <windows.h>
#include <shellapi.h>

#include "core/paths.h"
#include "users/AppFunctions.h"
#include "users/frmLogIn.h"
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

namespace {

// The full path of a document named relative to the current folder; a name the system
// cannot make full (an empty one) stays as it is and is skipped by the run like a vanished file.
std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) return path;
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    for (int tries = 0; size > 0 && tries < 3; ++tries) {
        std::wstring full(size, L'\0');
        const DWORD got = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (got == 0) break;
        if (got < size) {
            full.resize(got);
            return full;
        }
        size = got;  // the current folder changed meanwhile: once more with the room it needs
    }
    return path;
}

}  // namespace

std::vector<std::wstring> CommandLineDocuments(const wchar_t* commandLine) {
    std::vector<std::wstring> documents;
    if (!commandLine || !*commandLine) return documents;
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(commandLine, &count);
    if (!arguments) return documents;
    for (int i = 1; i < count; ++i) documents.push_back(FullPath(arguments[i]));
    ::LocalFree(arguments);
    return documents;
}

void Main(std::vector<std::wstring> documents) {
    FileSystem = std::make_unique<FileSystemObject>();
    SetDataFolder(win::ProgramFolder());
    if (!AppFunctions::LoadUserFile()) return;  // told the user; no window, so the program ends
    auto& logIn = win::TheForm<frmLogIn>();
    logIn.Load();
    logIn.ShowMain = true;
    logIn.HandedDocuments = std::move(documents);
    logIn.Show();
}

}  // namespace kv::Globals
