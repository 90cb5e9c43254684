// The processing pipeline under Wine: drops as real OLE data objects, real documents,
// the scripted message boxes, the log file and the user's after-decrypt preference.
#include "harness.h"

#include "data_object.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/Cipher.h"
#include "core/Globals.h"
#include "app/Pipeline.h"
#include "core/action_log.h"
#include "ui/OpenDocument.h"
#include "ui/frmDecrypted.h"
#include "ui/frmMain.h"
#include "ui/frmNotProcessed.h"
#include "ui/frmProgress.h"
#include "win/app.h"
#include "win/form.h"
#include "tests/support/forwarding_file_system.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::win::LoadedForm;
using kv::win::MsgButtons;
using kv::win::MsgResult;
using Bytes = std::vector<std::uint8_t>;

// A drop hands its paths over and returns; the run comes from the message loop.
void Drop(IDataObject* data) {
    kv::Pipeline::HandleFileDrop(data);
    data->Release();
    Pump();
}

// The entries of the log as plain text (the entries here are plain ASCII).
std::vector<std::string> HalvedLogLines(const std::wstring& path) { return CrLfLines(path, /*halve=*/true); }

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class PipelineTest : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users[0] = kv::NewUserRecord(L"Admin");
        G::Users[0].AllowEncrypt = true;
        G::Users[0].AllowDecrypt = true;
        G::Users[0].DefaultSelection = L"ALL";
        previousOpener_ = kv::SetDocumentOpener([this](const std::wstring& p) { opened.push_back(p); });
    }
    void TearDown() override {
        kv::SetDocumentOpener(previousOpener_);
        KorvaneTest::TearDown();
    }
    // A plain document and the encrypted form of another.
    std::wstring Plain(const std::wstring& name, const Bytes& bytes = {'h', 'i'}) {
        const std::wstring path = folder.File(name);
        WriteBytes(path, bytes);
        return path;
    }
    std::wstring Locked(const std::wstring& name, const Bytes& plain = {'o', 'k'}) {
        Bytes stored = plain;
        for (auto& b : stored) ++b;  // no 0xFF in these: one up, three zeros after
        stored.insert(stored.end(), {0, 0, 0});
        const std::wstring path = folder.File(name);
        WriteBytes(path, stored);
        return path;
    }
    void ExpectRunClosed() {
        EXPECT_EQ(LoadedForm<kv::frmProgress>(), nullptr);
        EXPECT_FALSE(kv::win::BusyPointer());
        EXPECT_FALSE(kv::Pipeline::RunInProgress());
        EXPECT_TRUE(dialogs.AllConsumed());
    }
    std::vector<std::string> Log() { return HalvedLogLines(G::LogFilePath); }

    std::vector<std::wstring> opened;

private:
    kv::DocumentOpener previousOpener_;
};

std::string N(const std::wstring& w) { return Narrow(w); }

TEST_F(PipelineTest, AMixedDropEncryptsDecryptsLogsAndAsksOnce) {
    const std::wstring report = Plain(L"report.doc", {'a', 'b', 'c'});
    const std::wstring report2 = Locked(L"report2.doclocked", {'x', 'y'});
    dialogs.ExpectQuestion(L"1 file encrypted.\r1 file decrypted.\rWould you like to view the decrypted file now?",
                           MsgButtons::YesNo, MsgResult::Yes);
    Drop(MakeFileDrop({report, report2}));

    EXPECT_EQ(ReadBytes(report + L"locked"), (Bytes{0x62, 0x63, 0x64, 0, 0, 0}));
    EXPECT_EQ(ReadBytes(folder.File(L"report2.doc")), (Bytes{'x', 'y'}));
    EXPECT_FALSE(Exists(report));
    EXPECT_FALSE(Exists(report2));
    EXPECT_EQ(G::DecryptedFiles, std::vector<std::wstring>{folder.File(L"report2.doc")});
    EXPECT_EQ(opened, std::vector<std::wstring>{folder.File(L"report2.doc")});
    EXPECT_TRUE(G::ShowProgress);

    const auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(EndsWith(log[0], "   Admin   ENCRYPTED FILE: " + N(report))) << log[0];
    EXPECT_TRUE(EndsWith(log[1], "   Admin   DECRYPTED FILE: " + N(folder.File(L"report2.doc")))) << log[1];
    ExpectRunClosed();
}

TEST_F(PipelineTest, OnlyTheExactLowerCaseSuffixMeansEncrypted) {
    const std::wstring shouting = Plain(L"memo.docLOCKED");
    const std::wstring mixed = Plain(L"memo2.docLocked");
    dialogs.ExpectMessage(L"2 files encrypted.");
    kv::Pipeline::ProcessFiles({shouting, mixed});
    EXPECT_TRUE(Exists(shouting + L"locked"));
    EXPECT_TRUE(Exists(mixed + L"locked"));
    EXPECT_EQ(Log().size(), 2u);
    ExpectRunClosed();
}

// Looks at the progress window whenever the cipher opens a document.
class WatchingFileSystem final : public kvtest::ForwardingFileSystem {
public:
    explicit WatchingFileSystem(kv::FileSystem& real) : ForwardingFileSystem(real) {}
    std::vector<std::wstring> labels;
    std::function<void()> onOpen;
    std::wstring keep;  // a file that cannot be removed

    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        if (mode == kv::OpenMode::kReadWriteExisting) {
            if (auto* progress = LoadedForm<kv::frmProgress>()) labels.push_back(progress->lblCurrent.Text());
            if (onOpen) onOpen();
        }
        return real_.Open(path, mode, file);
    }
    kv::FsStatus Remove(const std::wstring& path) override {
        if (path == keep) return {kv::FsErrorKind::kAccessDenied, L""};
        return real_.Remove(path);
    }

private:
};

TEST_F(PipelineTest, FoldersVanishedAndEmptyPathsAreSkippedButCountInTheTotal) {
    WatchingFileSystem watch(kv::CipherFileSystem());
    kv::SetCipherFileSystem(&watch);
    const std::wstring doc = Plain(L"real.txt");
    dialogs.ExpectMessage(L"1 file encrypted.");
    kv::Pipeline::ProcessFiles({folder.Path(), folder.File(L"gone.txt"), L"", doc});
    kv::SetCipherFileSystem(nullptr);
    // The one real document was the first started of four.
    EXPECT_EQ(watch.labels, std::vector<std::wstring>{L"Current File (1 of 4)"});
    EXPECT_EQ(Log().size(), 1u);

    dialogs.ExpectMessage(L"0 files precessed.");
    Drop(MakeFileDrop({folder.Path()}));
    EXPECT_EQ(Log().size(), 1u);
    ExpectRunClosed();
}

TEST_F(PipelineTest, EveryAfterDecryptChoiceWithOneAndWithSeveralDocuments) {
    struct Case {
        std::int32_t afterDecrypt;
        int documents;
        const wchar_t* question;  // a Yes/No question instead of the summary, answered No
        bool summary;
        bool opensAll;
        bool chooser;
    };
    const Case cases[] = {
        {kv::kAfterDecryptPrompt, 1, L"1 file decrypted.\rWould you like to view the decrypted file now?", false,
         false, false},
        {kv::kAfterDecryptPrompt, 2, nullptr, true, false, true},
        {kv::kAfterDecryptAlways, 1, nullptr, true, true, false},
        {kv::kAfterDecryptAlways, 3, nullptr, true, true, false},
        {kv::kAfterDecryptNever, 1, nullptr, true, false, false},
        {kv::kAfterDecryptNever, 2, nullptr, true, false, false},
        {7, 2, nullptr, true, false, false},  // a hand-edited value: as "Never"
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("AfterDecrypt " + std::to_string(c.afterDecrypt) + ", " + std::to_string(c.documents));
        G::Users[0].AfterDecrypt = c.afterDecrypt;
        opened.clear();
        std::vector<std::wstring> paths, plain;
        for (int i = 0; i < c.documents; ++i) {
            const std::wstring name = L"d" + std::to_wstring(round) + L"_" + std::to_wstring(i) + L".txt";
            paths.push_back(Locked(name + L"locked"));
            plain.push_back(folder.File(name));
        }
        ++round;
        const std::wstring summary =
            c.documents == 1 ? L"1 file decrypted." : std::to_wstring(c.documents) + L" files decrypted.";
        if (c.question) dialogs.ExpectQuestion(c.question, MsgButtons::YesNo, MsgResult::No);
        if (c.summary) dialogs.ExpectMessage(summary);
        kv::Pipeline::ProcessFiles(paths);

        EXPECT_EQ(G::DecryptedFiles, plain);
        EXPECT_EQ(opened, c.opensAll ? plain : std::vector<std::wstring>{});
        auto* chooser = LoadedForm<kv::frmDecrypted>();
        EXPECT_EQ(chooser != nullptr, c.chooser);
        if (chooser) {
            EXPECT_TRUE(chooser->Visible());
            ASSERT_EQ(chooser->lstFiles.ListCount(), c.documents);
            EXPECT_EQ(chooser->lstFiles.List(1), plain[1]);
            chooser->Unload();
        }
        ExpectRunClosed();
    }
}

TEST_F(PipelineTest, AChooserStillOpenShowsTheLaterRunsDocuments) {
    const std::wstring a = Locked(L"a.txtlocked"), b = Locked(L"b.txtlocked");
    dialogs.ExpectMessage(L"2 files decrypted.");
    kv::Pipeline::ProcessFiles({a, b});
    const std::wstring c = Locked(L"c.txtlocked"), d = Locked(L"d.txtlocked"), e = Locked(L"e.txtlocked");
    dialogs.ExpectMessage(L"3 files decrypted.");
    kv::Pipeline::ProcessFiles({c, d, e});
    auto* chooser = LoadedForm<kv::frmDecrypted>();
    ASSERT_NE(chooser, nullptr);
    ASSERT_EQ(chooser->lstFiles.ListCount(), 3);
    EXPECT_EQ(chooser->lstFiles.List(0), folder.File(L"c.txt"));
}

TEST_F(PipelineTest, TextAndEmptyDropsAreRefusedWithTheirMessages) {
    const std::wstring doc = Plain(L"keep.txt");
    dialogs.ExpectMessage(L"Invalid File Type.");
    Drop(MakeTextDrop(doc));
    dialogs.ExpectMessage(L"Invalid File Count");
    Drop(MakeFileDrop({}));
    dialogs.ExpectMessage(L"Invalid File Type.");
    kv::Pipeline::HandleFileDrop(nullptr);
    Pump();
    EXPECT_TRUE(Exists(doc));
    EXPECT_EQ(LoadedForm<kv::frmProgress>(), nullptr);
    EXPECT_TRUE(dialogs.AllConsumed());
}

// A window of the test's own that receives the "drop" while a run lets messages through.
class LateDropper {
public:
    static constexpr UINT kDrop = WM_APP + 7;
    LateDropper() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == kDrop) {
                auto* data = reinterpret_cast<IDataObject*>(l);
                kv::Pipeline::HandleFileDrop(data);
                data->Release();
                return 0;
            }
            return ::DefWindowProcW(h, m, w, l);
        };
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvTestLateDropper";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~LateDropper() { ::DestroyWindow(hwnd); }
    void PostDrop(IDataObject* data) { ::PostMessageW(hwnd, kDrop, 0, reinterpret_cast<LPARAM>(data)); }
    HWND hwnd;
};

TEST_F(PipelineTest, ADropDuringARunIsQueuedAndRunsWholeAfterIt) {
    G::Users[0].AfterDecrypt = kv::kAfterDecryptNever;
    const std::wstring first = Plain(L"first.txt"), second = Locked(L"second.txtlocked");
    const std::wstring later = Plain(L"later.txt");
    WatchingFileSystem watch(kv::CipherFileSystem());
    LateDropper dropper;
    bool posted = false;
    watch.onOpen = [&] {
        if (posted) return;
        posted = true;
        dropper.PostDrop(MakeFileDrop({later}));
    };
    kv::SetCipherFileSystem(&watch);
    // The first run is summarised with its own counts, untouched by the drop that
    // arrived in its middle; then the queued drop runs as a run of its own.
    dialogs.ExpectMessage(L"1 file encrypted.\r1 file decrypted.");
    dialogs.ExpectMessage(L"1 file encrypted.");
    kv::Pipeline::ProcessFiles({first, second});
    kv::SetCipherFileSystem(nullptr);

    EXPECT_EQ(watch.labels, (std::vector<std::wstring>{L"Current File (1 of 2)", L"Current File (2 of 2)",
                                                       L"Current File (1 of 1)"}));
    EXPECT_TRUE(Exists(later + L"locked"));
    EXPECT_EQ(G::DecryptedFiles, std::vector<std::wstring>{L""});  // reset by the later run
    EXPECT_EQ(kv::Pipeline::QueuedRuns(), 0u);
    const auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(EndsWith(log[2], "ENCRYPTED FILE: " + N(later)));
    ExpectRunClosed();
}

// Runs stopped by the user and runs with many failures: what the user is shown, in order, and
// what the files and the log say afterwards.
struct RunScenario {
    const char* name;
    int plain = 0, locked = 0;  // documents, interleaved in the drop when both are given
    int held = 0;               // the first plain ones, held open by another program
    std::size_t large = 0;      // bytes of one large plain document instead
    bool noEncrypt = false, noDecrypt = false, deleted = false;
    int cancelAt = 0;    // Cancel while the n-th document is being opened (0: no Cancel)
    bool byEsc = false;  // Esc in the main window instead of the button
    // What the user sees: the reasons of the error boxes in order, the summary, the list.
    std::vector<std::wstring> boxes;
    std::wstring summary;
    int listed = 0;
    std::wstring listReason;
    int transformed = 0;  // encrypted plus decrypted; so many log entries
};

class RunScenarios : public PipelineTest {};

// Holds the cipher in its first look at the n-th document until the Cancel pressed meanwhile
// (the button or Esc, posted as the user's click or key) has reached the progress window.
class CancellingFileSystem final : public kvtest::ForwardingFileSystem {
public:
    CancellingFileSystem(kv::FileSystem& real, int at, HWND key) : ForwardingFileSystem(real), at_(at), key_(key) {}
    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        if (mode == kv::OpenMode::kReadWriteExisting && ++opens_ == at_) {
            auto* progress = LoadedForm<kv::frmProgress>();
            if (key_) ::PostMessageW(key_, WM_KEYDOWN, VK_ESCAPE, 1);
            else if (progress) ::PostMessageW(progress->cmdCancel.hwnd(), BM_CLICK, 0, 0);
            for (int i = 0; i < 500 && progress && !progress->CancelRequested(); ++i) ::Sleep(10);
        }
        if (mode == kv::OpenMode::kReadWriteExisting) ++opened_;
        return real_.Open(path, mode, file);
    }
    int opened_ = 0;

private:
    int at_;
    HWND key_;
    int opens_ = 0;
};

TEST_F(RunScenarios, CancelsAndFailuresKeepFilesLogAndSummaryInAgreement) {
    const std::wstring inUse = L"The file is open in another program.";
    const std::vector<RunScenario> table = {
        {.name = "Cancel in the 4th of 400 small documents: it is finished, no other touched", .plain = 400,
         .cancelAt = 4, .summary = L"4 files encrypted.\rThe run was cancelled: 396 documents were not processed.",
         .transformed = 4},
        {.name = "Esc in the main window", .plain = 3, .locked = 3, .cancelAt = 2, .byEsc = true,
         .summary = L"1 file encrypted.\r1 file decrypted.\rThe run was cancelled: 4 documents were not processed.",
         .transformed = 2},
        {.name = "Cancel in a large document: abandoned", .large = std::size_t(24) << 20, .cancelAt = 1,
         .summary = L"0 files precessed.\rThe run was cancelled: 1 document was not processed."},
        {.name = "300 documents, 250 in use: one box, then the list", .plain = 300, .held = 250, .boxes = {inUse},
         .summary = L"50 files encrypted.", .listed = 249, .listReason = L"in use by another program",
         .transformed = 50},
        {.name = "one document in use looks as ever", .plain = 3, .held = 1, .boxes = {inUse},
         .summary = L"2 files encrypted.", .transformed = 2},
        {.name = "no right to either: one box per right", .plain = 4, .locked = 4, .noEncrypt = true,
         .noDecrypt = true,
         .boxes = {L"You do not have permission to encrypt files.", L"You do not have permission to decrypt files."},
         .summary = L"0 files precessed.", .listed = 6, .listReason = L"you do not have permission to"},
        {.name = "no right to encrypt, decryption goes on", .plain = 3, .locked = 2, .noEncrypt = true,
         .boxes = {L"You do not have permission to encrypt files."}, .summary = L"2 files decrypted.", .listed = 2,
         .listReason = L"you do not have permission to encrypt files", .transformed = 2},
        {.name = "a deleted account says so", .plain = 3, .deleted = true, .boxes = {L"Your account has been deleted"},
         .summary = L"0 files precessed.", .listed = 2, .listReason = L"your account has been deleted"},
    };
    for (const RunScenario& row : table) {
        SCOPED_TRACE(row.name);
        TempFolder docs;
        ScriptedDialogs seen;  // this row's boxes
        G::Users[0].AllowEncrypt = !row.noEncrypt;
        G::Users[0].AllowDecrypt = !row.noDecrypt;
        G::Users[0].UserName = row.deleted ? L"" : L"Admin";
        G::Users[0].AfterDecrypt = kv::kAfterDecryptNever;
        ::DeleteFileW(G::LogFilePath.c_str());
        std::vector<std::wstring> paths;
        std::vector<HANDLE> held;
        if (row.large) {
            paths.push_back(docs.File(L"large.bin"));
            WriteBytes(paths.back(), Bytes(row.large, 0x5A));
        }
        for (int i = 0; i < std::max(row.plain, row.locked); ++i) {
            if (i < row.plain) {
                paths.push_back(docs.File(L"p" + std::to_wstring(i) + L".txt"));
                WriteBytes(paths.back(), {'h', 'i'});
                if (i < row.held)
                    held.push_back(::CreateFileW(paths.back().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                                 nullptr));
            }
            if (i < row.locked) {
                paths.push_back(docs.File(L"l" + std::to_wstring(i) + L".txtlocked"));
                WriteBytes(paths.back(), {'p', 'l', 0, 0, 0});
            }
        }
        for (const std::wstring& reason : row.boxes) {
            (void)reason;
            seen.ExpectMessageStartingWith(L"Error Processing File: \r");
        }
        seen.ExpectMessage(row.summary);
        auto& main = kv::win::TheForm<kv::frmMain>();
        if (row.byEsc) main.Show();
        CancellingFileSystem cancelling(kv::CipherFileSystem(), row.cancelAt, row.byEsc ? main.hwnd() : nullptr);
        kv::SetCipherFileSystem(&cancelling);
        std::vector<std::wstring> lines;
        std::size_t boxesBeforeList = 0;
        kv::win::SetModalHook([&](kv::win::Form& form) {
            auto* list = dynamic_cast<kv::frmNotProcessed*>(&form);
            ASSERT_NE(list, nullptr);
            lines = list->Lines();
            boxesBeforeList = seen.Shown().size();
            // Esc closes it.
            ::PostMessageW(list->txtList.hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
        });
        kv::Pipeline::ProcessFiles(paths);
        kv::win::SetModalHook({});
        kv::SetCipherFileSystem(nullptr);
        for (HANDLE h : held) ::CloseHandle(h);
        if (row.byEsc) main.Unload();

        // The boxes, then the summary, then the list.
        const auto& shown = seen.Shown();
        ASSERT_EQ(shown.size(), row.boxes.size() + 1);
        for (std::size_t i = 0; i < row.boxes.size(); ++i)
            EXPECT_NE(shown[i].find(row.boxes[i]), std::wstring::npos) << Narrow(shown[i]);
        ASSERT_EQ(lines.size(), std::size_t(row.listed));
        if (row.listed) {
            EXPECT_EQ(boxesBeforeList, shown.size());
        }
        for (const std::wstring& line : lines) EXPECT_NE(line.find(L" - " + row.listReason), std::wstring::npos);
        EXPECT_EQ(LoadedForm<kv::frmNotProcessed>(), nullptr);

        // Each document whole under one name, none touched past the Cancel but the one in
        // progress, no working file, one log entry per transformed document.
        int changed = 0;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const std::wstring& path = paths[i];
            const bool locked = kv::IsLockedPath(path);
            const std::wstring other = locked ? kv::PlainPathOf(path) : path + L"locked";
            EXPECT_NE(Exists(path), Exists(other)) << Narrow(path);
            if (!Exists(other)) continue;
            ++changed;
            if (row.cancelAt) {
                EXPECT_LT(i, std::size_t(row.cancelAt)) << Narrow(path);
            }
            if (!row.large) {
                EXPECT_EQ(ReadBytes(other), (locked ? Bytes{'o', 'k'} : Bytes{'i', 'j', 0, 0, 0}));
            }
        }
        if (row.large) {
            EXPECT_EQ(ReadBytes(paths[0]), Bytes(row.large, 0x5A));
        }
        EXPECT_EQ(changed, row.transformed);
        for (const std::wstring& name : FilesIn(docs.Path())) EXPECT_FALSE(kv::IsWorkingFileName(name)) << Narrow(name);
        EXPECT_EQ(Exists(G::LogFilePath) ? Log().size() : 0u, std::size_t(row.transformed));
        ExpectRunClosed();
        dialogs = ScriptedDialogs();
    }
}

TEST_F(PipelineTest, AnOriginalThatCannotBeRemovedIsReportedYetTheNewDocumentCounts) {
    // Both names then hold the document: the encrypted copy exists and is logged, and
    // the user learns that the plain one is still there.
    const std::wstring doc = Plain(L"stays.txt");
    WatchingFileSystem watch(kv::CipherFileSystem());
    watch.keep = doc;
    kv::SetCipherFileSystem(&watch);
    dialogs.ExpectMessage(L"Error Processing File: \rThe file could not be removed after it was processed; both "
                          L"files are kept.\r" + doc + L"\rThe file or its folder is read-only, or access is denied.");
    dialogs.ExpectMessage(L"1 file encrypted.");
    kv::Pipeline::ProcessFiles({doc});
    kv::SetCipherFileSystem(nullptr);
    EXPECT_TRUE(Exists(doc));
    EXPECT_EQ(ReadBytes(doc + L"locked"), (Bytes{'h' + 1, 'i' + 1, 0, 0, 0}));
    ASSERT_EQ(Log().size(), 1u);
    ExpectRunClosed();
}

TEST_F(PipelineTest, ALogThatCannotBeWrittenIsReportedOncePerRun) {
    WriteBytes(G::LogFilePath, {});
    HANDLE holder = ::CreateFileW(G::LogFilePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::wstring a = Plain(L"a.txt"), b = Plain(L"b.txt");
    dialogs.ExpectMessageStartingWith(L"The action log could not be written.\r" + G::LogFilePath + L"\r");
    dialogs.ExpectMessage(L"2 files encrypted.");
    kv::Pipeline::ProcessFiles({a, b});
    ::CloseHandle(holder);
    EXPECT_TRUE(Exists(a + L"locked"));
    EXPECT_TRUE(Exists(b + L"locked"));
    EXPECT_TRUE(ReadBytes(G::LogFilePath).empty());
    ExpectRunClosed();

    // The next run writes again and says nothing more.
    dialogs.ExpectMessage(L"1 file decrypted.\rWould you like to view the decrypted file now?");
    kv::Pipeline::ProcessFiles({a + L"locked"});
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(PipelineTest, NonAsciiNamesAreLoggedSoTheyDecodeExactly) {
    G::Users[0].UserName = L"Zo\u00eb";
    const std::wstring doc = Plain(L"r\u00e9sum\u00e9 \u6587\u66f8.txt");
    dialogs.ExpectMessage(L"1 file encrypted.");
    kv::Pipeline::ProcessFiles({doc});
    ASSERT_TRUE(Exists(doc + L"locked"));
    const Bytes bytes = ReadBytes(G::LogFilePath);
    ASSERT_GE(bytes.size(), 2u);
    const std::string stored(bytes.begin(), bytes.end() - 2);
    EXPECT_EQ(stored.find_first_of(std::string("\r\n \0", 4)), std::string::npos);
    const std::wstring entry = kv::DecodeLogLine(stored);
    const std::wstring tail = L"   Zo\u00eb   ENCRYPTED FILE: " + doc;
    ASSERT_GE(entry.size(), tail.size());
    EXPECT_EQ(entry.substr(entry.size() - tail.size()), tail);
}

}  // namespace
}  // namespace kvtest
