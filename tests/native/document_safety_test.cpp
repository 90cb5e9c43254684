// What the cipher does to keep documents safe beyond the transform itself: a file that
// only looks encrypted is left alone, working files are recognisable and cleaned up,
// the new file keeps the old one's time, and a name the volume cannot hold is refused
// before anything is written.
#include "core/file_cipher.h"
#include "core/transform.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The literal decryption, in place over the whole stored text, without
// dropping the last three bytes.
Bytes LiteralDecryptKeepingTail(Bytes stored) {
    if (stored.size() < 3) return stored;
    const std::size_t n = stored.size() - 3;
    for (std::size_t i = n; i-- > 0;) {
        std::uint32_t w = std::uint32_t(stored[i]) | std::uint32_t(stored[i + 1]) << 8 |
                          std::uint32_t(stored[i + 2]) << 16 | std::uint32_t(stored[i + 3]) << 24;
        --w;
        for (int k = 0; k < 4; ++k) stored[i + std::size_t(k)] = std::uint8_t(w >> (8 * k));
    }
    return stored;
}

Bytes Rich(std::size_t n, std::mt19937_64& rng) {
    static const std::uint8_t kValues[] = {0x00, 0x00, 0xFF, 0x01, 0x41};
    Bytes out(n);
    for (auto& b : out) b = rng() % 3 == 0 ? std::uint8_t(rng()) : kValues[rng() % std::size(kValues)];
    return out;
}

// Runs the streaming decoder over `stored` in blocks of `block` and returns what it
// leaves in the three trailing bytes.
Bytes StreamTail(const Bytes& stored, std::size_t block) {
    kv::BackwardWordStream stream(1);
    const std::size_t n = stored.size() - 3;
    Bytes out(n);
    for (std::size_t at = 0; at < n; at += block) stream.Process(stored.data() + at, out.data() + at, std::min(block, n - at));
    Bytes tail(3);
    stream.Finish(stored.data() + n, tail.data());
    return tail;
}

TEST(TrailingBytes, GenuineTextsEndInZerosAndOthersMatchTheLiteralDecryption) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 400; ++round) {
        const std::size_t n = rng() % 40;
        const std::size_t block = 1 + rng() % 7;
        const Bytes plain = Rich(n, rng);
        if (n > 0) {
            const Bytes stored = kv::AddWordsForward(plain, 1);
            EXPECT_EQ(StreamTail(stored, block), (Bytes{0, 0, 0})) << "n=" << n;
        }
        // Any bytes at all: the stream agrees with the literal pass on the tail.
        const Bytes other = Rich(n + 3, rng);
        const Bytes literal = LiteralDecryptKeepingTail(other);
        EXPECT_EQ(StreamTail(other, block), Bytes(literal.end() - 3, literal.end())) << "n=" << n;
    }
}

class DocumentSafety : public kvtest::ScratchFolderTest {
protected:
    static std::string Narrow(const std::wstring& w) { return {w.begin(), w.end()}; }
};

TEST_F(DocumentSafety, APlainFileNamedLikeAnEncryptedOneIsLeftAlone) {
    const Bytes notes{'m', 'y', ' ', 'n', 'o', 't', 'e', 's', 0x0D, 0x0A};
    Put("notes_unlocked", notes);
    Put("abc_locked", {'a', 'b', 'c'});  // exactly three bytes, not three zeros after decryption
    for (const char* name : {"notes_unlocked", "abc_locked"}) {
        const Bytes before = Get(name);
        auto r = kv::DecryptDocument(*fs_, WPath(name), nullptr);
        ASSERT_FALSE(r.ok()) << name;
        EXPECT_EQ(r.failure->step, kv::CipherStep::kNotEncrypted);
        EXPECT_EQ(Get(name), before);
        EXPECT_NE(kv::DescribeCipherFailure(*r.failure).find(L"is not a complete encrypted document"), std::wstring::npos);
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"notes_unlocked", "abc_locked"}));

    // Shorter than three bytes: no encrypted document either. A genuine document still decrypts.
    Put("xlocked", {'h', 'i'});
    EXPECT_EQ(kv::DecryptDocument(*fs_, WPath("xlocked"), nullptr).failure->step, kv::CipherStep::kNotEncrypted);
    EXPECT_EQ(Get("xlocked"), (Bytes{'h', 'i'}));
    fs::remove(Path("xlocked"));
    Put("real.doc", notes);
    ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("real.doc"), nullptr).ok());
    ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("real.doclocked"), nullptr).ok());
    EXPECT_EQ(Get("real.doc"), notes);
}

TEST(WorkingFiles, NamesAreRecognisedAndShareOnePrefixPerDocument) {
    const std::wstring prefix = kv::WorkingFilePrefix(L"C:\\Papers\\report.doc");
    EXPECT_EQ(prefix.size(), 12u);
    EXPECT_EQ(prefix, kv::WorkingFilePrefix(L"D:\\elsewhere\\REPORT.DOC"));  // the name alone, any case
    EXPECT_NE(prefix, kv::WorkingFilePrefix(L"C:\\Papers\\report.docx"));
    EXPECT_TRUE(kv::IsWorkingFileName(L"C:\\Papers\\" + prefix + L"0123abcd.tmp"));
    EXPECT_TRUE(kv::IsWorkingFileName(prefix + L"ffffffff.tmp"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\" + prefix + L"0123abcd.tmplocked"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\" + prefix + L"0123ABCG.tmp"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\report.doc"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\~kvnotes.tmp"));
    // Earlier versions' names: the new name, ".~kv", 1 to 8 hex digits, ".tmp".
    EXPECT_TRUE(kv::IsWorkingFileName(L"C:\\Papers\\report.doc.~kv1a2b.tmp"));
    EXPECT_TRUE(kv::IsWorkingFileName(L"C:\\Papers\\report.doclocked.~kv0123abcd.tmp"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\report.doc.~kv0123abcd9.tmp"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\.~kv12.tmp"));
    EXPECT_FALSE(kv::IsWorkingFileName(L"C:\\Papers\\report.doc.~kvxyz.tmp"));
}

TEST_F(DocumentSafety, WorkingFilesLeftInTheFolderGoWhicheverDocumentIsProcessed) {
    const std::wstring mine = kv::WorkingFilePrefix(WPath("r.doc"));
    const std::wstring other = kv::WorkingFilePrefix(WPath("s.doc"));
    const std::string stale = Narrow(mine) + "0badf00d.tmp";
    const std::string staleToo = Narrow(mine) + "12345678.tmp";
    const std::string others = Narrow(other) + "0badf00d.tmp";
    const std::string lookalike = Narrow(mine) + "notours.tmp";
    const std::string legacy = "r.doc.~kv1f2e.tmp", legacyLocked = "r.doclocked.~kvabcdef01.tmp";
    const std::string legacyOther = "s.doc.~kv1f2e.tmp";
    for (const auto& name : {stale, staleToo, others, lookalike, legacy, legacyLocked, legacyOther})
        Put(name, {'p', 'l', 'a', 'i', 'n'});

    Put("r.doc", {1, 2, 3});
    ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("r.doc"), nullptr).ok());
    EXPECT_EQ(Names(), (std::set<std::string>{"r.doclocked", lookalike}));

    // A run clears a folder the first time it meets it: one left later waits for the next run.
    kv::WorkingFileSweep run;
    kv::CipherOptions options;
    options.sweep = &run;
    Put(others, {'p'});
    ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("r.doclocked"), nullptr, options).ok());
    EXPECT_EQ(Names(), (std::set<std::string>{"r.doc", lookalike}));
    Put(others, {'p'});
    ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("r.doc"), nullptr, options).ok());
    EXPECT_EQ(Names(), (std::set<std::string>{"r.doclocked", lookalike, others}));
}

TEST_F(DocumentSafety, TheNewFileKeepsTheLastWriteTime) {
    Put("old.doc", {'o', 'l', 'd'});
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = 1000000000;  // 2001
    times[1].tv_nsec = 123456789;
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("old.doc").c_str(), times, 0), 0);
    ASSERT_TRUE(kv::EncryptDocument(*fs_, WPath("old.doc"), nullptr).ok());
    struct stat st {};
    ASSERT_EQ(::stat(Path("old.doclocked").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    ASSERT_TRUE(kv::DecryptDocument(*fs_, WPath("old.doclocked"), nullptr).ok());
    ASSERT_EQ(::stat(Path("old.doc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

TEST_F(DocumentSafety, ANewNameTooLongForTheVolumeIsRefusedBeforeAnythingIsWritten) {
    const long max = ::pathconf(dir_.c_str(), _PC_NAME_MAX);
    ASSERT_GT(max, 6);
    // The document's own name fits; with "locked" appended it does not.
    const std::string name(std::size_t(max) - 3, 'n');
    Put(name, {'d', 'o', 'c'});
    auto r = kv::EncryptDocument(*fs_, WPath(name), nullptr);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.failure->step, kv::CipherStep::kNewName);
    EXPECT_EQ(r.failure->status.kind, kv::FsErrorKind::kNameTooLong);
    const std::wstring text = kv::DescribeCipherFailure(*r.failure);
    EXPECT_EQ(text.substr(0, text.find(L'\r')), L"The file could not be given its new name.");
    EXPECT_NE(text.find(L"\rThe name is too long for the file system."), std::wstring::npos);
    EXPECT_EQ(Names(), std::set<std::string>{name});
    EXPECT_EQ(Get(name), (Bytes{'d', 'o', 'c'}));
}

}  // namespace
