// The user store reader on any bytes: decoding and parsing never crash, and every record
// read back is written and read again unchanged.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/user_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::vector<std::uint8_t> stored(data, data + size);
    const std::vector<std::uint8_t> plain = kv::DecodeUsersBytes(stored);

    // Decoding is undone by encoding, whatever the bytes were.
    if (stored.size() >= 3) {
        const auto again = kv::EncodeUsersBytes(plain);
        if (!plain.empty() && std::vector<std::uint8_t>(again.begin(), again.end() - 3) !=
                                  std::vector<std::uint8_t>(stored.begin(), stored.end() - 3))
            std::abort();
    }

    std::wstring text(plain.begin(), plain.end());  // one byte, one character
    const auto users = kv::ParseUsersText(text);
    std::vector<kv::UserRecord> named;
    for (const auto& u : users)
        if (!u.UserName.empty()) named.push_back(u);

    // What is written reads back as the same records, apart from the fields a save
    // normalises (a number written in decimal, Booleans as TRUE/FALSE).
    const auto back = kv::ParseUsersText(kv::FormatUsersText(named));
    if (back.size() != named.size()) std::abort();
    for (size_t i = 0; i < back.size(); ++i)
        if (!(back[i] == named[i])) std::abort();

    (void)kv::GetUserPassword(users, L"Admin");
    (void)kv::OtherAdminExists(users, L"Admin");
    return 0;
}
