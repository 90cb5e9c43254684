#include "users/user_form_mapping.h"

#include "core/text.h"

namespace kv {
namespace {

constexpr wchar_t kCR = L'\r';

}  // namespace

const std::vector<std::wstring>& AfterDecryptChoices() {
    static const std::vector<std::wstring> choices{kAlwaysText, kNeverText, kPromptMeText};
    return choices;
}

const std::vector<std::wstring>& DefaultSelectionChoices() {
    static const std::vector<std::wstring> choices{L"ALL", L"NONE"};
    return choices;
}

std::wstring AfterDecryptText(std::int32_t value) {
    switch (value) {
    case kAfterDecryptAlways: return kAlwaysText;
    case kAfterDecryptNever: return kNeverText;
    default: return kPromptMeText;
    }
}

std::int32_t AfterDecryptFromText(std::wstring_view text) {
    if (text == kAlwaysText) return kAfterDecryptAlways;
    if (text == kNeverText) return kAfterDecryptNever;
    return kAfterDecryptPrompt;
}

std::wstring DefaultSelectionFromText(std::wstring_view text) { return UpperCase(text); }

bool ShowsDefaultSelection(std::wstring_view afterDecryptText) {
    return UpperCase(afterDecryptText) == L"PROMPT ME";
}

UserSettings SettingsFromRecord(const UserRecord& user) {
    UserSettings s;
    s.Password = user.Password;
    s.Encrypt = BoolToCheck(user.AllowEncrypt);
    s.Decrypt = BoolToCheck(user.AllowDecrypt);
    s.IsAdmin = BoolToCheck(user.IsAdmin);
    s.StartEasyDrop = BoolToCheck(user.StartEasyDrop);
    s.AfterDecrypt = AfterDecryptText(user.AfterDecrypt);
    s.DefaultSelection = user.DefaultSelection;
    return s;
}

void StoreSettings(UserRecord& user, const UserSettings& s, Rights rights) {
    user.Password = TrimBlanks(s.Password);
    if (rights == Rights::Store) {
        user.IsAdmin = CheckToBool(s.IsAdmin);
        user.AllowEncrypt = CheckToBool(s.Encrypt);
        user.AllowDecrypt = CheckToBool(s.Decrypt);
    }
    user.StartEasyDrop = CheckToBool(s.StartEasyDrop);
    user.AfterDecrypt = AfterDecryptFromText(s.AfterDecrypt);
    user.DefaultSelection = DefaultSelectionFromText(s.DefaultSelection);
}

bool NeedsConfirmation(std::wstring_view newPassword, std::wstring_view storedPassword) {
    return !newPassword.empty() && !SameName(newPassword, storedPassword);
}

std::optional<std::wstring> StoreRefusal(StoreField field, std::wstring_view text, bool fitsCodePage) {
    const bool name = field == StoreField::UserName;
    std::wstring message = name ? L"Invalid User Name." : L"Invalid Password.";
    message += kCR;
    if (!FitsUserStore(text)) {
        message += name ? L"A user name can not contain \"|\" or a line break."
                        : L"A password can not contain \"|\" or a line break.";
        return message;
    }
    if (!fitsCodePage) {
        message += name ? L"A user name can only contain characters of this computer's code page."
                        : L"A password can only contain characters of this computer's code page.";
        return message;
    }
    return std::nullopt;
}

std::wstring DuplicateUserMessage(std::wstring_view storedName) {
    return std::wstring(L"Invalid User Name.") + kCR + L"User " + std::wstring(storedName) + L" already exists.";
}

std::wstring MustBeAdministratorMessage() {
    return std::wstring(L"This user must be an administrator.") + kCR + L"No other administrative account detected.";
}

std::wstring OnlyAdministratorMessage() {
    return std::wstring(L"Can not delete this user.") + kCR + L"This is the only administrative account detected.";
}

std::wstring DeleteQuestion(std::wstring_view name) {
    return L"Are you sure you want to delete user " + std::wstring(name) + L"?";
}

std::wstring DeletedMessage(std::wstring_view name) { return std::wstring(name) + L" deleted."; }

}  // namespace kv
