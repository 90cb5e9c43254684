// Encrypts a file and decrypts it again through the program's own cipher code
// (temporary file, flush, replace, delete), and prints the time of each half,
// to compare with `cp` of the same file. The file ends up as it was.
//
//   build/native/bench_file_cipher [--no-flush] [--block=BYTES] [--write=BYTES] [--verify] FILE
//
// --no-flush  skips fsync, like cp does (the program always flushes)
// --verify    checks, outside the timings, that the file comes back unchanged
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/file_cipher.h"

namespace {

struct CountingSink final : kv::ProgressSink {
    std::uint64_t reports = 0;
    std::int32_t last = 0;
    void FileProgress(std::int32_t percent, std::uint64_t times) override {
        reports += times;
        last = percent;
    }
};

std::uint64_t Checksum(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> buf(std::size_t(1) << 20);
    std::uint64_t h = 1469598103934665603ull;
    while (f) {
        f.read(buf.data(), std::streamsize(buf.size()));
        const auto n = std::size_t(f.gcount());
        for (std::size_t i = 0; i < n; ++i) h = (h ^ std::uint8_t(buf[i])) * 1099511628211ull;
    }
    return h;
}

std::wstring Widen(const std::string& utf8) {
    // Enough for the benchmark: byte-for-byte for ASCII names.
    return {utf8.begin(), utf8.end()};
}

int Usage() {
    std::fprintf(stderr, "usage: bench_file_cipher [--no-flush] [--block=BYTES] [--write=BYTES] [--verify] FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool durable = true, verify = false;
    kv::CipherOptions options;
    std::string path;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--no-flush") durable = false;
        else if (arg == "--verify") verify = true;
        else if (arg.rfind("--block=", 0) == 0) options.block_size = std::strtoull(arg.c_str() + 8, nullptr, 10);
        else if (arg.rfind("--write=", 0) == 0) options.write_size = std::strtoull(arg.c_str() + 8, nullptr, 10);
        else if (!arg.empty() && arg[0] == '-') return Usage();
        else path = arg;
    }
    if (path.empty()) return Usage();
    for (char c : path)
        if (static_cast<unsigned char>(c) >= 0x80) {
            std::fprintf(stderr, "bench_file_cipher: use an ASCII file name\n");
            return 2;
        }

    auto fs = kv::MakePlatformFileSystem(durable);
    std::uint64_t size = 0;
    if (!fs->Size(Widen(path), &size).ok()) {
        std::fprintf(stderr, "bench_file_cipher: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::uint64_t before = verify ? Checksum(path) : 0;

    using Clock = std::chrono::steady_clock;
    CountingSink enc_sink, dec_sink;
    const auto t0 = Clock::now();
    const auto enc = kv::EncryptDocument(*fs, Widen(path), &enc_sink, options);
    const auto t1 = Clock::now();
    if (!enc.ok()) {
        std::fprintf(stderr, "encryption failed: %ls\n", kv::DescribeCipherFailure(*enc.failure).c_str());
        return 1;
    }
    const auto dec = kv::DecryptDocument(*fs, enc.new_path, &dec_sink, options);
    const auto t2 = Clock::now();
    if (!dec.ok()) {
        std::fprintf(stderr, "decryption failed: %ls\n", kv::DescribeCipherFailure(*dec.failure).c_str());
        return 1;
    }

    const double mib = double(size) / (1 << 20);
    const double es = std::chrono::duration<double>(t1 - t0).count();
    const double ds = std::chrono::duration<double>(t2 - t1).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("file        %s, %.1f MiB, block %zu KiB, writes of %zu KiB, %s\n", path.c_str(), mib,
                options.block_size >> 10, options.write_size >> 10,
                durable ? "flushed to disk" : "not flushed");
    std::printf("encryption  %.3f s  %.0f MiB/s  (%llu progress reports, last %d)\n", es, mib / es,
                static_cast<unsigned long long>(enc_sink.reports), enc_sink.last);
    std::printf("decryption  %.3f s  %.0f MiB/s  (%llu progress reports, last %d)\n", ds, mib / ds,
                static_cast<unsigned long long>(dec_sink.reports), dec_sink.last);
    std::printf("peak memory %.1f MiB\n", double(usage.ru_maxrss) / 1024);
    if (verify) {
        const bool same = Checksum(path) == before;
        std::printf("verify      %s\n", same ? "file unchanged" : "FILE DIFFERS");
        if (!same) return 1;
    }
    return 0;
}
