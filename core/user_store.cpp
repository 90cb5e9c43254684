#include "core/user_store.h"

#include <algorithm>

#include "core/text.h"
#include "core/transform.h"

namespace kv {
namespace {

constexpr std::uint32_t kStoreDelta = 2;

std::vector<std::wstring_view> SplitFields(std::wstring_view line) {
    std::vector<std::wstring_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t bar = line.find(L'|', start);
        if (bar == std::wstring_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, bar - start));
        start = bar + 1;
    }
}

// The leading whole number of a field ("2", " 1", "-3x"); 0 when there is none or it does
// not fit 32 bits.
std::int32_t LeadingNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    long long value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        any = true;
        value = value * 10 + (text[i] - L'0');
        if (value > 2147483648LL) return 0;
    }
    if (!any) return 0;
    value = negative ? -value : value;
    if (value > 2147483647LL || value < -2147483648LL) return 0;
    return static_cast<std::int32_t>(value);
}

}  // namespace

UserRecord NewUserRecord(const std::wstring& name) {
    UserRecord user;
    user.UserName = name;
    user.AllowEncrypt = true;
    user.AllowDecrypt = true;
    user.AfterDecrypt = kAfterDecryptPrompt;
    user.DefaultSelection = L"ALL";
    return user;
}

UserRecord DefaultAdministrator() {
    UserRecord admin = NewUserRecord(L"Admin");
    admin.IsAdmin = true;
    return admin;
}

bool TextToBool(std::wstring_view text) { return UpperCase(text) == L"TRUE"; }
std::wstring BoolToText(bool value) { return value ? L"TRUE" : L"FALSE"; }
bool CheckToBool(int value) { return value == 1; }
int BoolToCheck(bool value) { return value ? 1 : 0; }

std::wstring FormatUserLine(const UserRecord& u) {
    return u.UserName + L"|" + u.Password + L"|" + BoolToText(u.IsAdmin) + L"|" + BoolToText(u.AllowEncrypt) + L"|" +
           BoolToText(u.AllowDecrypt) + L"|" + BoolToText(u.StartEasyDrop) + L"|" + std::to_wstring(u.AfterDecrypt) +
           L"|" + u.DefaultSelection;
}

std::optional<UserRecord> ParseUserLine(std::wstring_view line) {
    const auto fields = SplitFields(line);
    if (fields.size() < 4) return std::nullopt;  // fewer than three "|"
    auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::wstring_view(); };
    UserRecord u;
    u.UserName = std::wstring(field(0));
    u.Password = std::wstring(field(1));
    u.IsAdmin = TextToBool(field(2));
    u.AllowEncrypt = TextToBool(field(3));
    u.AllowDecrypt = TextToBool(field(4));
    u.StartEasyDrop = TextToBool(field(5));
    u.AfterDecrypt = LeadingNumber(field(6));
    u.DefaultSelection = std::wstring(field(7));
    return u;
}

std::wstring FormatUsersText(const std::vector<UserRecord>& users) {
    std::wstring text;
    for (const auto& u : users) {
        if (u.UserName.empty()) continue;
        text += FormatUserLine(u);
        text += L"\r\n";
    }
    return text;
}

std::vector<UserRecord> ParseUsersText(std::wstring_view text) {
    // Lines end at CR LF, a lone CR or a lone LF, as a line-by-line text read takes them.
    std::vector<UserRecord> users;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) end = text.size();
        if (auto user = ParseUserLine(text.substr(start, end - start))) users.push_back(std::move(*user));
        if (end < text.size() && text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ++end;
        start = end + 1;
    }
    return users;
}

bool MostlyGarbage(std::wstring_view text) {
    // Counted in characters, line ends included with the line they end.
    std::size_t records = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) end = text.size();
        const bool record = ParseUserLine(text.substr(start, end - start)).has_value();
        if (end < text.size() && text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ++end;
        if (record) records += std::min(end + 1, text.size()) - start;
        start = end + 1;
    }
    return records * 2 < text.size();
}

std::vector<std::uint8_t> EncodeUsersBytes(const std::vector<std::uint8_t>& plain) {
    return AddWordsForward(plain, kStoreDelta);
}

std::vector<std::uint8_t> DecodeUsersBytes(const std::vector<std::uint8_t>& stored) {
    return SubWordsBackward(stored, kStoreDelta);
}

bool FitsUserStore(std::wstring_view text) { return text.find_first_of(L"|\r\n") == std::wstring_view::npos; }

std::wstring GetUserPassword(const std::vector<UserRecord>& users, std::wstring_view name) {
    const int index = FindUserIndex(users, name);
    return index < 0 ? std::wstring(kInvalidUser) : users[static_cast<size_t>(index)].Password;
}

int FindUserIndex(const std::vector<UserRecord>& users, std::wstring_view name) {
    if (name.empty()) return -1;
    for (size_t i = 0; i < users.size(); ++i)
        if (SameName(users[i].UserName, name)) return static_cast<int>(i);
    return -1;
}

bool OtherAdminExists(const std::vector<UserRecord>& users, std::wstring_view name) {
    for (const auto& u : users)
        if (!u.UserName.empty() && !SameName(u.UserName, name) && u.IsAdmin) return true;
    return false;
}

}  // namespace kv
