// Opening the action log viewer: split, decode and join a log of 100,000 typical entries.
#include "core/action_log.h"
#include "ui/log_text.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string TypicalLog(int entries) {
    std::string log;
    for (int n = 0; n < entries; ++n) {
        const std::wstring entry = kv::ComposeLogEntry(
            L"12/31/2024 11:59:" + std::to_wstring(10 + n % 50) + L" PM", n % 7 ? L"Admin" : L"jsmith",
            n % 3 ? kv::kActionEncrypted : kv::kActionDecrypted,
            L"C:\\Documents and Settings\\jsmith\\My Documents\\Reports\\quarterly report " + std::to_wstring(n) +
                L".doc");
        log += kv::StoredLogLine(entry);
    }
    return log;
}

void BM_BuildLogView(benchmark::State& state) {
    const std::string log = TypicalLog(int(state.range(0)));
    for (auto _ : state) {
        kv::LogView view = kv::BuildLogView(log);
        benchmark::DoNotOptimize(view.text.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(log.size()));
    state.counters["entries"] = double(state.range(0));
}
BENCHMARK(BM_BuildLogView)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_TruncatedLogContent(benchmark::State& state) {
    const std::string log = TypicalLog(int(state.range(0)));
    for (auto _ : state) {
        auto kept = kv::TruncatedLogContent(log);
        benchmark::DoNotOptimize(kept->data());
    }
}
BENCHMARK(BM_TruncatedLogContent)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
