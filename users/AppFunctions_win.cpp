#include "users/AppFunctions.h"

#include "core/Globals.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/text.h"

namespace kv::AppFunctions {
namespace {

using win::CR;

std::vector<std::uint8_t> ToBytes(const std::string& s) { return {s.begin(), s.end()}; }

void ReportStoreProblem(const std::wstring& what, const std::wstring& detail) {
    win::MsgBox(what + CR + Globals::UsersFilePath + CR + detail, win::MsgButtons::OK, win::MsgIcon::Critical);
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

    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD why = ::GetLastError();
        if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) {
            ReportStoreProblem(L"The user file could not be opened:", win::SystemErrorText(why));
            return false;
        }
        const auto plain = ToBytes(win::ToAnsi(std::wstring(kDefaultAdministratorLine) + L"\r\n"));
        if (auto error = win::WriteFileAtomically(path, EncodeUsersBytes(plain))) {
            ReportStoreProblem(L"The user file could not be created:", win::SystemErrorText(error->code));
            return false;
        }
        win::DoEvents(1);
        win::MsgBox(Welcome());
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ReportStoreProblem(L"The user file could not be opened:", L"A folder of that name is in the way.");
        return false;
    }

    std::vector<std::uint8_t> stored;
    if (auto error = win::ReadWholeFile(path, stored)) {
        ReportStoreProblem(L"The user file could not be read:", win::SystemErrorText(error->code));
        return false;
    }
    const auto plain = DecodeUsersBytes(stored);
    win::DoEvents(1);

    std::vector<UserRecord> loaded;
    for (auto& user : ParseUsersText(win::FromAnsi(std::string(plain.begin(), plain.end()))))
        if (!user.UserName.empty()) loaded.push_back(std::move(user));
    if (loaded.empty()) {
        ReportStoreProblem(L"The user file holds no valid account:",
                           L"Korvane cannot start. Restore the file from a backup, or remove it to start afresh "
                           L"with the default administrator.");
        return false;
    }
    Users = std::move(loaded);
    return true;
}

bool SaveUserFile() {
    const auto plain = ToBytes(win::ToAnsi(FormatUsersText(Globals::Users)));
    win::DoEvents(1);
    if (auto error = win::WriteFileAtomically(Globals::UsersFilePath, EncodeUsersBytes(plain))) {
        ReportStoreProblem(L"The user file could not be saved; nothing was changed:",
                           win::SystemErrorText(error->code));
        return false;
    }
    win::DoEvents(1);
    return true;
}

bool EncodeUsersFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (win::ReadWholeFile(path, bytes)) return false;
    return !win::WriteFileAtomically(path, EncodeUsersBytes(bytes));
}

bool DecodeUsersFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (win::ReadWholeFile(path, bytes)) return false;
    return !win::WriteFileAtomically(path, DecodeUsersBytes(bytes));
}

std::wstring GetUserPassword(const std::wstring& name) { return kv::GetUserPassword(Globals::Users, name); }

void FindUser(const std::wstring& name) {
    const int index = FindUserIndex(Globals::Users, name);
    if (index >= 0) Globals::CurrentUser = index;
}

bool OtherAdminExists(const std::wstring& name) { return kv::OtherAdminExists(Globals::Users, name); }

}  // namespace kv::AppFunctions
