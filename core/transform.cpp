#include "core/transform.h"

#include <cstring>

namespace kv {
namespace {

std::uint32_t LoadWord(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void StoreWord(std::uint8_t* p, std::uint32_t w) {
    p[0] = std::uint8_t(w);
    p[1] = std::uint8_t(w >> 8);
    p[2] = std::uint8_t(w >> 16);
    p[3] = std::uint8_t(w >> 24);
}

}  // namespace

std::vector<std::uint8_t> AddWordsForward(std::span<const std::uint8_t> plain, std::uint32_t delta) {
    if (plain.empty()) return {};
    std::vector<std::uint8_t> out(plain.size() + 3, 0);
    std::memcpy(out.data(), plain.data(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) StoreWord(&out[i], LoadWord(&out[i]) + delta);
    return out;
}

std::vector<std::uint8_t> SubWordsBackward(std::span<const std::uint8_t> stored, std::uint32_t delta) {
    std::vector<std::uint8_t> out(stored.begin(), stored.end());
    if (out.size() < 3) return out;
    for (std::size_t i = out.size() - 3; i-- > 0;) StoreWord(&out[i], LoadWord(&out[i]) - delta);
    out.resize(out.size() - 3);
    return out;
}

}  // namespace kv
