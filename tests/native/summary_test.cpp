#include "core/summary.h"

#include <gtest/gtest.h>

namespace {

TEST(Summary, TextForEachCombinationOfCounts) {
    EXPECT_EQ(kv::BuildSummary(0, 0), L"0 files precessed.");
    EXPECT_EQ(kv::BuildSummary(0, 1), L"1 file decrypted.");
    EXPECT_EQ(kv::BuildSummary(0, 2), L"2 files decrypted.");
    EXPECT_EQ(kv::BuildSummary(1, 0), L"1 file encrypted.");
    EXPECT_EQ(kv::BuildSummary(2, 0), L"2 files encrypted.");
    EXPECT_EQ(kv::BuildSummary(3, 1), L"3 files encrypted.\r1 file decrypted.");
    EXPECT_EQ(kv::BuildSummary(1, 12), L"1 file encrypted.\r12 files decrypted.");
    EXPECT_EQ(kv::BuildSummary(10, 0), L"10 files encrypted.");
}

TEST(Summary, SingleDecryptionQuestionCarriesTheSummary) {
    EXPECT_EQ(kv::ViewDecryptedQuestion(kv::BuildSummary(1, 1)),
              L"1 file encrypted.\r1 file decrypted.\rWould you like to view the decrypted file now?");
}

}  // namespace
