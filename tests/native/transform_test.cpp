#include "core/transform.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

using Bytes = std::vector<std::uint8_t>;

namespace {

// The literal transform: a 4-byte word read and written back at
// every position, bytes past the end reading as zero.
Bytes LiteralForward(const Bytes& plain, std::uint32_t delta) {
    if (plain.empty()) return {};
    Bytes f(plain);
    f.resize(plain.size() + 3, 0);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        std::uint32_t w = 0;
        for (int b = 3; b >= 0; --b) w = w << 8 | f[i + b];
        w += delta;
        for (int b = 0; b < 4; ++b) f[i + b] = std::uint8_t(w >> (8 * b));
    }
    return f;
}

Bytes LiteralBackward(const Bytes& stored, std::uint32_t delta) {
    if (stored.size() < 3) return stored;
    Bytes f(stored);
    for (std::size_t i = stored.size() - 3; i-- > 0;) {
        std::uint32_t w = 0;
        for (int b = 3; b >= 0; --b) w = w << 8 | f[i + b];
        w -= delta;
        for (int b = 0; b < 4; ++b) f[i + b] = std::uint8_t(w >> (8 * b));
    }
    f.resize(stored.size() - 3);
    return f;
}

// Bytes drawn mostly from the values that make carries and borrows: runs of
// 0xFF and 0x00 (some longer than a vector group), 0xFE, 0x01, and some plain
// random bytes.
Bytes Tricky(std::size_t n, std::mt19937_64& rng) {
    static const std::uint8_t kValues[] = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0xFE, 0x01, 0x02, 0x7F, 0x80};
    Bytes out;
    out.reserve(n);
    const int style = int(rng() % 5);
    while (out.size() < n) {
        std::uint8_t v = rng() % 3 == 0 ? std::uint8_t(rng()) : kValues[rng() % std::size(kValues)];
        std::size_t run = style == 0 ? 1 : 1 + rng() % (style == 4 ? 300 : style == 3 ? 40 : 6);
        for (; run > 0 && out.size() < n; --run) out.push_back(v);
    }
    return out;
}

std::vector<std::size_t> InterestingSizes(std::mt19937_64& rng) {
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 140; ++n) sizes.push_back(n);
    for (std::size_t edge : {std::size_t(256), std::size_t(4096), std::size_t(65536)})
        for (std::size_t n = edge - 3; n <= edge + 3; ++n) sizes.push_back(n);
    for (int k = 0; k < 40; ++k) sizes.push_back(141 + rng() % 4000);
    return sizes;
}

Bytes Hex(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(std::uint8_t(v));
    return out;
}

}  // namespace

TEST(WordTransform, UserStoreExampleWithDeltaTwo) {
    const Bytes plain{0x61, 0x62, 0x63, 0x0D, 0x0A};
    const Bytes stored{0x63, 0x64, 0x65, 0x0F, 0x0C, 0x00, 0x00, 0x00};
    EXPECT_EQ(kv::AddWordsForward(plain, 2), stored);
    EXPECT_EQ(kv::SubWordsBackward(stored, 2), plain);
}

TEST(WordTransform, DocumentCipherTable) {
    const std::pair<Bytes, Bytes> table[] = {
        {{}, {}},
        {Hex({0x41}), Hex({0x42, 0, 0, 0})},
        {Hex({0x61, 0x62, 0x63}), Hex({0x62, 0x63, 0x64, 0, 0, 0})},
        {Hex({0x48, 0x65, 0x6C, 0x6C, 0x6F}), Hex({0x49, 0x66, 0x6D, 0x6D, 0x70, 0, 0, 0})},
        {Hex({0x41, 0xFF}), Hex({0x42, 0x00, 0x01, 0, 0})},
        {Hex({0xFF, 0x41}), Hex({0x00, 0x43, 0, 0, 0})},
        {Hex({0xFF, 0xFF, 0xFF, 0xFF}), Hex({0x00, 0x01, 0x01, 0x01, 0, 0, 0})},
        {Hex({0xFF, 0xFF, 0xFF, 0xFF, 0x41}), Hex({0x00, 0x01, 0x01, 0x01, 0x42, 0, 0, 0})},
        {Hex({0xFF, 0xFF, 0xFF, 0x7F}), Hex({0x00, 0x01, 0x01, 0x81, 0, 0, 0})},
        {Hex({0xFE, 0xFF, 0xFF, 0xFF}), Hex({0xFF, 0x00, 0x01, 0x01, 0x01, 0, 0})},
    };
    for (const auto& [plain, locked] : table) {
        EXPECT_EQ(kv::AddWordsForward(plain, 1), locked) << "plain size " << plain.size();
        EXPECT_EQ(kv::SubWordsBackward(locked, 1), plain) << "plain size " << plain.size();
    }
}

TEST(WordTransform, ShortStoredTextsComeBackUnchanged) {
    for (const Bytes& s : {Bytes{}, Hex({0x00}), Hex({0xFF, 0x00})}) {
        EXPECT_EQ(kv::SubWordsBackward(s, 1), s);
        EXPECT_EQ(kv::SubWordsBackward(s, 2), s);
    }
    EXPECT_EQ(kv::SubWordsBackward(Hex({0x00, 0x00, 0x00}), 1), Bytes{});
}

// Equality with the literal loop over many sizes and carry-rich contents, both
// deltas, both directions; backward also on texts no forward pass produced.
TEST(WordTransform, MatchesLiteralLoop) {
    std::mt19937_64 rng(20240601);
    for (std::uint32_t delta : {1u, 2u}) {
        for (std::size_t n : InterestingSizes(rng)) {
            const Bytes plain = Tricky(n, rng);
            const Bytes locked = LiteralForward(plain, delta);
            ASSERT_EQ(kv::AddWordsForward(plain, delta), locked) << "delta " << delta << " size " << n;
            ASSERT_EQ(kv::SubWordsBackward(locked, delta), plain) << "delta " << delta << " size " << n;
            const Bytes junk = Tricky(n, rng);
            ASSERT_EQ(kv::SubWordsBackward(junk, delta), LiteralBackward(junk, delta))
                << "delta " << delta << " size " << n;
        }
    }
}

TEST(WordTransform, UniformPatternsMatchLiteralLoop) {
    for (std::uint32_t delta : {1u, 2u}) {
        for (int value : {0x00, 0x01, 0xFE, 0xFF}) {
            for (std::size_t n : {std::size_t(15), std::size_t(64), std::size_t(1000), std::size_t(4099)}) {
                const Bytes same(n, std::uint8_t(value));
                EXPECT_EQ(kv::AddWordsForward(same, delta), LiteralForward(same, delta)) << value << " x " << n;
                EXPECT_EQ(kv::SubWordsBackward(same, delta), LiteralBackward(same, delta)) << value << " x " << n;
            }
        }
    }
}

// The same text cut into pieces of every kind (single bytes, pieces that end
// inside a carry, vector-sized pieces) gives the same bytes as one pass, both in
// place and into a separate buffer.
TEST(WordTransform, StreamsGiveTheSameBytesWhateverTheBlocks) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 300; ++round) {
        const std::uint32_t delta = 1 + round % 2;
        const std::size_t n = 1 + rng() % 700;
        const Bytes plain = Tricky(n, rng);
        const Bytes locked = LiteralForward(plain, delta);
        const bool in_place = round % 3 == 0;

        kv::ForwardWordStream fwd(delta);
        kv::BackwardWordStream bwd(delta);
        Bytes enc(plain), dec(locked.begin(), locked.end() - 3), enc_out(n + 3), dec_out(n);
        for (std::size_t at = 0; at < n;) {
            const std::size_t piece = std::min<std::size_t>(n - at, round % 5 == 0 ? 1 + rng() % 4 : 1 + rng() % 150);
            if (in_place) {
                fwd.Process(enc.data() + at, piece);
                bwd.Process(dec.data() + at, piece);
            } else {
                fwd.Process(plain.data() + at, enc_out.data() + at, piece);
                bwd.Process(locked.data() + at, dec_out.data() + at, piece);
            }
            at += piece;
        }
        if (in_place) {
            enc.resize(n + 3);
            enc_out = enc;
            dec_out = dec;
        }
        EXPECT_EQ(fwd.BytesFed(), n);
        ASSERT_EQ(fwd.Finish(enc_out.data() + n), 3u);
        ASSERT_EQ(enc_out, locked) << "round " << round;
        ASSERT_EQ(dec_out, plain) << "round " << round;
    }
}

TEST(WordTransform, StreamFinishOnEmptyTextWritesNothingAndResets) {
    kv::ForwardWordStream fwd(1);
    std::uint8_t tail[3] = {9, 9, 9};
    EXPECT_EQ(fwd.Finish(tail), 0u);
    EXPECT_EQ(tail[0], 9);

    Bytes ff(4, 0xFF);
    fwd.Process(ff.data(), ff.size());
    EXPECT_EQ(fwd.Finish(tail), 3u);
    Bytes a{0x41};
    fwd.Process(a.data(), 1);  // a new text: no carry left over from the last one
    ASSERT_EQ(fwd.Finish(tail), 3u);
    EXPECT_EQ(a, Hex({0x42}));
    EXPECT_EQ(Bytes(tail, tail + 3), Hex({0, 0, 0}));
}

TEST(WordTransform, DeltasOutsideAByteUseTheWordLoop) {
    EXPECT_THROW(kv::ForwardWordStream(0), std::invalid_argument);
    EXPECT_THROW(kv::BackwardWordStream(256), std::invalid_argument);
    std::mt19937_64 rng(3);
    const Bytes plain = Tricky(100, rng);
    for (std::uint32_t delta : {0u, 0x100u, 0x01010101u, 0xFFFFFFFFu}) {
        EXPECT_EQ(kv::AddWordsForward(plain, delta), LiteralForward(plain, delta));
        EXPECT_EQ(kv::SubWordsBackward(LiteralForward(plain, delta), delta), plain);
    }
}
