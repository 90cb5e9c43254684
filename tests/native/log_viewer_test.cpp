#include "ui/log_text.h"

#include "core/action_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Entry(int n) {
    return kv::ComposeLogEntry(L"1/2/2024 3:04:05 PM", L"Admin", n % 2 ? kv::kActionDecrypted : kv::kActionEncrypted,
                               L"C:\\Docs\\report" + std::to_wstring(n) + L".doc");
}

// A log as the program writes it: entries 1..count, oldest first.
std::string LogOf(int count) {
    std::string log;
    for (int n = 1; n <= count; ++n) log += kv::StoredLogLine(Entry(n));
    return log;
}

TEST(LogLines, EndingsAsASequentialReaderSeesThem) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(kv::SplitLogLines(""), Lines{});
    EXPECT_EQ(kv::SplitLogLines("ab\r\n"), Lines{"ab"});
    EXPECT_EQ(kv::SplitLogLines("ab"), Lines{"ab"});
    EXPECT_EQ(kv::SplitLogLines("ab\r\ncd"), (Lines{"ab", "cd"}));
    EXPECT_EQ(kv::SplitLogLines("ab\ncd\n"), (Lines{"ab", "cd"}));
    EXPECT_EQ(kv::SplitLogLines("ab\rcd\r"), (Lines{"ab", "cd"}));
    EXPECT_EQ(kv::SplitLogLines("\r\n"), Lines{""});
    EXPECT_EQ(kv::SplitLogLines("ab\r\n\r\ncd\r\n"), (Lines{"ab", "", "cd"}));
    EXPECT_EQ(kv::SplitLogLines("ab\n\r\ncd"), (Lines{"ab", "", "cd"}));
    EXPECT_EQ(kv::SplitLogLines(std::string_view("a\0b\r\n", 5)), Lines{std::string_view("a\0b", 3)});
}

TEST(LogView, EveryEntryDecodedOnItsOwnLine) {
    const kv::LogView empty = kv::BuildLogView("");
    EXPECT_EQ(empty.entries, 0u);
    EXPECT_EQ(empty.text, L"");

    const std::wstring accented = L"C:\\R\u00E9sum\u00E9s\\cv.doc";
    const std::string log = LogOf(2) + kv::EncodeLogLine(accented);  // last line without CR LF
    const kv::LogView view = kv::BuildLogView(log);
    EXPECT_EQ(view.entries, 3u);
    EXPECT_EQ(view.text, Entry(1) + L"\r\n" + Entry(2) + L"\r\n" + accented + L"\r\n");
}

TEST(LogView, ADamagedLineCannotHideTheEntriesAfterIt) {
    // Bytes 0 and 1 halve to NUL, which would end the text box's text there.
    const std::string log = kv::StoredLogLine(Entry(1)) + std::string("\x82\x00\x01\x84\r\n", 6) +
                            kv::StoredLogLine(Entry(2));
    const kv::LogView view = kv::BuildLogView(log);
    EXPECT_EQ(view.entries, 3u);
    EXPECT_EQ(view.text.find(L'\0'), std::wstring::npos);
    EXPECT_EQ(view.text, Entry(1) + L"\r\nA\uFFFD\uFFFDB\r\n" + Entry(2) + L"\r\n");
}

TEST(LogView, TruncationOfferNeedsMoreThanAThousand) {
    const kv::LogView thousand = kv::BuildLogView(LogOf(1000));
    EXPECT_EQ(thousand.entries, 1000u);
    EXPECT_FALSE(kv::OffersTruncation(thousand.entries));
    const kv::LogView more = kv::BuildLogView(LogOf(1001));
    EXPECT_EQ(more.entries, 1001u);
    EXPECT_TRUE(kv::OffersTruncation(more.entries));
    EXPECT_TRUE(more.text.ends_with(Entry(1001) + L"\r\n"));
}

TEST(LogTruncation, KeepsTheNewestThreeHundredByteForByte) {
    const std::string log = LogOf(301);
    const std::string first = kv::StoredLogLine(Entry(1));
    const auto kept = kv::TruncatedLogContent(log);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(*kept, log.substr(first.size()));
    EXPECT_EQ(kv::BuildLogView(*kept).entries, 300u);

    const std::string big = LogOf(2000);
    EXPECT_EQ(kv::TruncatedLogContent(big), big.substr(LogOf(1700).size()));

    // A last line without its ending gets one.
    const std::string unterminated = log.substr(0, log.size() - 2);
    EXPECT_EQ(kv::TruncatedLogContent(unterminated), *kept);
}

TEST(LogTruncation, NothingToDoAtThreeHundredOrFewer) {
    EXPECT_FALSE(kv::TruncatedLogContent(LogOf(300)).has_value());
    EXPECT_FALSE(kv::TruncatedLogContent("").has_value());
    EXPECT_FALSE(kv::TruncatedLogContent(LogOf(1)).has_value());
}

TEST(LogTruncation, TemporaryFileBesideTheLog) {
    EXPECT_EQ(kv::LogTempPath(L"C:\\Program Files\\Korvane\\KVL.txt"), L"C:\\Program Files\\Korvane\\KVLTEMP.txt");
    EXPECT_EQ(kv::LogTempPath(L"D:\\notes.txt\\Korvane\\KVL.txt"), L"D:\\notes.txt\\Korvane\\KVLTEMP.txt");
    EXPECT_EQ(kv::LogTempPath(L"/data/x.txt/KVL.txt"), L"/data/x.txt/KVLTEMP.txt");
    EXPECT_EQ(kv::LogTempPath(L"KVL.txt"), L"KVLTEMP.txt");
    EXPECT_EQ(kv::LogTempPath(L"C:KVL.txt"), L"C:KVLTEMP.txt");
    // Never the log itself, whatever the name.
    EXPECT_EQ(kv::LogTempPath(L"C:\\a.txt\\KVL.TXT"), L"C:\\a.txt\\KVL.TXTTEMP.txt");
}

TEST(LogViewerTexts, MessagesWordForWord) {
    EXPECT_EQ(kv::kNoTruncationNecessary.find(L"entries.  No"), 14u);
    EXPECT_NE(kv::kLogTruncationOffer.find(L"except for the most recent 300 actions.\r\rWould you"), std::wstring_view::npos);
    EXPECT_TRUE(kv::kLogTruncationOffer.starts_with(L"There is more than 1000 entries in your log file.\rIt is"));
}

}  // namespace
