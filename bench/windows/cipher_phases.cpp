// Where the time of one document goes under Windows (or Wine): encrypts FILE and decrypts it
// back through the program's own cipher and Win32 file system, and prints, for each
// direction, the time spent in each kind of file-system call next to the total.
//
//   bench_cipher_phases.exe [--block=BYTES] [--write=BYTES] FILE
//
// FILE ends up as it was.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/file_cipher.h"
#include "core/file_system.h"
#include "tests/support/forwarding_file_system.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timings {
    std::mutex lock;
    std::map<std::string, std::pair<double, long>> by_call;
    std::map<std::string, double> longest;
    void Add(const char* what, Clock::time_point since) {
        const double s = std::chrono::duration<double>(Clock::now() - since).count();
        std::lock_guard<std::mutex> guard(lock);
        auto& slot = by_call[what];
        slot.first += s;
        ++slot.second;
        double& most = longest[what];
        if (s > most) most = s;
    }
    void Print(double total) {
        double counted = 0;
        for (auto& [name, slot] : by_call) {
            std::printf("    %-18s %8.3f s  %6ld calls, longest %.3f s\n", name.c_str(), slot.first, slot.second,
                        longest[name]);
            counted += slot.first;
        }
        std::printf("    %-18s %8.3f s\n", "(outside calls)", total - counted);
        by_call.clear();
        longest.clear();
    }
};

Timings g_timings;

#define TIMED(what, expr)                      \
    [&] {                                      \
        const auto t0_ = Clock::now();         \
        auto r_ = (expr);                      \
        g_timings.Add(what, t0_);              \
        return r_;                             \
    }()

class TimedFile final : public kvtest::ForwardingFileHandle {
public:
    using ForwardingFileHandle::ForwardingFileHandle;
    kv::FsStatus Size(std::uint64_t* size) override { return TIMED("Size", inner->Size(size)); }
    kv::FsStatus Read(std::uint8_t* d, std::size_t n, std::size_t* got) override {
        return TIMED("Read", inner->Read(d, n, got));
    }
    kv::FsStatus Write(const std::uint8_t* d, std::size_t n) override { return TIMED("Write", inner->Write(d, n)); }
    kv::FsStatus Flush() override { return TIMED("Flush", inner->Flush()); }
    kv::FsStatus GetStamp(kv::FileStamp* s) override { return TIMED("GetStamp", inner->GetStamp(s)); }
    kv::FsStatus SetStamp(const kv::FileStamp& s) override { return TIMED("SetStamp", inner->SetStamp(s)); }
    kv::FsStatus PutInPlace(const std::wstring& t) override { return TIMED("PutInPlace", inner->PutInPlace(t)); }
    kv::FsStatus PutInPlaceIfFree(const std::wstring& t) override {
        return TIMED("PutInPlaceIfFree", inner->PutInPlaceIfFree(t));
    }
    ~TimedFile() override {
        const auto t0 = Clock::now();
        inner.reset();
        g_timings.Add("Close", t0);
    }
};

class TimedFs final : public kvtest::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        kv::FsStatus s = TIMED("Open", real_.Open(path, mode, file));
        if (s.ok()) *file = std::make_unique<TimedFile>(std::move(*file));
        return s;
    }
    kv::FsStatus Remove(const std::wstring& p) override { return TIMED("Remove", real_.Remove(p)); }
    bool Exists(const std::wstring& p) override { return TIMED("Exists", real_.Exists(p)); }
    kv::FsStatus Size(const std::wstring& p, std::uint64_t* s) override { return TIMED("FsSize", real_.Size(p, s)); }
    kv::FsStatus Recycle(const std::wstring& p, bool* r) override { return TIMED("Recycle", real_.Recycle(p, r)); }
    std::vector<std::wstring> FilesStartingWith(const std::wstring& f, const std::wstring& p) override {
        return TIMED("FilesStartingWith", real_.FilesStartingWith(f, p));
    }
    kv::FsStatus CheckName(const std::wstring& p) override { return TIMED("CheckName", real_.CheckName(p)); }
};

struct CountingSink final : kv::ProgressSink {
    std::uint64_t reports = 0;
    void FileProgress(std::int32_t, std::uint64_t times) override { reports += times; }
};

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    kv::CipherOptions options;
    std::wstring path;
    for (int a = 1; a < argc; ++a) {
        const std::wstring arg = argv[a];
        if (arg.rfind(L"--block=", 0) == 0) options.block_size = std::wcstoull(arg.c_str() + 8, nullptr, 10);
        else if (arg.rfind(L"--write=", 0) == 0) options.write_size = std::wcstoull(arg.c_str() + 8, nullptr, 10);
        else path = arg;
    }
    if (path.empty()) {
        std::printf("usage: bench_cipher_phases [--block=BYTES] [--write=BYTES] FILE\n");
        return 2;
    }
    auto platform = kv::MakePlatformFileSystem(true);
    TimedFs fs(*platform);
    CountingSink sink;

    auto t0 = Clock::now();
    const auto enc = kv::EncryptDocument(fs, path, &sink, options);
    double total = std::chrono::duration<double>(Clock::now() - t0).count();
    if (!enc.ok()) {
        std::printf("encryption failed: %ls\n", kv::DescribeCipherFailure(*enc.failure).c_str());
        return 1;
    }
    std::printf("encryption %8.3f s  (block %zu KiB, writes of %zu KiB)\n", total, options.block_size >> 10,
                options.write_size >> 10);
    g_timings.Print(total);

    t0 = Clock::now();
    const auto dec = kv::DecryptDocument(fs, enc.new_path, &sink, options);
    total = std::chrono::duration<double>(Clock::now() - t0).count();
    if (!dec.ok()) {
        std::printf("decryption failed: %ls\n", kv::DescribeCipherFailure(*dec.failure).c_str());
        return 1;
    }
    std::printf("decryption %8.3f s\n", total);
    g_timings.Print(total);
    return 0;
}
