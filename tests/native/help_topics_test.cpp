#include "ui/help_topics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::size_t Count(std::wstring_view text, std::wstring_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::wstring_view::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

TEST(HelpTopics, ListOrderAndKeys) {
    const auto topics = kv::HelpTopics();
    ASSERT_EQ(topics.size(), 5u);
    const wchar_t* titles[] = {L"Overview", L"Encrypting and Decrypting", L"Regular Vs. Quick-Drop Mode",
                               L"Configuring Users", L"The Action Log"};
    for (std::size_t i = 0; i < topics.size(); ++i) {
        EXPECT_EQ(topics[i].title, titles[i]);
        EXPECT_EQ(kv::HelpTextFor(topics[i].title), topics[i].text);
    }
}

TEST(HelpTopics, ChosenNameIsMatchedInUpperCase) {
    EXPECT_EQ(kv::HelpTextFor(L"the action log"), kv::HelpTopics()[4].text);
    EXPECT_EQ(kv::HelpTextFor(L"REGULAR VS. QUICK-DROP MODE"), kv::HelpTopics()[2].text);
    EXPECT_TRUE(kv::HelpTextFor(L"Overview ").empty());
    EXPECT_TRUE(kv::HelpTextFor(L"Users").empty());
    EXPECT_TRUE(kv::HelpTextFor(L"").empty());
}

TEST(HelpTopics, ParagraphsAndLineBreaks) {
    const auto topics = kv::HelpTopics();
    EXPECT_EQ(Count(topics[0].text, L"\r"), 0u);
    EXPECT_EQ(Count(topics[4].text, L"\n"), 0u);
    EXPECT_EQ(Count(topics[1].text, L"\r\n\r\n"), 2u);
    EXPECT_EQ(Count(topics[2].text, L"\r\n\r\n"), 1u);
    // Seven paragraphs, six empty lines, no other line break.
    EXPECT_EQ(Count(topics[3].text, L"\r\n\r\n"), 6u);
    EXPECT_EQ(Count(topics[3].text, L"\n"), 12u);
    EXPECT_NE(topics[1].text.find(L"automatically.\r\n\r\nDecrypting a file"), std::wstring_view::npos);
}

TEST(HelpTopics, TextsKeepTheirOwnSpellingAndSpacing) {
    const auto topics = kv::HelpTopics();
    EXPECT_TRUE(topics[0].text.starts_with(L"Kor-Vane is a document security system that uses encryption to keep"));
    EXPECT_NE(topics[0].text.find(L"secure.  Passwords are required"), std::wstring_view::npos);
    EXPECT_NE(topics[0].text.find(L"all encyption or decryption"), std::wstring_view::npos);
    EXPECT_NE(topics[1].text.find(L"Kor-Vane screen.  The file will be"), std::wstring_view::npos);
    EXPECT_NE(topics[1].text.find(L"recognizes weather a file"), std::wstring_view::npos);
    EXPECT_NE(topics[2].text.find(L"click the Encrypt\\Decrypt button"), std::wstring_view::npos);
    EXPECT_NE(topics[2].text.find(L"get 'burried' under other windows as you explore you computer looking"),
              std::wstring_view::npos);
    EXPECT_TRUE(topics[3].text.starts_with(L"Initally, the program"));
    EXPECT_NE(topics[3].text.find(L"at one time. All files"), std::wstring_view::npos);
    EXPECT_NE(topics[3].text.find(L"confirm the new passord."), std::wstring_view::npos);
    EXPECT_TRUE(topics[3].text.ends_with(L"changes to thier own account, but not to ohter user accounts."));
    EXPECT_TRUE(topics[4].text.ends_with(L"and using the 'File' then 'Print' menu item."));
}

}  // namespace
