// The user store's line format, encoding and lookups.
#include "core/user_store.h"

#include <gtest/gtest.h>

#include <random>

#include "core/paths.h"
#include "core/text.h"
#include "win/twips.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using kv::UserRecord;

// The store encoding exactly as stated: a word at every position, from the first to the
// last, bytes past the end reading as zero; and the decoding from the last to the first.
Bytes EncodeLiterally(Bytes b) {
    const size_t n = b.size();
    for (size_t i = 0; i < n; ++i) {
        if (b.size() < i + 4) b.resize(i + 4, 0);
        std::uint32_t w = b[i] | b[i + 1] << 8 | b[i + 2] << 16 | std::uint32_t(b[i + 3]) << 24;
        w += 2;
        for (int k = 0; k < 4; ++k) b[i + k] = static_cast<std::uint8_t>(w >> (8 * k));
    }
    return b;
}

TEST(UserStoreEncoding, EncodesEveryByteTwoHigherWithCarries) {
    const Bytes plain{0x61, 0x62, 0x63, 0x0D, 0x0A};
    const Bytes stored{0x63, 0x64, 0x65, 0x0F, 0x0C, 0x00, 0x00, 0x00};
    EXPECT_EQ(kv::EncodeUsersBytes(plain), stored);
    EXPECT_EQ(kv::DecodeUsersBytes(stored), plain);
}

TEST(UserStoreEncoding, AgreesWithTheLiteralLoopOnCarryHeavyContent) {
    std::mt19937 rng(20261208);
    const std::uint8_t palette[] = {0x00, 0xFD, 0xFE, 0xFF, 0x7C, 0x41};
    for (int round = 0; round < 400; ++round) {
        Bytes plain(rng() % 70);
        for (auto& b : plain) b = (rng() % 3) ? palette[rng() % 6] : static_cast<std::uint8_t>(rng());
        const Bytes stored = kv::EncodeUsersBytes(plain);
        ASSERT_EQ(stored, EncodeLiterally(plain)) << "round " << round;
        ASSERT_EQ(kv::DecodeUsersBytes(stored), plain) << "round " << round;
    }
    // Runs that drop a carry at a window's end still come back.
    const Bytes tricky{0xFE, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF};
    EXPECT_EQ(kv::DecodeUsersBytes(kv::EncodeUsersBytes(tricky)), tricky);
    // Shorter than three bytes: left as it is.
    EXPECT_EQ(kv::DecodeUsersBytes(Bytes{7, 8}), (Bytes{7, 8}));
}

TEST(UserStoreLines, DefaultAdministratorAndNewUsers) {
    EXPECT_EQ(kv::FormatUserLine(kv::DefaultAdministrator()), kv::kDefaultAdministratorLine);
    const UserRecord bob = kv::NewUserRecord(L"Bob");
    EXPECT_EQ(kv::FormatUserLine(bob), L"Bob||FALSE|TRUE|TRUE|FALSE|0|ALL");
}

TEST(UserStoreLines, ParsingIsTheInverseOfFormattingAndToleratesHandEdits) {
    UserRecord u = kv::NewUserRecord(L"Carol");
    u.Password = L"a,\"b\" c";
    u.StartEasyDrop = true;
    u.AfterDecrypt = 2;
    u.DefaultSelection = L"NONE";
    EXPECT_EQ(kv::ParseUserLine(kv::FormatUserLine(u)), u);

    auto mixed = kv::ParseUserLine(L"X|p|true|True|tRuE|yes|1|ALL|more|fields");
    ASSERT_TRUE(mixed);
    EXPECT_TRUE(mixed->IsAdmin && mixed->AllowEncrypt && mixed->AllowDecrypt);
    EXPECT_FALSE(mixed->StartEasyDrop);
    EXPECT_EQ(mixed->DefaultSelection, L"ALL");

    EXPECT_FALSE(kv::ParseUserLine(L"A|b|c"));  // two bars
    auto four = kv::ParseUserLine(L"A|b|TRUE|TRUE");
    ASSERT_TRUE(four);
    EXPECT_TRUE(four->IsAdmin && four->AllowEncrypt);
    EXPECT_FALSE(four->AllowDecrypt);
    EXPECT_EQ(four->AfterDecrypt, 0);
    EXPECT_EQ(four->DefaultSelection, L"");

    EXPECT_EQ(kv::ParseUserLine(L"A|b|F|F|F|F|abc|ALL")->AfterDecrypt, 0);
    EXPECT_EQ(kv::ParseUserLine(L"A|b|F|F|F|F|1x|ALL")->AfterDecrypt, 1);
    EXPECT_EQ(kv::ParseUserLine(L"A|b|F|F|F|F|99999999999|ALL")->AfterDecrypt, 0);
    EXPECT_EQ(kv::ParseUserLine(L"A|b|F|F|F|F|-1|ALL")->AfterDecrypt, -1);
}

TEST(UserStoreLines, WholeTextSkipsDeletedRecordsAndOddLines) {
    std::vector<UserRecord> users{kv::DefaultAdministrator(), kv::NewUserRecord(L""), kv::NewUserRecord(L"Bob")};
    const std::wstring text = kv::FormatUsersText(users);
    EXPECT_EQ(text, L"Admin||TRUE|TRUE|TRUE|FALSE|0|ALL\r\nBob||FALSE|TRUE|TRUE|FALSE|0|ALL\r\n");
    const auto back = kv::ParseUsersText(L"junk\r\n" + text + L"last|line|TRUE|TRUE");
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], users[0]);
    EXPECT_EQ(back[1], users[2]);
    EXPECT_EQ(back[2].UserName, L"last");
    EXPECT_TRUE(kv::ParseUsersText(L"").empty());
}

TEST(UserStoreLines, AStoreMostlyOfGarbageIsDamagedWhateverItsSize) {
    std::mt19937 rng(26);
    auto random = [&](size_t n) {
        std::wstring text(n, L'\0');
        for (auto& c : text) c = static_cast<wchar_t>(rng() & 0xFF);
        return text;
    };
    std::vector<UserRecord> users{kv::DefaultAdministrator()};
    for (int i = 0; i < 19; ++i) users.push_back(kv::NewUserRecord(L"user" + std::to_wstring(i)));
    const std::wstring store = kv::FormatUsersText(users);  // 20 accounts, about 700 characters
    const struct {
        std::wstring text;
        bool damaged;
    } cases[] = {
        {random(1 << 10), true},   {random(64 << 10), true},       {random(1 << 20), true},
        {random(8 << 20), true},   {store, false},                 {L"", false},
        {store + L"a stray note\r\n" + random(200), false},    {store + random(2 * store.size()), true},
        {random(store.size() / 2) + L"\r\n" + store, false}, {random(store.size() + 100) + L"\r\n" + store, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(kv::MostlyGarbage(cases[i].text), cases[i].damaged) << "case " << i << ", " << cases[i].text.size();
    // What random bytes look like when read line by line: accounts, now and then.
    EXPECT_FALSE(kv::ParseUsersText(cases[3].text).empty());
}

TEST(UserStoreLookups, NamesCompareWithoutCaseAndDeletedRecordsDoNotCount) {
    std::vector<UserRecord> users{kv::DefaultAdministrator(), kv::NewUserRecord(L"Bob")};
    users[1].Password = L"Secret";
    EXPECT_EQ(kv::GetUserPassword(users, L"admin"), L"");
    EXPECT_EQ(kv::GetUserPassword(users, L"ADMIN"), L"");
    EXPECT_EQ(kv::GetUserPassword(users, L"bOB"), L"Secret");
    EXPECT_EQ(kv::GetUserPassword(users, L"Nobody"), L"INVALID USER");
    EXPECT_EQ(kv::GetUserPassword(users, L""), L"INVALID USER");
    EXPECT_EQ(kv::FindUserIndex(users, L"BOB"), 1);

    EXPECT_FALSE(kv::OtherAdminExists(users, L"admin"));
    EXPECT_TRUE(kv::OtherAdminExists(users, L"Bob"));
    users.push_back(kv::DefaultAdministrator());
    users[2].UserName = L"Second";
    EXPECT_TRUE(kv::OtherAdminExists(users, L"Admin"));
    users[2].UserName.clear();  // deleted during the run: no longer counts
    EXPECT_FALSE(kv::OtherAdminExists(users, L"Admin"));
    EXPECT_EQ(kv::FindUserIndex(users, L""), -1);
}

TEST(UserStoreLookups, BooleanAndCheckBoxConversions) {
    EXPECT_TRUE(kv::TextToBool(L"tRUE"));
    EXPECT_FALSE(kv::TextToBool(L"TRUE "));
    EXPECT_FALSE(kv::TextToBool(L"1"));
    EXPECT_EQ(kv::BoolToText(true), L"TRUE");
    EXPECT_TRUE(kv::CheckToBool(1));
    EXPECT_FALSE(kv::CheckToBool(2));  // greyed is not checked
    EXPECT_EQ(kv::BoolToCheck(true), 1);
    EXPECT_FALSE(kv::FitsUserStore(L"a|b"));
    EXPECT_FALSE(kv::FitsUserStore(L"a\rb"));
    EXPECT_TRUE(kv::FitsUserStore(L"a,b\"c"));
}

TEST(ProgramFolderFiles, DataFilesSitBesideTheProgramWithoutDoubledSeparators) {
    EXPECT_EQ(kv::FileInProgramFolder(L"C:\\Tools\\Korvane", kv::kUsersFileName), L"C:\\Tools\\Korvane\\KVU.txt");
    EXPECT_EQ(kv::FileInProgramFolder(L"D:\\", kv::kLogFileName), L"D:\\KVL.txt");
    EXPECT_EQ(kv::FileInProgramFolder(L"\\\\server\\share", kv::kLogFileName), L"\\\\server\\share\\KVL.txt");
}

TEST(TextRules, TrimAndCaseInsensitiveComparison) {
    EXPECT_EQ(kv::TrimBlanks(L"  pass word  "), L"pass word");
    EXPECT_EQ(kv::TrimBlanks(L"\tx "), L"\tx");  // only blanks are trimmed
    EXPECT_EQ(kv::TrimBlanks(L"   "), L"");
    EXPECT_TRUE(kv::SameName(L"M\u00fcller", L"M\u00dcLLER"));
    EXPECT_FALSE(kv::SameName(L"abc", L"abd"));
    EXPECT_TRUE(kv::EndsWith(L"x.doclocked", L"locked"));
    EXPECT_FALSE(kv::EndsWith(L"x.docLOCKED", L"locked"));
}

TEST(Twips, PixelsFollowTheDisplayResolution) {
    EXPECT_EQ(kv::win::TwipsToPixels(1440, 96), 96);
    EXPECT_EQ(kv::win::TwipsToPixels(5265, 96), 351);
    EXPECT_EQ(kv::win::TwipsToPixels(5265, 144), 527);  // 526.5 rounds up
    EXPECT_EQ(kv::win::TwipsToPixels(-240, 96), -16);
    EXPECT_EQ(kv::win::PixelsToTwips(96, 96), 1440);
    EXPECT_EQ(kv::win::PointsToFontHeight(8.25, 96), -11);
}

}  // namespace
