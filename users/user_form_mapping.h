// How the user-editing windows show a UserRecord and store it back: the texts of the
// "View Decrypted Files" and "Default Selection" lists, the check-box values, the rule
// that asks for a password a second time, and the refusal of text the store cannot hold.
// Pure functions, so the rules are checked without a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_store.h"

namespace kv {

inline constexpr wchar_t kAlwaysText[] = L"Always";
inline constexpr wchar_t kNeverText[] = L"Never";
inline constexpr wchar_t kPromptMeText[] = L"Prompt Me";

// The entries of the two drop-down lists, in the order the windows list them.
const std::vector<std::wstring>& AfterDecryptChoices();      // Always, Never, Prompt Me
const std::vector<std::wstring>& DefaultSelectionChoices();  // ALL, NONE

// AfterDecrypt: 1 "Always", 2 "Never", anything else "Prompt Me"; back from the text,
// exactly "Always" 1, exactly "Never" 2, any other text 0.
std::wstring AfterDecryptText(std::int32_t value);
std::int32_t AfterDecryptFromText(std::wstring_view text);

// DefaultSelection is stored in upper case.
std::wstring DefaultSelectionFromText(std::wstring_view text);

// The "Default Selection" pair is shown only while "Prompt Me" is chosen (any case).
bool ShowsDefaultSelection(std::wstring_view afterDecryptText);

// What an editing window shows of one account. Check boxes hold 0, 1 or 2 (greyed).
struct UserSettings {
    std::wstring Password;
    int Encrypt = 0;
    int Decrypt = 0;
    int IsAdmin = 0;
    int StartEasyDrop = 0;
    std::wstring AfterDecrypt;
    std::wstring DefaultSelection;

    bool operator==(const UserSettings&) const = default;
};

UserSettings SettingsFromRecord(const UserRecord& user);

// Stores the window's settings into the record: the password trimmed, only checked boxes
// as true, the list texts mapped. The rights (administrator, encrypt, decrypt) are stored
// only by the administrators' window.
enum class Rights { Keep, Store };
void StoreSettings(UserRecord& user, const UserSettings& settings, Rights rights);

// A new password is confirmed in a second box unless it is empty or only changes the case
// of the stored one.
bool NeedsConfirmation(std::wstring_view newPassword, std::wstring_view storedPassword);

// A name or password the store cannot keep: "|", CR or LF break its lines, and a character
// outside the ANSI code page (`fitsCodePage` false) would come back as another one. The
// message to show, or nothing when the text is fine.
enum class StoreField { UserName, Password };
std::optional<std::wstring> StoreRefusal(StoreField field, std::wstring_view text, bool fitsCodePage);

// Messages of the user windows, lines joined by CR.
std::wstring DuplicateUserMessage(std::wstring_view storedName);
std::wstring MustBeAdministratorMessage();
std::wstring OnlyAdministratorMessage();
std::wstring DeleteQuestion(std::wstring_view name);
std::wstring DeletedMessage(std::wstring_view name);
inline constexpr wchar_t kSavedMessage[] = L"Saved";
inline constexpr wchar_t kConfirmationMismatchMessage[] = L"Confirmation password does not match.";

}  // namespace kv
