// The user store: the account record, its line format in KVU.txt, the on-disk encoding
// and the lookups the log-in and the administration windows use.
//
// KVU.txt, plain form: one record per line, CR LF after every line, eight fields joined
// by "|": UserName|Password|IsAdmin|AllowEncrypt|AllowDecrypt|StartEasyDrop|AfterDecrypt|
// DefaultSelection. Booleans are "TRUE"/"FALSE" (any case reads as true when it spells
// TRUE). On disk every byte is stored increased by 2 with carries (the word transform with
// delta 2) and three bytes follow the last one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct UserRecord {
    std::wstring UserName;  // empty: deleted during this run, never written
    std::wstring Password;
    bool AllowEncrypt = false;
    bool AllowDecrypt = false;
    bool IsAdmin = false;
    bool StartEasyDrop = false;
    std::int32_t AfterDecrypt = 0;  // 0 "Prompt Me", 1 "Always", 2 "Never"
    std::wstring DefaultSelection;  // "ALL" or "NONE"

    bool operator==(const UserRecord&) const = default;
};

inline constexpr std::int32_t kAfterDecryptPrompt = 0;
inline constexpr std::int32_t kAfterDecryptAlways = 1;
inline constexpr std::int32_t kAfterDecryptNever = 2;

UserRecord DefaultAdministrator();                 // Admin, blank password, every right
UserRecord NewUserRecord(const std::wstring& name);  // encrypt and decrypt, nothing else
inline constexpr wchar_t kDefaultAdministratorLine[] = L"Admin||TRUE|TRUE|TRUE|FALSE|0|ALL";

bool TextToBool(std::wstring_view text);
std::wstring BoolToText(bool value);
bool CheckToBool(int value);
int BoolToCheck(bool value);

// One record as its line, without the line end.
std::wstring FormatUserLine(const UserRecord& user);
// A line with at least three "|" is a record; missing fields read as empty (false, 0, "")
// and a seventh field that is not a number reads as 0. Fields after the eighth are ignored.
std::optional<UserRecord> ParseUserLine(std::wstring_view line);

// The whole plain text: every record with a name, in order, each followed by CR LF.
std::wstring FormatUsersText(const std::vector<UserRecord>& users);
// Every record line of a plain text, in order; other lines are skipped.
std::vector<UserRecord> ParseUsersText(std::wstring_view text);

// A store most of whose text is not account lines (lines with at least three "|") is
// damaged, not a store with a few odd lines: random bytes hold an account line now and
// then, and must not be read as accounts. Such a store, like one with no account at all,
// is refused. An empty text is not mostly garbage (it holds no account either).
bool MostlyGarbage(std::wstring_view text);

// The on-disk encoding of the plain bytes and its inverse.
std::vector<std::uint8_t> EncodeUsersBytes(const std::vector<std::uint8_t>& plain);
std::vector<std::uint8_t> DecodeUsersBytes(const std::vector<std::uint8_t>& stored);

// Characters the format cannot hold in a name or password: "|", CR, LF.
bool FitsUserStore(std::wstring_view text);

// Lookups; names compare without regard to case.
inline constexpr wchar_t kInvalidUser[] = L"INVALID USER";
// The password of the first record named `name`; "INVALID USER" when there is none (an
// empty name never matches, not even a deleted record).
std::wstring GetUserPassword(const std::vector<UserRecord>& users, std::wstring_view name);
// Index of the first record named `name`, or -1.
int FindUserIndex(const std::vector<UserRecord>& users, std::wstring_view name);
// Some live record other than `name` is an administrator.
bool OtherAdminExists(const std::vector<UserRecord>& users, std::wstring_view name);

}  // namespace kv
