// Speed of the word transform on 64 MiB buffers, both directions, beside memcpy
// and beside the word-at-every-position loop.
//
//   build/native/bench_transform [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/transform.h"

namespace {

constexpr std::size_t kBig = std::size_t(64) << 20;
constexpr std::size_t kLiteral = std::size_t(4) << 20;

enum Pattern { kRandom, kText, kAllFF, kAll00 };

const std::vector<std::uint8_t>& Input(Pattern pattern) {
    static std::vector<std::uint8_t> buffers[4];
    auto& b = buffers[pattern];
    if (b.empty()) {
        b.resize(kBig);
        std::mt19937_64 rng(42);
        switch (pattern) {
            case kRandom:
                for (std::size_t i = 0; i < kBig; i += 8) {
                    const std::uint64_t r = rng();
                    std::memcpy(&b[i], &r, 8);
                }
                break;
            case kText: {
                // Words of letters, blanks, some punctuation and CR LF line ends.
                static const char kLetters[] = "etaoinshrdlucmfwypvbgkjqxzETAOINSHR";
                std::size_t i = 0, line = 0;
                while (i < kBig) {
                    const std::uint64_t r = rng();
                    const std::size_t word = 1 + r % 9;
                    for (std::size_t k = 0; k < word && i < kBig; ++k) b[i++] = std::uint8_t(kLetters[(r >> (8 + 5 * k)) % 35]);
                    line += word + 1;
                    if (i < kBig) b[i++] = (r >> 60) == 0 ? ',' : ' ';
                    if (line > 70 && i + 2 <= kBig) {
                        b[i++] = '\r';
                        b[i++] = '\n';
                        line = 0;
                    }
                }
                break;
            }
            case kAllFF: std::memset(b.data(), 0xFF, kBig); break;
            case kAll00: std::memset(b.data(), 0x00, kBig); break;
        }
    }
    return b;
}

std::vector<std::uint8_t>& Output() {
    static std::vector<std::uint8_t> out(kBig + 3, 0);
    return out;
}

void Forward(benchmark::State& state) {
    const auto& in = Input(Pattern(state.range(0)));
    auto& out = Output();
    for (auto _ : state) {
        kv::ForwardWordStream stream(1);
        stream.Process(in.data(), out.data(), in.size());
        stream.Finish(out.data() + in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(in.size()));
}

void Backward(benchmark::State& state) {
    const auto& in = Input(Pattern(state.range(0)));
    auto& out = Output();
    for (auto _ : state) {
        kv::BackwardWordStream stream(1);
        stream.Process(in.data(), out.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(in.size()));
}

void Memcpy(benchmark::State& state) {
    const auto& in = Input(kRandom);
    auto& out = Output();
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(in.size()));
}

std::uint32_t LoadWord(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void StoreWord(std::uint8_t* p, std::uint32_t w) {
    p[0] = std::uint8_t(w);
    p[1] = std::uint8_t(w >> 8);
    p[2] = std::uint8_t(w >> 16);
    p[3] = std::uint8_t(w >> 24);
}

// The word read and written back at every position, on a 4 MiB piece.
void LiteralForward(benchmark::State& state) {
    const auto& in = Input(Pattern(state.range(0)));
    auto& out = Output();
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), kLiteral);
        std::memset(out.data() + kLiteral, 0, 3);
        for (std::size_t i = 0; i < kLiteral; ++i) StoreWord(&out[i], LoadWord(&out[i]) + 1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kLiteral));
}

void LiteralBackward(benchmark::State& state) {
    const auto& in = Input(Pattern(state.range(0)));
    auto& out = Output();
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), kLiteral + 3);
        for (std::size_t i = kLiteral; i-- > 0;) StoreWord(&out[i], LoadWord(&out[i]) - 1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kLiteral));
}

void Patterns(benchmark::internal::Benchmark* b) {
    b->ArgName("pattern");  // 0 random, 1 text, 2 all 0xFF, 3 all 0x00
    for (int p : {kRandom, kText, kAllFF, kAll00}) b->Arg(p);
    b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(Forward)->Apply(Patterns);
BENCHMARK(Backward)->Apply(Patterns);
BENCHMARK(LiteralForward)->Arg(kRandom)->Arg(kText)->Unit(benchmark::kMillisecond);
BENCHMARK(LiteralBackward)->Arg(kRandom)->Arg(kText)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
