#include "ui/help_topics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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

}  // namespace
