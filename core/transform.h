// The keyless word transform shared by the document cipher (delta 1) and the
// user store encoding (delta 2).
//
// Forward: for every byte position i of an n-byte text, in ascending order, the
// little-endian 32-bit word at i..i+3 (bytes past the end read as 0) is increased
// by delta modulo 2^32 and written back; the result is n + 3 bytes long (an empty
// text stays empty). Backward undoes it: for i from n-1 down to 0 the word is
// decreased by delta, then the three trailing bytes are dropped. A stored text
// shorter than 3 bytes is returned unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kv {

std::vector<std::uint8_t> AddWordsForward(std::span<const std::uint8_t> plain, std::uint32_t delta);
std::vector<std::uint8_t> SubWordsBackward(std::span<const std::uint8_t> stored, std::uint32_t delta);

}  // namespace kv
