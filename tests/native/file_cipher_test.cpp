#include "core/file_cipher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

#include <unistd.h>

#include "core/transform.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Expands the batched reports into the sequence a window would see.
struct RecordingSink : kv::ProgressSink {
    std::vector<std::int32_t> values;
    int calls = 0;
    void FileProgress(std::int32_t percent, std::uint64_t times) override {
        ++calls;
        values.insert(values.end(), std::size_t(times), percent);
    }
};

// The report values as the cipher describes them, one position at a time, in
// floating point.
std::vector<std::int32_t> ExpectedEncryptionReports(std::int64_t n) {
    std::vector<std::int32_t> out;
    for (std::int64_t i = 1; i <= n; ++i)
        if (i % 30 == 0) out.push_back(std::int32_t(std::floor(double(i) * 100.0 / double(n - 3))));
    return out;
}

std::vector<std::int32_t> ExpectedDecryptionReports(std::int64_t n) {
    std::vector<std::int32_t> out;
    std::int64_t k = 0;
    for (std::int64_t i = n; i >= 1; --i)
        if (++k % 30 == 0) out.push_back(std::int32_t(std::floor(double(k) * 100.0 / double(n))));
    return out;
}

Bytes CarryRich(std::size_t n, std::mt19937_64& rng) {
    static const std::uint8_t kValues[] = {0x00, 0xFF, 0xFF, 0xFE, 0x41, 0x20};
    Bytes out(n);
    for (auto& b : out) b = rng() % 4 == 0 ? std::uint8_t(rng()) : kValues[rng() % std::size(kValues)];
    return out;
}

std::wstring Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

using kvtest::FsStep;

class FileCipherTest : public kvtest::ScratchFolderTest {
protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        options_.sharing_pause = std::chrono::milliseconds(0);
    }

    kv::CipherOptions options_;
};

}  // namespace

TEST(LockedNames, SuffixIsExactAndCaseSensitive) {
    EXPECT_EQ(kv::LockedPathOf(L"C:\\Papers\\report.doc"), L"C:\\Papers\\report.doclocked");
    EXPECT_TRUE(kv::IsLockedPath(L"C:\\Papers\\report.doclocked"));
    EXPECT_TRUE(kv::IsLockedPath(L"locked"));
    EXPECT_FALSE(kv::IsLockedPath(L"report.docLocked"));
    EXPECT_FALSE(kv::IsLockedPath(L"ocked"));
    EXPECT_EQ(kv::PlainPathOf(L"C:\\Papers\\report.doclocked"), L"C:\\Papers\\report.doc");
}

TEST_F(FileCipherTest, RoundTripsAcrossBlockBoundaries) {
    std::mt19937_64 rng(11);
    for (std::size_t block : {std::size_t(1), std::size_t(7), std::size_t(64), std::size_t(1) << 20}) {
        options_.block_size = block;
        for (std::size_t n : {0, 1, 2, 3, 4, 6, 7, 8, 10, 29, 30, 31, 63, 64, 65, 200, 1000}) {
            const Bytes plain = CarryRich(n, rng);
            Put("doc.bin", plain);
            auto enc = kv::EncryptDocument(*fs_, WPath("doc.bin"), nullptr, options_);
            ASSERT_TRUE(enc.ok()) << n;
            EXPECT_EQ(enc.new_path, WPath("doc.binlocked"));
            ASSERT_EQ(Names(), std::set<std::string>{"doc.binlocked"}) << "block " << block << " size " << n;
            ASSERT_EQ(Get("doc.binlocked"), kv::AddWordsForward(plain, 1)) << "block " << block << " size " << n;

            auto dec = kv::DecryptDocument(*fs_, WPath("doc.binlocked"), nullptr, options_);
            ASSERT_TRUE(dec.ok()) << n;
            EXPECT_EQ(dec.new_path, WPath("doc.bin"));
            ASSERT_EQ(Names(), std::set<std::string>{"doc.bin"});
            ASSERT_EQ(Get("doc.bin"), plain) << "block " << block << " size " << n;
        }
    }
}

TEST_F(FileCipherTest, LargerThanOneBlock) {
    std::mt19937_64 rng(5);
    const Bytes plain = CarryRich((std::size_t(3) << 20) + 5, rng);
    Put("big.dat", plain);
    ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("big.dat"), nullptr, options_).ok());
    ASSERT_EQ(Get("big.datlocked"), kv::AddWordsForward(plain, 1));
    ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("big.datlocked"), nullptr, options_).ok());
    ASSERT_EQ(Get("big.dat"), plain);
}

TEST_F(FileCipherTest, EmptyAndShortFiles) {
    Put("empty.txt", {});
    ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("empty.txt"), nullptr, options_).ok());
    EXPECT_EQ(Names(), std::set<std::string>{"empty.txtlocked"});
    EXPECT_TRUE(Get("empty.txtlocked").empty());
    ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("empty.txtlocked"), nullptr, options_).ok());
    EXPECT_EQ(Names(), std::set<std::string>{"empty.txt"});
    EXPECT_TRUE(Get("empty.txt").empty());

    // One or two bytes: no encrypted document is that short; left as it is.
    for (const Bytes& shortfile : {Bytes{0x00}, Bytes{0xFF, 0x00}}) {
        Put("s.binlocked", shortfile);
        RecordingSink sink;
        const auto refused = kv::DecryptDocument(*fs_, WPath("s.binlocked"), &sink, options_);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.failure->step, kv::CipherStep::kNotEncrypted);
        EXPECT_EQ(Names(), (std::set<std::string>{"empty.txt", "s.binlocked"}));
        EXPECT_EQ(Get("s.binlocked"), shortfile);
        EXPECT_TRUE(sink.values.empty());
        fs::remove(Path("s.binlocked"));
    }
    // Three bytes: what decryption cuts must be the three zeros encryption appended.
    Put("three.binlocked", {0x00, 0x00, 0x00});
    ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("three.binlocked"), nullptr, options_).ok());
    EXPECT_TRUE(Get("three.bin").empty());
    Put("abc.binlocked", {0x01, 0x00, 0x00});
    auto refused = kv::DecryptDocument(*fs_, WPath("abc.binlocked"), nullptr, options_);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.failure->step, kv::CipherStep::kNotEncrypted);
    EXPECT_EQ(Get("abc.binlocked"), (Bytes{0x01, 0x00, 0x00}));
}

TEST_F(FileCipherTest, AFileOfTheNewNameThatCannotBeRecycledIsNeverReplaced) {
    // No Recycle Bin here: the older file stays, the document is not processed.
    for (const bool decrypt : {false, true}) {
        const std::string from = decrypt ? "x.doclocked" : "x.doc", to = decrypt ? "x.doc" : "x.doclocked";
        Put(from, decrypt ? Bytes{0x42, 0x00, 0x01, 0x00, 0x00} : Bytes{0x41, 0xFF});
        Put(to, Bytes(5000, 0x77));
        const std::wstring path = WPath(from);
        const auto r = decrypt ? kv::DecryptDocument(*fs_, path, nullptr, options_)
                               : kv::EncryptDocument(*fs_, path, nullptr, options_);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.failure->step, kv::CipherStep::kNameTaken);
        EXPECT_EQ(r.failure->path, WPath(to));
        EXPECT_NE(kv::DescribeCipherFailure(*r.failure).find(L"There is no Recycle Bin here."), std::wstring::npos);
        EXPECT_EQ(Names(), (std::set<std::string>{"x.doc", "x.doclocked"}));
        EXPECT_EQ(Get(to), Bytes(5000, 0x77));
        fs::remove(Path(from));
        fs::remove(Path(to));
    }
}

TEST_F(FileCipherTest, NamesWithAnyCharacters) {
    const std::string name = "Bericht \xC3\xBC \xE6\x8A\xA5\xE5\x91\x8A.doc";  // UTF-8 on disk
    const std::wstring wide = Wide(dir_ + "/") + L"Bericht \u00FC \u62A5\u544A.doc";
    Put(name, {1, 2, 3});
    ASSERT_TRUE(kv::EncryptDocument(*fs_, wide, nullptr, options_).ok());
    EXPECT_EQ(Names(), std::set<std::string>{name + "locked"});
    ASSERT_TRUE(kv::DecryptDocument(*fs_, wide + L"locked", nullptr, options_).ok());
    EXPECT_EQ(Get(name), (Bytes{1, 2, 3}));
}

TEST_F(FileCipherTest, ProgressReportsFollowTheRhythm) {
    std::mt19937_64 rng(2);
    for (std::size_t block : {std::size_t(7), std::size_t(1) << 20}) {
        options_.block_size = block;
        for (std::int64_t n : {0, 3, 29, 30, 31, 59, 60, 61, 1000, 30000}) {
            Put("p.doc", CarryRich(std::size_t(n), rng));
            RecordingSink enc, dec;
            ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("p.doc"), &enc, options_).ok());
            ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("p.doclocked"), &dec, options_).ok());
            EXPECT_EQ(enc.values, ExpectedEncryptionReports(n)) << "block " << block << " n " << n;
            EXPECT_EQ(dec.values, ExpectedDecryptionReports(n)) << "block " << block << " n " << n;
        }
    }
    // The cases spelled out.
    EXPECT_EQ(ExpectedEncryptionReports(30), std::vector<std::int32_t>{111});
    EXPECT_EQ(ExpectedEncryptionReports(60), (std::vector<std::int32_t>{52, 105}));
    EXPECT_EQ(ExpectedDecryptionReports(60), (std::vector<std::int32_t>{50, 100}));
    EXPECT_TRUE(ExpectedEncryptionReports(29).empty());
}

TEST(ProgressRhythm, LargeDocumentsComeInFewBatchesWithExactValues) {
    // 5 GiB and beyond 2^32 positions: check every batch's first and last
    // position against the floating-point formula, and that batches abut.
    for (std::uint64_t n : {std::uint64_t(5) << 30, std::uint64_t(123456789013), std::uint64_t(1) << 40}) {
        for (bool encrypt : {true, false}) {
            struct Batches : kv::ProgressSink {
                std::vector<std::pair<std::int32_t, std::uint64_t>> runs;
                void FileProgress(std::int32_t p, std::uint64_t t) override { runs.emplace_back(p, t); }
            } sink;
            auto rhythm = encrypt ? kv::ProgressRhythm::ForEncryption(n) : kv::ProgressRhythm::ForDecryption(n);
            std::size_t advances = 0;
            for (std::uint64_t done = 0; done < n; ++advances) {  // uneven blocks, as reads deliver them
                done = std::min(n, done + (std::uint64_t(1) << 26) + 12345);
                rhythm.Advance(done, &sink);
            }
            const double divisor = double(encrypt ? n - 3 : n);
            std::uint64_t pos = 30;
            std::int32_t last = -1;
            for (const auto& [value, times] : sink.runs) {
                const std::uint64_t end = pos + (times - 1) * 30;
                ASSERT_EQ(value, std::int32_t(std::floor(double(pos) * 100.0 / divisor))) << n;
                ASSERT_EQ(value, std::int32_t(std::floor(double(end) * 100.0 / divisor))) << n;
                ASSERT_GE(value, last);
                last = value;
                pos = end + 30;
            }
            EXPECT_EQ(pos - 30, n - n % 30);
            EXPECT_LE(sink.runs.size(), advances + 112);  // one per value, plus one per block at most
        }
    }
}

// A failure at any step before the move leaves the source as it was (and an
// older file of the new name), and no temporary file.
TEST_F(FileCipherTest, FailureAtAnyStepLeavesTheSourceAndNoTemporaryFile) {
    struct Case {
        FsStep op;
        int nth;
        kv::FsErrorKind kind;
        kv::CipherStep step;
    };
    const Case cases[] = {
        {FsStep::kOpenDocument, 1, kv::FsErrorKind::kSharingViolation, kv::CipherStep::kOpenDocument},
        {FsStep::kOpenDocument, 1, kv::FsErrorKind::kAccessDenied, kv::CipherStep::kOpenDocument},
        {FsStep::kCreate, 1, kv::FsErrorKind::kAccessDenied, kv::CipherStep::kCreateTemporary},
        {FsStep::kRead, 2, kv::FsErrorKind::kOther, kv::CipherStep::kRead},
        {FsStep::kWrite, 1, kv::FsErrorKind::kDiskFull, kv::CipherStep::kWrite},
        {FsStep::kWrite, 3, kv::FsErrorKind::kDiskFull, kv::CipherStep::kWrite},
        {FsStep::kFlush, 1, kv::FsErrorKind::kDiskFull, kv::CipherStep::kFlush},
        {FsStep::kPutInPlace, 1, kv::FsErrorKind::kAccessDenied, kv::CipherStep::kReplace},
    };
    options_.block_size = 16;
    std::mt19937_64 rng(9);
    for (bool encrypt : {true, false}) {
        const std::string source = encrypt ? "r.doc" : "r.doclocked";
        const std::string target = encrypt ? "r.doclocked" : "r.doc";
        for (const Case& c : cases) {
            // What is decrypted must be an encrypted document, or it is refused before the move.
            const Bytes content = encrypt ? CarryRich(100, rng) : kv::AddWordsForward(CarryRich(97, rng), 1);
            const Bytes older = CarryRich(50, rng);
            Put(source, content);
            // An older file of the new name, which cannot go to a Recycle Bin here, stops the
            // document before the move: the move itself is tried onto a free name.
            const bool withOlder = c.op != FsStep::kPutInPlace;
            if (withOlder) Put(target, older);
            kvtest::ForwardingFileSystem faulty(*fs_);
            faulty.FailAt(c.op, c.kind, c.nth, 100);
            RecordingSink sink;
            auto r = encrypt ? kv::EncryptDocument(faulty, WPath(source), &sink, options_)
                             : kv::DecryptDocument(faulty, WPath(source), &sink, options_);
            SCOPED_TRACE((encrypt ? "encrypt, op " : "decrypt, op ") + std::to_string(int(c.op)));
            ASSERT_FALSE(r.ok());
            EXPECT_EQ(r.failure->step, c.step);
            EXPECT_EQ(r.failure->status.kind, c.kind);
            EXPECT_EQ(Names(), (withOlder ? std::set<std::string>{source, target} : std::set<std::string>{source}));
            EXPECT_EQ(Get(source), content);
            if (withOlder) EXPECT_EQ(Get(target), older);
            if (c.op == FsStep::kOpenDocument) EXPECT_TRUE(sink.values.empty());
            fs::remove(Path(target));
        }
        fs::remove(Path(source));
    }
}

// The new file is complete and in place but the source cannot be removed: the
// operation is not reported as done, and both files are kept.
TEST_F(FileCipherTest, SourceThatCannotBeRemovedIsReported) {
    const Bytes plain{0x48, 0x65, 0x6C, 0x6C, 0x6F};
    Put("h.txt", plain);
    kvtest::ForwardingFileSystem faulty(*fs_);
    faulty.FailAt(FsStep::kRemove, kv::FsErrorKind::kAccessDenied, 1, 100);
    auto r = kv::EncryptDocument(faulty, WPath("h.txt"), nullptr, options_);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure->step, kv::CipherStep::kDeleteOriginal);
    EXPECT_EQ(r.failure->path, WPath("h.txt"));
    EXPECT_EQ(Names(), (std::set<std::string>{"h.txt", "h.txtlocked"}));
    EXPECT_EQ(Get("h.txt"), plain);
    EXPECT_EQ(Get("h.txtlocked"), (Bytes{0x49, 0x66, 0x6D, 0x6D, 0x70, 0, 0, 0}));
}

TEST_F(FileCipherTest, BriefSharingViolationsAreRetried) {
    Put("av.doc", {7, 8, 9});
    // Held twice at open, twice at the move: within the retries.
    kvtest::ForwardingFileSystem at_open(*fs_), at_move(*fs_), held(*fs_);
    at_open.FailAt(FsStep::kOpenDocument, kv::FsErrorKind::kSharingViolation, 1, 2);
    ASSERT_TRUE(kv::EncryptDocument(at_open, WPath("av.doc"), nullptr, options_).ok());
    EXPECT_EQ(at_open.calls(FsStep::kOpenDocument), 3);
    at_move.FailAt(FsStep::kPutInPlace, kv::FsErrorKind::kSharingViolation, 1, 2);
    ASSERT_TRUE(kv::DecryptDocument(at_move, WPath("av.doclocked"), nullptr, options_).ok());
    EXPECT_EQ(Get("av.doc"), (Bytes{7, 8, 9}));

    // Held for good: gives up after the configured retries.
    options_.sharing_retries = 3;
    held.FailAt(FsStep::kOpenDocument, kv::FsErrorKind::kSharingViolation, 1, 1000, L"injected");
    auto r = kv::EncryptDocument(held, WPath("av.doc"), nullptr, options_);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(held.calls(FsStep::kOpenDocument), 4);
    EXPECT_EQ(DescribeCipherFailure(*r.failure),
              L"The file could not be opened.\r" + WPath("av.doc") + L"\rThe file is open in another program.\rinjected");
    EXPECT_EQ(Names(), std::set<std::string>{"av.doc"});
}

TEST_F(FileCipherTest, TemporaryNameAlreadyTakenTriesAnother) {
    Put("t.doc", {1});
    kvtest::ForwardingFileSystem taken(*fs_);
    taken.FailAt(FsStep::kCreate, kv::FsErrorKind::kAlreadyExists, 1, 3);
    ASSERT_TRUE(kv::EncryptDocument(taken, WPath("t.doc"), nullptr, options_).ok());
    EXPECT_EQ(taken.calls(FsStep::kCreate), 4);
    EXPECT_EQ(Names(), std::set<std::string>{"t.doclocked"});
}

TEST_F(FileCipherTest, MissingDocumentsAndFoldersFailUntouched) {
    auto gone = kv::EncryptDocument(*fs_, WPath("nothere.doc"), nullptr, options_);
    ASSERT_FALSE(gone.ok());
    EXPECT_EQ(gone.failure->step, kv::CipherStep::kOpenDocument);
    EXPECT_EQ(gone.failure->status.kind, kv::FsErrorKind::kNotFound);
    EXPECT_TRUE(Names().empty());

    fs::create_directory(Path("folder.doc"));
    EXPECT_FALSE(kv::EncryptDocument(*fs_, WPath("folder.doc"), nullptr, options_).ok());
    EXPECT_EQ(Names(), std::set<std::string>{"folder.doc"});

    EXPECT_THROW(kv::DecryptDocument(*fs_, WPath("plain.doc"), nullptr, options_), std::invalid_argument);
}

TEST_F(FileCipherTest, ReadOnlyDocumentFailsUntouched) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores read-only permissions";
    Put("ro.doc", {1, 2, 3});
    fs::permissions(Path("ro.doc"), fs::perms::owner_read);
    RecordingSink sink;
    auto ro = kv::EncryptDocument(*fs_, WPath("ro.doc"), &sink, options_);
    ASSERT_FALSE(ro.ok());
    EXPECT_EQ(ro.failure->status.kind, kv::FsErrorKind::kAccessDenied);
    EXPECT_EQ(Get("ro.doc"), (Bytes{1, 2, 3}));
    EXPECT_TRUE(sink.values.empty());
    EXPECT_EQ(Names(), std::set<std::string>{"ro.doc"});
}

// ---- Reading the next block while this one is written ----

namespace {

// Counts the blocks read from the document and written to the new file, with writes made
// slow, and checks at every read and every progress report what has been written by then.
class PacedFileSystem final : public kvtest::ForwardingFileSystem {
public:
    explicit PacedFileSystem(kv::FileSystem& real) : ForwardingFileSystem(real) {}
    std::atomic<int> reads{0}, writes{0}, most_ahead{0};
    std::atomic<std::uint64_t> written_bytes{0};
    std::atomic<std::size_t> largest_write{0};

    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        std::unique_ptr<kv::FileHandle> inner;
        kv::FsStatus s = real_.Open(path, mode, &inner);
        if (s.ok()) *file = std::make_unique<File>(*this, std::move(inner), mode != kv::OpenMode::kReadWriteExisting);
        return s;
    }

private:
    struct File final : kvtest::ForwardingFileHandle {
        File(PacedFileSystem& owner, std::unique_ptr<kv::FileHandle> inner, bool created)
            : ForwardingFileHandle(std::move(inner)), owner(owner), created(created) {}
        kv::FsStatus Read(std::uint8_t* data, std::size_t size, std::size_t* got) override {
            const int ahead = ++owner.reads - owner.writes;
            int most = owner.most_ahead;
            while (ahead > most && !owner.most_ahead.compare_exchange_weak(most, ahead)) {
            }
            return inner->Read(data, size, got);
        }
        kv::FsStatus Write(const std::uint8_t* data, std::size_t size) override {
            if (created) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            kv::FsStatus s = inner->Write(data, size);
            if (created && s.ok()) {
                owner.written_bytes += size;
                ++owner.writes;
                if (size > owner.largest_write) owner.largest_write = size;
            }
            return s;
        }
        PacedFileSystem& owner;
        bool created;
    };
};

// Fails when a report claims more of the document than has reached the new file.
struct WrittenCheckingSink : kv::ProgressSink {
    PacedFileSystem& fs;
    std::uint64_t plain_length;
    bool encrypt;
    std::uint64_t position = 0;
    bool ahead_of_writes = false;
    WrittenCheckingSink(PacedFileSystem& fs, std::uint64_t n, bool encrypt) : fs(fs), plain_length(n), encrypt(encrypt) {}
    void FileProgress(std::int32_t, std::uint64_t times) override {
        position += 30 * times;
        // Encryption writes the three added bytes with the last block.
        const std::uint64_t written = fs.written_bytes;
        if (position > std::min(written, plain_length)) ahead_of_writes = true;
    }
};

}  // namespace

TEST_F(FileCipherTest, ReadsAheadOfTheWritesByAFewBlocksOnlyAndReportsOnlyWhatIsWritten) {
    std::mt19937_64 rng(21);
    options_.block_size = 1000;
    const Bytes plain = CarryRich(60 * 1000 + 17, rng);  // 61 blocks
    Put("paced.doc", plain);
    for (bool encrypt : {true, false}) {
        SCOPED_TRACE(encrypt ? "encrypt" : "decrypt");
        PacedFileSystem paced(*fs_);
        WrittenCheckingSink sink(paced, plain.size(), encrypt);
        auto r = encrypt ? kv::EncryptDocument(paced, WPath("paced.doc"), &sink, options_)
                         : kv::DecryptDocument(paced, WPath("paced.doclocked"), &sink, options_);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(paced.writes, 61);
        // Reading goes on while writing is slow, but never more than a few blocks ahead:
        // memory stays bounded whatever the size of the document.
        EXPECT_GE(paced.most_ahead, 2);
        EXPECT_LE(paced.most_ahead, 4);
        EXPECT_FALSE(sink.ahead_of_writes);
        EXPECT_EQ(sink.position, plain.size() - plain.size() % 30);
    }
    EXPECT_EQ(Get("paced.doc"), plain);
    EXPECT_EQ(Names(), std::set<std::string>{"paced.doc"});
}

TEST_F(FileCipherTest, AFailureOfTheProgressReceiverWhileWritingReachesTheCallerAndLeavesTheSource) {
    struct Throwing : kv::ProgressSink {
        int calls = 0;
        void FileProgress(std::int32_t, std::uint64_t) override {
            if (++calls == 3) throw std::runtime_error("window gone");
        }
    } sink;
    std::mt19937_64 rng(4);
    options_.block_size = 64;
    const Bytes plain = CarryRich(64 * 50, rng);
    Put("t.doc", plain);
    EXPECT_THROW(kv::EncryptDocument(*fs_, WPath("t.doc"), &sink, options_), std::runtime_error);
    EXPECT_EQ(Names(), std::set<std::string>{"t.doc"});
    EXPECT_EQ(Get("t.doc"), plain);
}

TEST_F(FileCipherTest, DocumentsOfManyMebibytesRoundTripOnADurableFileSystem) {
    // Past the size at which the written data is sent on to the disk while writing goes on.
    auto durable = kv::MakePlatformFileSystem(true);
    std::mt19937_64 rng(8);
    Bytes plain((std::size_t(20) << 20) + 5);
    for (std::size_t i = 0; i < plain.size(); i += 8) {
        const std::uint64_t v = rng();
        std::memcpy(&plain[i], &v, std::min<std::size_t>(8, plain.size() - i));
    }
    Put("many.bin", plain);
    ASSERT_TRUE(kv::EncryptDocument(*durable, WPath("many.bin"), nullptr, options_).ok());
    ASSERT_EQ(Get("many.binlocked"), kv::AddWordsForward(plain, 1));
    ASSERT_TRUE(kv::DecryptDocument(*durable, WPath("many.binlocked"), nullptr, options_).ok());
    EXPECT_EQ(Get("many.bin"), plain);
    EXPECT_EQ(Names(), std::set<std::string>{"many.bin"});
}

TEST_F(FileCipherTest, EachBlockGoesToTheNewFileInWritesOfTheConfiguredSize) {
    std::mt19937_64 rng(33);
    options_.block_size = 1000;
    options_.write_size = 300;
    const Bytes plain = CarryRich(60 * 1000 + 17, rng);
    Put("pieces.doc", plain);
    PacedFileSystem paced(*fs_);
    ASSERT_TRUE(kv::EncryptDocument(paced, WPath("pieces.doc"), nullptr, options_).ok());
    // 60 blocks of 300 + 300 + 300 + 100, then the last 17 bytes and the three added.
    EXPECT_EQ(paced.writes, 60 * 4 + 1);
    EXPECT_EQ(paced.largest_write, 300u);
    EXPECT_EQ(paced.written_bytes, plain.size() + 3);
    EXPECT_EQ(Get("pieces.doclocked"), kv::AddWordsForward(plain, 1));

    // The default: large reads, moderate writes.
    const kv::CipherOptions defaults;
    EXPECT_EQ(defaults.write_size, std::size_t(64) << 10);
    EXPECT_GT(defaults.block_size, defaults.write_size);
}
