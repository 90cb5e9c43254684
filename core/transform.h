// The keyless word transform shared by the document cipher (delta 1) and the
// user store encoding (delta 2).
//
// Forward: for every byte position i of an n-byte text, in ascending order, the
// little-endian 32-bit word at i..i+3 (bytes past the end read as 0) is increased
// by delta modulo 2^32 and written back; the result is n + 3 bytes long (an empty
// text stays empty). Backward undoes it: for i from n-1 down to 0 the word is
// decreased by delta, then the three trailing bytes are dropped. A stored text
// shorter than 3 bytes is returned unchanged.
//
// Streaming. A step only ever changes its own byte and, through a carry (forward)
// or a borrow (backward), the three bytes above it; nothing ever flows downwards.
// So output byte k depends on input bytes 0..k only, and everything a block needs
// to know about the bytes before it is which carries (or borrows) are still
// travelling upwards: at most one from each of the three previous positions, a
// 3-bit state. Both directions therefore stream in ascending order through blocks
// of any size, in constant memory. For the backward direction this holds even
// though its steps run from the last position to the first: a borrow from step
// j passes through bytes j+1..j+3 after steps j+1..j+3 have already left their
// own results there, and those results depend on nothing above j+3. The three
// trailing bytes of a stored text never influence the plain bytes, so a decoder
// simply stops reading three bytes before the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

std::vector<std::uint8_t> AddWordsForward(std::span<const std::uint8_t> plain, std::uint32_t delta);
std::vector<std::uint8_t> SubWordsBackward(std::span<const std::uint8_t> stored, std::uint32_t delta);

// Lookup tables for one direction and delta, built once and shared.
struct WordStepTables;

// Streaming forward transform. Feed the plain bytes in order through Process (in
// place or into another buffer of the same size: output byte k is written to
// out[k] and depends only on bytes fed so far), then Finish appends the three
// trailing bytes (none when nothing was fed).
class ForwardWordStream {
public:
    // delta must be 1..255 (std::invalid_argument otherwise).
    explicit ForwardWordStream(std::uint32_t delta);

    void Process(const std::uint8_t* in, std::uint8_t* out, std::size_t size);
    void Process(std::uint8_t* data, std::size_t size) { Process(data, data, size); }
    // Writes the three bytes that follow the text (0 bytes for an empty text);
    // returns how many were written. The stream is then reset for a new text.
    std::size_t Finish(std::uint8_t* out3);

    std::uint64_t BytesFed() const { return fed_; }

private:
    const WordStepTables* tables_;
    std::uint8_t delta_;
    std::uint32_t carries_ = 0;  // bit b: a carry from position k-1-b is on its way into byte k
    std::uint64_t fed_ = 0;
};

// Streaming backward transform. Feed the first L-3 bytes of an L-byte stored
// text (L >= 3) in order; out[k] receives plain byte k. The last three stored
// bytes are never needed.
class BackwardWordStream {
public:
    // delta must be 1..255 (std::invalid_argument otherwise).
    explicit BackwardWordStream(std::uint32_t delta);

    void Process(const std::uint8_t* in, std::uint8_t* out, std::size_t size);
    void Process(std::uint8_t* data, std::size_t size) { Process(data, data, size); }
    // Given the three stored bytes that follow those fed, writes what the full
    // backward pass leaves in them (the borrows still travelling pass through; they
    // are no positions of their own). A stored text made by the forward transform
    // always leaves three zero bytes there; anything else was never encoded. The
    // stream is then reset for a new text.
    void Finish(const std::uint8_t* in3, std::uint8_t* out3);

private:
    const WordStepTables* tables_;
    std::uint8_t delta_;
    std::uint32_t borrows_ = 0;  // bit b: a borrow from position k-1-b is on its way into byte k
};

}  // namespace kv
