#include "core/action_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<unsigned> codes) {
    std::string s;
    for (unsigned c : codes) s += char(c);
    return s;
}

// Text from Unicode code points, as the platform's wchar_t holds it.
std::wstring FromCodePoints(const std::vector<std::uint32_t>& cps) {
    std::wstring s;
    for (std::uint32_t cp : cps) {
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            s += wchar_t(0xD800 + ((cp - 0x10000) >> 10));
            s += wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            s += wchar_t(cp);
        }
    }
    return s;
}

bool HasForbiddenByte(const std::string& stored) {
    return stored.find_first_of(std::string("\0\n\r ", 4)) != std::string::npos;
}

TEST(LogLineEncoding, DoublesEveryPlainCharacter) {
    EXPECT_EQ(kv::EncodeLogLine(L"abc"), Bytes({0xC2, 0xC4, 0xC6}));
    EXPECT_EQ(kv::EncodeLogLine(L" "), "@");
    EXPECT_EQ(kv::EncodeLogLine(L"09"), Bytes({96, 114}));
    EXPECT_EQ(kv::EncodeLogLine(L"\x7F\t"), Bytes({254, 18}));
    EXPECT_EQ(kv::EncodeLogLine(L""), "");
}

TEST(LogLineEncoding, DecodingHalvesBytesOfLinesNeverEncoded) {
    EXPECT_EQ(kv::DecodeLogLine("A"), L" ");
    EXPECT_EQ(kv::DecodeLogLine(Bytes({0xC2, 0xC3, 0xC5, 0xC6})), L"aabc");
    // A 0xFF that starts no escape is a byte like the others.
    EXPECT_EQ(kv::DecodeLogLine(Bytes({0xFF})), L"\x7F");
    EXPECT_EQ(kv::DecodeLogLine(Bytes({0xFF, 0xC2})), L"\x7F" L"a");
    EXPECT_EQ(kv::DecodeLogLine(Bytes({0xFF, 0xC3, 0x41})), L"\x7F" L"a ");
    EXPECT_EQ(kv::DecodeLogLine(Bytes({0xFF, 0xC0, 0x80})), L"\x7F" L"`@");  // overlong form
    EXPECT_EQ(kv::DecodeLogLine(Bytes({0xFF, 0xF4, 0x90, 0x80, 0x80})), L"\x7FzH@@");  // above U+10FFFF
}

TEST(LogLineEncoding, PlainAsciiEntriesKeepTheDoublingRule) {
    std::mt19937 rng(4);
    for (int n = 0; n < 500; ++n) {
        std::wstring entry;
        const int len = int(rng() % 120);
        for (int i = 0; i < len; ++i) entry += wchar_t(32 + rng() % 96);
        const std::string stored = kv::EncodeLogLine(entry);
        ASSERT_EQ(stored.size(), entry.size());
        for (std::size_t i = 0; i < entry.size(); ++i) {
            ASSERT_EQ(static_cast<unsigned char>(stored[i]), 2u * unsigned(entry[i]));
        }
        ASSERT_FALSE(HasForbiddenByte(stored));
        ASSERT_EQ(kv::DecodeLogLine(stored), entry);
    }
}

TEST(LogLineEncoding, ControlCodesThatWouldBreakALineAreEscaped) {
    EXPECT_EQ(kv::EncodeLogLine(std::wstring(1, L'\0')), Bytes({0xFF, 0x80}));
    EXPECT_EQ(kv::EncodeLogLine(L"\x05"), Bytes({0xFF, 0x85}));
    EXPECT_EQ(kv::EncodeLogLine(L"\x10"), Bytes({0xFF, 0x90}));
    std::wstring all;
    for (wchar_t c = 0; c < 128; ++c) all += c;
    const std::string stored = kv::EncodeLogLine(all);
    EXPECT_EQ(stored.size(), all.size() + 3);
    EXPECT_FALSE(HasForbiddenByte(stored));
    EXPECT_EQ(kv::DecodeLogLine(stored), all);
}

TEST(LogLineEncoding, CharactersBeyondAsciiRoundTrip) {
    EXPECT_EQ(kv::EncodeLogLine(L"\u00E9"), Bytes({0xFF, 0xC3, 0xA9}));
    EXPECT_EQ(kv::EncodeLogLine(L"a\u20AC"), Bytes({0xC2, 0xFF, 0xE2, 0x82, 0xAC}));
    EXPECT_EQ(kv::EncodeLogLine(FromCodePoints({0x1F600})), Bytes({0xFF, 0xF0, 0x9F, 0x98, 0x80}));

    const std::wstring path = FromCodePoints({'C', ':', '\\', 0xC9, 't', 0xE9, '\\', 0x6587, 0x66F8, ' ', 0x10348, '.', 'd'});
    const std::string stored = kv::EncodeLogLine(path);
    EXPECT_FALSE(HasForbiddenByte(stored));
    EXPECT_EQ(kv::DecodeLogLine(stored), path);

    std::mt19937 rng(6);
    for (int n = 0; n < 300; ++n) {
        std::vector<std::uint32_t> cps;
        for (int i = int(rng() % 40); i > 0; --i) {
            switch (rng() % 4) {
                case 0: cps.push_back(rng() % 128); break;
                case 1: cps.push_back(0x80 + rng() % 0x780); break;
                case 2: cps.push_back(0x800 + rng() % 0xF800); break;  // includes lone surrogates
                default: cps.push_back(0x10000 + rng() % 0x100000); break;
            }
        }
        const std::wstring text = FromCodePoints(cps);
        const std::string enc = kv::EncodeLogLine(text);
        ASSERT_FALSE(HasForbiddenByte(enc));
        ASSERT_EQ(kv::DecodeLogLine(enc), text);
    }
}

TEST(LogLineEncoding, UnpairedSurrogatesSurvive) {
    for (const std::wstring& text : {std::wstring(1, wchar_t(0xD800)), std::wstring(1, wchar_t(0xDFFF)),
                                     std::wstring{wchar_t(0xDC00), wchar_t(0xD800)}, std::wstring{wchar_t(0xD83D), L'x'}}) {
        EXPECT_EQ(kv::DecodeLogLine(kv::EncodeLogLine(text)), text);
    }
}

TEST(LogEntry, StampAndLayout) {
    EXPECT_EQ(kv::FormatLogStamp(L"3/7/2024", L"2:05:09 PM", false), L"3/7/2024 2:05:09 PM");
    EXPECT_EQ(kv::FormatLogStamp(L"3/7/2024", L"12:00:00 AM", true), L"3/7/2024");

    const std::wstring entry = kv::ComposeLogEntry(L"3/7/2024 2:05:09 PM", L"Admin", kv::kActionEncrypted, L"C:\\Docs\\a b.doc");
    EXPECT_EQ(entry, L"3/7/2024 2:05:09 PM   Admin   ENCRYPTED FILE: C:\\Docs\\a b.doc");

    const std::string line = kv::StoredLogLine(entry);
    ASSERT_EQ(line.size(), entry.size() + 2);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const std::string body = line.substr(0, line.size() - 2);
    EXPECT_FALSE(HasForbiddenByte(body));
    for (char b : body) EXPECT_EQ(static_cast<unsigned char>(b) % 2, 0);
    EXPECT_EQ(kv::DecodeLogLine(body), entry);
}

TEST(LogEntry, AppendDecodingKeepsWhatIsThere) {
    std::wstring out = L"x";
    out.reserve(64);
    kv::AppendDecodedLogLine(out, kv::EncodeLogLine(L"\u00E9t\u00E9"));
    kv::AppendDecodedLogLine(out, "");
    kv::AppendDecodedLogLine(out, "\x82");
    EXPECT_EQ(out, L"x\u00E9t\u00E9A");
}

}  // namespace
