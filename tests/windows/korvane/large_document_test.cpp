// Documents of many mebibytes through the program's own Win32 file system, under Wine: the
// written data is sent on to the disk in the background while writing goes on, and neither
// that nor a failure in the middle of it may cost a byte or leave a working file behind.
#include "harness.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Cipher.h"
#include "core/file_cipher.h"
#include "core/file_system.h"
#include "core/transform.h"
#include "tests/support/forwarding_file_system.h"

namespace kvtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t n) {
    Bytes out(n);
    std::uint32_t x = 0x12345678;
    for (auto& b : out) {
        x = x * 1664525u + 1013904223u;
        b = std::uint8_t(x >> 24);
    }
    return out;
}

// Fails every write to a new file once `limit` bytes have gone to it.
class FillingDisk final : public kvtest::ForwardingFileSystem {
public:
    FillingDisk(kv::FileSystem& real, std::uint64_t limit) : ForwardingFileSystem(real), limit_(limit) {}
    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        kv::FsStatus s = real_.Open(path, mode, file);
        if (s.ok() && mode != kv::OpenMode::kReadWriteExisting) *file = std::make_unique<Limited>(std::move(*file), limit_);
        return s;
    }

private:
    struct Limited final : kvtest::ForwardingFileHandle {
        Limited(std::unique_ptr<kv::FileHandle> f, std::uint64_t limit) : ForwardingFileHandle(std::move(f)), left(limit) {}
        kv::FsStatus Write(const std::uint8_t* d, std::size_t n) override {
            if (n > left) return {kv::FsErrorKind::kDiskFull, L""};
            left -= n;
            return inner->Write(d, n);
        }
        std::uint64_t left;
    };
    std::uint64_t limit_;
};

class LargeDocuments : public KorvaneTest {};

TEST_F(LargeDocuments, ManyMebibytesRoundTripExactlyWithNothingLeftBeside) {
    // Past two of the background flushes, and not a whole number of blocks.
    const Bytes plain = Pattern((std::size_t(72) << 20) + 7);
    const std::wstring doc = folder.File(L"film.mov");
    WriteBytes(doc, plain);
    kv::FileSystem& fs = kv::CipherFileSystem();

    const kv::CipherResult enc = kv::EncryptDocument(fs, doc, nullptr);
    ASSERT_TRUE(enc.ok());
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"film.movlocked"});
    EXPECT_TRUE(ReadBytes(doc + L"locked") == kv::AddWordsForward(plain, 1));

    const kv::CipherResult dec = kv::DecryptDocument(fs, doc + L"locked", nullptr);
    ASSERT_TRUE(dec.ok());
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"film.mov"});
    EXPECT_TRUE(ReadBytes(doc) == plain);
}

TEST_F(LargeDocuments, ADiskThatFillsAfterTheBackgroundFlushesBeganLeavesTheDocumentAndNoWorkingFile) {
    const Bytes plain = Pattern(std::size_t(80) << 20);
    const std::wstring doc = folder.File(L"archive.zip");
    WriteBytes(doc, plain);
    FillingDisk disk(kv::CipherFileSystem(), std::uint64_t(70) << 20);

    const kv::CipherResult enc = kv::EncryptDocument(disk, doc, nullptr);
    ASSERT_FALSE(enc.ok());
    EXPECT_EQ(enc.failure->step, kv::CipherStep::kWrite);
    EXPECT_EQ(enc.failure->status.kind, kv::FsErrorKind::kDiskFull);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"archive.zip"});
    EXPECT_TRUE(ReadBytes(doc) == plain);
}

}  // namespace
}  // namespace kvtest
