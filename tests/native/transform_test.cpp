#include "core/transform.h"

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

TEST(WordTransform, UserStoreExampleWithDeltaTwo) {
    const Bytes plain{0x61, 0x62, 0x63, 0x0D, 0x0A};
    const Bytes stored{0x63, 0x64, 0x65, 0x0F, 0x0C, 0x00, 0x00, 0x00};
    EXPECT_EQ(kv::AddWordsForward(plain, 2), stored);
    EXPECT_EQ(kv::SubWordsBackward(stored, 2), plain);
}
