// Appending to the action log KVL.txt through the Win32 file calls.
#include "harness.h"

#include <string>
#include <vector>

#include "core/action_log_writer.h"
#include "core/Globals.h"
#include "core/action_log.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using Bytes = std::vector<std::uint8_t>;

class ActionLogTest : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users[0] = kv::NewUserRecord(L"Admin");
    }
    // The stored lines, each without its CR LF; fails when the file does not end in one.
    std::vector<std::string> StoredLines() { return CrLfLines(G::LogFilePath); }
};

TEST_F(ActionLogTest, EntriesAreAppendedOneEncodedLineEach) {
    ASSERT_FALSE(Exists(G::LogFilePath));
    const std::wstring path = L"C:\\Papers\\report.doc";
    EXPECT_TRUE(kv::AppendLogEntry(kv::kActionEncrypted, path).written);
    auto lines = StoredLines();
    ASSERT_EQ(lines.size(), 1u);

    // Plain ASCII entries keep the doubling rule exactly: even bytes only, no blank, one
    // byte per character; halving every byte reads the entry back.
    std::string plain;
    for (char c : lines[0]) {
        const auto b = static_cast<unsigned char>(c);
        EXPECT_EQ(b % 2, 0) << "odd byte " << int(b);
        EXPECT_NE(b, 32);
        plain += static_cast<char>(b / 2);
    }
    const std::string tail = "   Admin   ENCRYPTED FILE: C:\\Papers\\report.doc";
    ASSERT_GT(plain.size(), tail.size());
    EXPECT_EQ(plain.substr(plain.size() - tail.size()), tail);
    const std::string stamp = plain.substr(0, plain.size() - tail.size());
    EXPECT_FALSE(stamp.empty());
    EXPECT_EQ(stamp.find("   "), std::string::npos);

    G::Users[0].UserName = L"Bob";
    EXPECT_TRUE(kv::AppendLogEntry(kv::kActionDecrypted, L"D:\\x.txt").written);
    lines = StoredLines();
    ASSERT_EQ(lines.size(), 2u);
    const std::wstring second = kv::DecodeLogLine(lines[1]);
    EXPECT_NE(second.find(L"   Bob   DECRYPTED FILE: D:\\x.txt"), std::wstring::npos);
}

TEST_F(ActionLogTest, TheStampFollowsTheUsersFormatsAndDropsAMidnightTime) {
    SYSTEMTIME afternoon{2024, 3, 2, 5, 13, 4, 9, 0};
    SYSTEMTIME midnight{2024, 3, 2, 5, 0, 0, 0, 0};
    SYSTEMTIME justAfter{2024, 3, 2, 5, 0, 0, 1, 0};
    wchar_t date[64] = {}, time[64] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &afternoon, nullptr, date, 64, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &afternoon, nullptr, time, 64);
    ASSERT_NE(date[0], 0);
    EXPECT_EQ(kv::LogStampFor(afternoon), std::wstring(date) + L" " + time);
    EXPECT_EQ(kv::LogStampFor(midnight), date);
    EXPECT_NE(kv::LogStampFor(justAfter), date);

    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    ::GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    if (std::wstring(locale) == L"en-US") {
        EXPECT_EQ(kv::LogStampFor(afternoon), L"3/5/2024 1:04:09 PM");
    }
}

TEST_F(ActionLogTest, ALogHeldByAnotherProgramIsReportedAndLeftAsItWas) {
    ASSERT_TRUE(kv::AppendLogEntry(kv::kActionEncrypted, L"C:\\a.txt").written);
    const Bytes before = ReadBytes(G::LogFilePath);
    HANDLE holder = ::CreateFileW(G::LogFilePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const kv::LogWriteResult result = kv::AppendLogEntry(kv::kActionEncrypted, L"C:\\b.txt");
    ::CloseHandle(holder);
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(ReadBytes(G::LogFilePath), before);

    // Free again: the file is not held between entries, so the next one goes in.
    EXPECT_TRUE(kv::AppendLogEntry(kv::kActionEncrypted, L"C:\\c.txt").written);
    EXPECT_EQ(StoredLines().size(), 2u);
}

TEST_F(ActionLogTest, AMissingFolderIsAFailureNotACrash) {
    G::LogFilePath = folder.File(L"no such folder\\KVL.txt");
    const kv::LogWriteResult result = kv::AppendLogEntry(kv::kActionDecrypted, L"C:\\a.txt");
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(Exists(G::LogFilePath));
}

}  // namespace
}  // namespace kvtest
