#include "core/transform.h"

#include <array>
#include <bit>
#include <memory>
#include <mutex>
#include <stdexcept>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KV_TRANSFORM_SSE2 1
#endif

namespace kv {

struct WordStepTables {
    // One 256-entry row per 3-bit state: low byte = output byte, high byte =
    // the next state.
    // NOLINTNEXTLINE(bugprone-implicit-widening-of-multiplication-result): a constant cannot overflow
    std::array<std::uint16_t, 8 * 256> step;
    // What 16 equal trigger bytes in a row become from each state (long runs of
    // 0xFF or 0x00 would otherwise go through `step` one byte at a time).
    struct Run16 {
        std::uint8_t bytes[16];
        std::uint8_t next;
    };
    std::uint8_t first_trigger;
    std::vector<std::array<Run16, 8>> runs;  // index: value - first_trigger
};

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

// Word-at-every-position loops, kept for deltas the streams do not take.
std::vector<std::uint8_t> AddWordsEveryPosition(std::span<const std::uint8_t> plain, std::uint32_t delta) {
    if (plain.empty()) return {};
    std::vector<std::uint8_t> out(plain.begin(), plain.end());
    out.resize(plain.size() + 3, 0);
    for (std::size_t i = 0; i < plain.size(); ++i) StoreWord(&out[i], LoadWord(&out[i]) + delta);
    return out;
}

std::vector<std::uint8_t> SubWordsEveryPosition(std::span<const std::uint8_t> stored, std::uint32_t delta) {
    std::vector<std::uint8_t> out(stored.begin(), stored.end());
    if (out.size() < 3) return out;
    for (std::size_t i = out.size() - 3; i-- > 0;) StoreWord(&out[i], LoadWord(&out[i]) - delta);
    out.resize(out.size() - 3);
    return out;
}

// What happens to byte k in the forward direction. `carries` bit b is a carry
// from step k-1-b. Those arrive in the order their steps ran (oldest first); a
// carry meeting 0xFF turns it into 0x00 and travels on, unless byte k is already
// the last byte of its word. Then step k itself adds delta (when `own_step`).
std::uint16_t ForwardByte(std::uint32_t v, std::uint32_t carries, std::uint32_t delta, bool own_step) {
    std::uint32_t next = 0;
    for (int b = 2; b >= 0; --b) {
        if (!(carries >> b & 1)) continue;
        if (v == 0xFF) {
            v = 0;
            if (b < 2) next |= 1u << (b + 1);
        } else {
            ++v;
        }
    }
    if (own_step) {
        v += delta;
        if (v > 0xFF) {
            v -= 0x100;
            next |= 1;
        }
    }
    return std::uint16_t(v | next << 8);
}

// Backward direction: step k runs first (byte k is untouched until then; when
// `own_step`), then the borrows of steps k-1, k-2, k-3 pass through in that order.
std::uint16_t BackwardByte(std::uint32_t v, std::uint32_t borrows, std::uint32_t delta, bool own_step) {
    std::uint32_t next = 0;
    if (own_step) {
        if (v < delta) {
            v += 0x100;
            next |= 1;
        }
        v -= delta;
    }
    for (int b = 0; b <= 2; ++b) {
        if (!(borrows >> b & 1)) continue;
        if (v == 0) {
            v = 0xFF;
            if (b < 2) next |= 1u << (b + 1);
        } else {
            --v;
        }
    }
    return std::uint16_t(v | next << 8);
}

std::uint8_t CheckedDelta(std::uint32_t delta) {
    if (delta == 0 || delta > 0xFF) throw std::invalid_argument("word transform delta must be 1..255");
    return std::uint8_t(delta);
}

const WordStepTables& TablesFor(bool forward, std::uint8_t delta) {
    static std::mutex mutex;
    static std::unique_ptr<WordStepTables> tables[2][256];
    std::lock_guard lock(mutex);
    auto& slot = tables[forward ? 0 : 1][delta];
    if (!slot) {
        auto t = std::make_unique<WordStepTables>();
        for (std::uint32_t state = 0; state < 8; ++state)
            for (std::uint32_t v = 0; v < 256; ++v)
                t->step[state << 8 | v] =
                    forward ? ForwardByte(v, state, delta, true) : BackwardByte(v, state, delta, true);
        // Triggers: forward v >= 256 - delta, backward v < delta.
        t->first_trigger = forward ? std::uint8_t(0x100 - delta) : 0;
        t->runs.resize(delta);
        for (std::uint32_t k = 0; k < delta; ++k) {
            const std::uint32_t v = t->first_trigger + k;
            for (std::uint32_t start = 0; start < 8; ++start) {
                auto& run = t->runs[k][start];
                std::uint32_t state = start;
                for (auto& b : run.bytes) {
                    const std::uint16_t e = t->step[state << 8 | v];
                    b = std::uint8_t(e);
                    state = e >> 8;
                }
                run.next = std::uint8_t(state);
            }
        }
        slot = std::move(t);
    }
    return *slot;
}

// Runs the table from `state` over in[i..end), returns the final state.
inline std::uint32_t StepBytes(const WordStepTables& tables, std::uint32_t state, const std::uint8_t* in,
                               std::uint8_t* out, std::size_t i, std::size_t end) {
    for (; i < end; ++i) {
        const std::uint16_t e = tables.step[state << 8 | in[i]];
        out[i] = std::uint8_t(e);
        state = e >> 8;
    }
    return state;
}

#ifdef KV_TRANSFORM_SSE2
// Redoes, through the table, the bytes of a group from each trigger on while a
// carry is in flight. `saved` is the group's input, `out` already holds every
// byte moved by delta. Returns the state at the end of the group.
inline std::uint32_t Walk(const WordStepTables& tables, const std::uint8_t* saved, std::uint8_t* out,
                          std::uint64_t hits, unsigned width) {
    std::uint32_t state = 0;
    while (hits != 0) {
        unsigned k = unsigned(std::countr_zero(hits));
        do {
            const std::uint16_t e = tables.step[state << 8 | saved[k]];
            out[k] = std::uint8_t(e);
            state = e >> 8;
        } while (++k < width && state != 0);
        if (state != 0 || k >= 64) break;
        hits &= ~((std::uint64_t(1) << k) - 1);
    }
    return state;
}
#endif

// The shared driver. With no carry in flight, a byte that cannot produce one
// (forward: v + delta <= 0xFF; backward: v >= delta) just moves by delta and
// leaves none in flight. So a group of bytes is moved by delta all at once, and
// only the "triggers" (bytes that can produce a carry) and the up to three
// bytes after each one, while the carry travels, go through the table. Writing
// the whole group first is safe in place because the group's input is kept.
template <bool kForward>
std::uint32_t Run(const WordStepTables& tables, std::uint8_t delta, std::uint32_t state, const std::uint8_t* in,
                  std::uint8_t* out, std::size_t size) {
    std::size_t i = 0;
#ifdef KV_TRANSFORM_SSE2
    const __m128i d = _mm_set1_epi8(char(delta));
    // Forward: trigger when v >= 256 - delta. Backward: when v <= delta - 1.
    const __m128i limit = _mm_set1_epi8(char(kForward ? 0x100 - delta : delta - 1));
    auto hits_of = [&](__m128i x) -> std::uint64_t {
        const __m128i t =
            kForward ? _mm_cmpeq_epi8(_mm_max_epu8(x, limit), x) : _mm_cmpeq_epi8(_mm_min_epu8(x, limit), x);
        return std::uint32_t(_mm_movemask_epi8(t));
    };
    auto moved = [&](__m128i x) { return kForward ? _mm_add_epi8(x, d) : _mm_sub_epi8(x, d); };
    auto load = [&](std::size_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at)); };
    auto store = [](std::uint8_t* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); };
    auto finish_carries = [&] {
        do {
            const std::uint16_t e = tables.step[state << 8 | in[i]];
            out[i] = std::uint8_t(e);
            state = e >> 8;
        } while (++i < size && state != 0);
    };

    // A whole group of one trigger value (a long run of 0xFF or 0x00) from any
    // state: 16 bytes per lookup.
    auto uniform_run = [&] {
        const std::uint8_t v = in[i];
        if (std::uint8_t(v - tables.first_trigger) >= delta) return false;
        const __m128i same = _mm_set1_epi8(char(v));
        const __m128i eq = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(load(i), same), _mm_cmpeq_epi8(load(i + 16), same)),
                                         _mm_and_si128(_mm_cmpeq_epi8(load(i + 32), same), _mm_cmpeq_epi8(load(i + 48), same)));
        if (_mm_movemask_epi8(eq) != 0xFFFF) return false;
        const auto& runs = tables.runs[v - tables.first_trigger];
        for (std::size_t q = 0; q < 64; q += 16) {
            const auto& run = runs[state];
            store(out + i + q, _mm_loadu_si128(reinterpret_cast<const __m128i*>(run.bytes)));
            state = run.next;
        }
        i += 64;
        return true;
    };

    while (i + 64 <= size) {
        if (state != 0) {
            if (!uniform_run()) finish_carries();
            continue;
        }
        const __m128i a = load(i), b = load(i + 16), c = load(i + 32), e = load(i + 48);
        const std::uint64_t hits = hits_of(a) | hits_of(b) << 16 | hits_of(c) << 32 | hits_of(e) << 48;
        if (hits == ~std::uint64_t(0) && uniform_run()) continue;
        store(out + i, moved(a));
        store(out + i + 16, moved(b));
        store(out + i + 32, moved(c));
        store(out + i + 48, moved(e));
        if (hits != 0) {
            alignas(16) std::uint8_t saved[64];
            store(saved, a);
            store(saved + 16, b);
            store(saved + 32, c);
            store(saved + 48, e);
            state = Walk(tables, saved, out + i, hits, 64);
        }
        i += 64;
    }
    while (i + 16 <= size) {
        if (state != 0) {
            finish_carries();
            continue;
        }
        const __m128i x = load(i);
        const std::uint64_t hits = hits_of(x);
        store(out + i, moved(x));
        if (hits != 0) {
            alignas(16) std::uint8_t saved[16];
            store(saved, x);
            state = Walk(tables, saved, out + i, hits, 16);
        }
        i += 16;
    }
#else
    (void)delta;
#endif
    return StepBytes(tables, state, in, out, i, size);
}

}  // namespace

ForwardWordStream::ForwardWordStream(std::uint32_t delta)
    : tables_(&TablesFor(true, CheckedDelta(delta))), delta_(std::uint8_t(delta)) {}

void ForwardWordStream::Process(const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
    carries_ = Run<true>(*tables_, delta_, carries_, in, out, size);
    fed_ += size;
}

std::size_t ForwardWordStream::Finish(std::uint8_t* out3) {
    const bool any = fed_ != 0;
    if (any) {
        // The trailing bytes start as zero and get no step of their own.
        std::uint32_t state = carries_;
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t e = ForwardByte(0, state, delta_, false);
            out3[k] = std::uint8_t(e);
            state = e >> 8;
        }
    }
    carries_ = 0;
    fed_ = 0;
    return any ? 3 : 0;
}

BackwardWordStream::BackwardWordStream(std::uint32_t delta)
    : tables_(&TablesFor(false, CheckedDelta(delta))), delta_(std::uint8_t(delta)) {}

void BackwardWordStream::Process(const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
    borrows_ = Run<false>(*tables_, delta_, borrows_, in, out, size);
}

void BackwardWordStream::Finish(const std::uint8_t* in3, std::uint8_t* out3) {
    // The trailing bytes get no step of their own; the borrows of the three positions
    // below pass through them.
    std::uint32_t state = borrows_;
    for (int k = 0; k < 3; ++k) {
        const std::uint16_t e = BackwardByte(in3[k], state, delta_, false);
        out3[k] = std::uint8_t(e);
        state = e >> 8;
    }
    borrows_ = 0;
}

std::vector<std::uint8_t> AddWordsForward(std::span<const std::uint8_t> plain, std::uint32_t delta) {
    if (delta == 0 || delta > 0xFF) return AddWordsEveryPosition(plain, delta);
    if (plain.empty()) return {};
    std::vector<std::uint8_t> out(plain.size() + 3);
    ForwardWordStream stream(delta);
    stream.Process(plain.data(), out.data(), plain.size());
    stream.Finish(out.data() + plain.size());
    return out;
}

std::vector<std::uint8_t> SubWordsBackward(std::span<const std::uint8_t> stored, std::uint32_t delta) {
    if (delta == 0 || delta > 0xFF) return SubWordsEveryPosition(stored, delta);
    if (stored.size() < 3) return {stored.begin(), stored.end()};
    std::vector<std::uint8_t> out(stored.size() - 3);
    BackwardWordStream stream(delta);
    stream.Process(stored.data(), out.data(), out.size());
    return out;
}

}  // namespace kv
