// The cipher as the program runs it (rights, progress window, real Win32 files), the
// progress window's layouts and the decrypted-files chooser.
#include "harness.h"
#include "layout_checks.h"
#include "recycle_bin.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Cipher.h"
#include "core/Globals.h"
#include "ui/OpenDocument.h"
#include "ui/frmDecrypted.h"
#include "ui/frmNotProcessed.h"
#include "ui/frmProgress.h"
#include "win/app.h"
#include "win/form.h"
#include "tests/support/forwarding_file_system.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::CipherOutcome;
using kv::frmDecrypted;
using kv::frmProgress;
using kv::win::LoadedForm;
using kv::win::TheForm;
using Bytes = std::vector<std::uint8_t>;

int WidthPx(const kv::win::Control& control) {
    RECT r{};
    ::GetWindowRect(control.hwnd(), &r);
    return r.right - r.left;
}

// The fill is this share of its frame's width, as the eye sees it (to a pixel of rounding).
::testing::AssertionResult FilledShare(const kv::win::Control& fill, const kv::win::Control& frame, double share) {
    const int filled = WidthPx(fill), whole = WidthPx(frame);
    if (std::abs(filled - whole * share) <= 1.0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "filled " << filled << " of " << whole << " pixels, expected " << share;
}

RECT ScreenRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// With KV_SHOTS set to a folder (a Unix path Wine reaches through Z:), a window is held
// on screen until a marker file named after the shot has been removed by whoever takes
// the screenshot; otherwise nothing happens.
void HoldForScreenshot(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"KV_SHOTS", folder, MAX_PATH)) return;
    const std::wstring marker = std::wstring(L"Z:") + folder + L"/" + name + L".ready";
    WriteBytes(marker, {});
    const ULONGLONG start = ::GetTickCount64();
    while (Exists(marker) && ::GetTickCount64() - start < 20000) {
        kv::win::DoEvents(1);
        ::Sleep(20);
    }
}

class CipherTest : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users[0] = kv::NewUserRecord(L"Admin");
        G::Users[0].AllowEncrypt = true;
        G::Users[0].AllowDecrypt = true;
        G::ShowProgress = true;
    }
    frmProgress& OpenProgress(int n) {
        frmProgress& form = TheForm<frmProgress>();
        form.Load();
        form.MaxFiles(n);
        form.Show();
        Pump();
        return form;
    }
    static Bytes Letters(std::size_t n) {
        Bytes b(n);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>('A' + i % 26);
        return b;
    }
};

// ---- the progress window -------------------------------------------------------------

TEST_F(CipherTest, ARunOfOneDocumentShowsOneBarInAShorterWindow) {
    frmProgress& form = OpenProgress(1);
    EXPECT_EQ(form.lblCurrent.Text(), L"Current File (1 of 1)");
    EXPECT_EQ(form.Caption(), L"");
    EXPECT_EQ(::GetWindowLongPtrW(form.hwnd(), GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_FALSE(form.picTopMaster.Visible());
    EXPECT_TRUE(form.picBottomMaster.Visible());
    // The one bar takes the place of the top one, below the path line; the Cancel button
    // follows it closely and the window ends a little below that: shorter than a window with
    // two bars, no empty band left.
    RECT bottom = ScreenRect(form.picBottomMaster.hwnd());
    ::MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&bottom), 2);
    RECT button = ScreenRect(form.cmdCancel.hwnd());
    ::MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&button), 2);
    RECT client{};
    ::GetClientRect(form.hwnd(), &client);
    EXPECT_TRUE(LaidOutWhole(form.hwnd()));
    EXPECT_EQ(WindowText(form.cmdCancel.hwnd()), L"Cancel");
    EXPECT_EQ(WindowClass(form.cmdCancel.hwnd()), L"Button");
    EXPECT_GT(button.top - bottom.bottom, 0);
    EXPECT_LT(button.top - bottom.bottom, bottom.bottom - bottom.top);
    EXPECT_GT(client.bottom - button.bottom, 0);
    EXPECT_LT(client.bottom - button.bottom, bottom.bottom - bottom.top);
    RECT pathLine = ScreenRect(form.lblFile.hwnd());
    ::MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&pathLine), 2);
    EXPECT_LT(pathLine.top, bottom.top);

    // Centred on the screen, blue, the title yellow.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT outer = ScreenRect(form.hwnd());
    EXPECT_NEAR((outer.left + outer.right) / 2, (work.left + work.right) / 2, 2);
    EXPECT_EQ(form.BackColor(), RGB(0, 0, 255));
    EXPECT_EQ(form.Label1.Text(), L"Kor-Vane");
    EXPECT_EQ(form.Label1.ForeColor(), RGB(255, 255, 0));

    form.StartNewFile(L"C:\\Papers\\report.doc");
    form.FileProgress(40);
    EXPECT_EQ(form.lblFile.Text(), L"C:\\Papers\\report.doc");
    EXPECT_TRUE(FilledShare(form.picBottomMinor, form.picBottomMaster, 0.40));
    EXPECT_TRUE(LaidOutWhole(form.hwnd()));  // the path shown whole
    HoldForScreenshot(L"progress-one");
}

TEST_F(CipherTest, ARunOfManyFailuresListsThemWholeInOneScrollingWindow) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < 300; ++i)
        lines.push_back(L"C:\\Documents and Settings\\Projects\\quarterly report " + std::to_wstring(i) +
                        L".doc - in use by another program");
    auto& list = kv::win::TheForm<kv::frmNotProcessed>();
    list.SetLines(lines);
    list.Show();
    Pump();
    EXPECT_TRUE(LaidOutWhole(list.hwnd()));
    EXPECT_EQ(list.lblHeader.Text(), L"The following 300 documents were not processed:");
    HWND box = list.txtList.hwnd();
    EXPECT_EQ(::SendMessageW(box, EM_GETLINECOUNT, 0, 0), 300);
    EXPECT_NE(::GetWindowLongPtrW(box, GWL_STYLE) & WS_VSCROLL, 0);
    EXPECT_NE(::GetWindowLongPtrW(box, GWL_STYLE) & ES_READONLY, 0);
    // A line the user selects is there to copy, as shown.
    ::SendMessageW(box, EM_SETSEL, 0, -1);
    DWORD from = 0, to = 0;
    ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_GT(to, 300u * 60u);
    HoldForScreenshot(L"not-processed");
    list.Unload();
}

TEST_F(CipherTest, ARunOfThreeFillsTheRunBarByDocumentsStarted) {
    frmProgress& form = OpenProgress(3);
    EXPECT_EQ(form.lblCurrent.Text(), L"Current File (1 of 3)");
    EXPECT_TRUE(form.picTopMaster.Visible());
    // Both bars whole in the window, the run's above the document's.
    EXPECT_TRUE(LaidOutWhole(form.hwnd()));
    EXPECT_LE(ScreenRect(form.picTopMaster.hwnd()).bottom, ScreenRect(form.picBottomMaster.hwnd()).top);
    EXPECT_LT(ScreenRect(form.picBottomMaster.hwnd()).bottom, ScreenRect(form.cmdCancel.hwnd()).top);
    EXPECT_EQ(WidthPx(form.picTopMinor), 0);  // empty until the first document starts
    EXPECT_EQ(WidthPx(form.picBottomMinor), 0);

    for (int k = 1; k <= 3; ++k) {
        const std::wstring path = L"C:\\Docs\\file" + std::to_wstring(k) + L".txt";
        form.StartNewFile(path);
        form.ShowLatest();  // the middle one may wait for the next repaint
        EXPECT_EQ(form.lblCurrent.Text(), L"Current File (" + std::to_wstring(k) + L" of 3)");
        EXPECT_EQ(form.lblFile.Text(), path);
        EXPECT_TRUE(FilledShare(form.picTopMinor, form.picTopMaster, k / 3.0));
        if (k == 2) {
            form.FileProgress(40);
            HoldForScreenshot(L"progress-three");
        }
    }
    // The document bar is not reset by a new document, follows the reports, and a value
    // above 100 makes a fill wider than its frame, which clips it to a full bar.
    EXPECT_TRUE(FilledShare(form.picBottomMinor, form.picBottomMaster, 0.40));
    form.FileProgress(111);
    EXPECT_TRUE(FilledShare(form.picBottomMinor, form.picBottomMaster, 1.11));
    RECT fill = ScreenRect(form.picBottomMinor.hwnd()), frameRect = ScreenRect(form.picBottomMaster.hwnd()), shown{};
    ::IntersectRect(&shown, &fill, &frameRect);
    EXPECT_TRUE(::EqualRect(&shown, &frameRect));  // taller and wider: the frame is filled
    EXPECT_LT(fill.top, frameRect.top);
}

TEST_F(CipherTest, DocumentsFasterThanRepaintsArePaintedTogetherAndTheLastIsShown) {
    frmProgress& form = OpenProgress(200);
    const std::uint64_t before = form.Refreshes();
    auto path = [](int k) { return L"C:\\Docs\\many" + std::to_wstring(k) + L".txt"; };
    for (int k = 1; k < 200; ++k) {
        form.StartNewFile(path(k));
        form.FileProgress(100);
    }
    EXPECT_LT(form.Refreshes() - before, 100u);
    EXPECT_EQ(form.FilesStarted(), 199);
    // What was not shown yet is shown whole: the latest name, count and bars.
    form.ShowLatest();
    EXPECT_EQ(form.lblCurrent.Text(), L"Current File (199 of 200)");
    EXPECT_EQ(form.lblFile.Text(), path(199));
    EXPECT_TRUE(FilledShare(form.picTopMinor, form.picTopMaster, 199 / 200.0));
    EXPECT_TRUE(FilledShare(form.picBottomMinor, form.picBottomMaster, 1.0));
    EXPECT_TRUE(::IsWindowVisible(form.hwnd()));
    form.StartNewFile(path(200));
    EXPECT_EQ(form.lblCurrent.Text(), L"Current File (200 of 200)");
    EXPECT_TRUE(::IsWindowVisible(form.hwnd()));
    form.Hide();
    EXPECT_FALSE(::IsWindowVisible(form.hwnd()));
    form.Unload();
}

TEST_F(CipherTest, RepeatedReportsOfOneValueDoNotRepaintEachTime) {
    frmProgress& form = OpenProgress(1);
    form.StartNewFile(L"C:\\big.bin");
    const std::uint64_t before = form.Refreshes();
    const ULONGLONG start = ::GetTickCount64();
    for (int i = 0; i < 20000; ++i) form.FileProgress(37);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_EQ(form.ReportsReceived(), 20000u);
    // One refresh for the new value, then at most one for every 30 ms that passed.
    EXPECT_LE(form.Refreshes() - before, 1 + elapsed / 30 + 1);
    EXPECT_GE(form.Refreshes() - before, 1u);

    // A batch of reports counts as its number, and every visible change is shown.
    const std::uint64_t mid = form.Refreshes();
    form.FileProgress(38, 5000);
    form.FileProgress(60, 1);
    EXPECT_EQ(form.ReportsReceived(), 25001u);
    EXPECT_EQ(form.Refreshes() - mid, 2u);
    EXPECT_EQ(form.LastPercent(), 60);
}

// ---- the cipher ----------------------------------------------------------------------

TEST_F(CipherTest, MissingRightsAreRefusedWithTheMessageAndNothingChanges) {
    const std::wstring plain = folder.File(L"report.doc"), locked = folder.File(L"old.doclocked");
    WriteBytes(plain, {1, 2, 3, 4});
    WriteBytes(locked, {9, 9, 9, 9, 9});
    G::Users[0].AllowEncrypt = false;
    G::Users[0].AllowDecrypt = false;
    frmProgress& form = OpenProgress(2);

    dialogs.ExpectMessage(L"Error Processing File: \r" + plain + L"\rYou do not have permission to encrypt files.");
    dialogs.ExpectMessage(L"Error Processing File: \r" + locked + L"\rYou do not have permission to decrypt files.");
    EXPECT_EQ(kv::EncryptFile(plain).outcome, CipherOutcome::kRefused);
    EXPECT_EQ(kv::DecryptFile(locked).outcome, CipherOutcome::kRefused);
    EXPECT_EQ(dialogs.TitlesShown(), (std::vector<std::wstring>{L"Korvane", L"Korvane"}));
    EXPECT_EQ(ReadBytes(plain), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(ReadBytes(locked), (Bytes{9, 9, 9, 9, 9}));
    EXPECT_EQ(FilesIn(folder.Path()).size(), 2u);
    EXPECT_EQ(form.FilesStarted(), 0);
    EXPECT_EQ(form.ReportsReceived(), 0u);

    // The right is read afresh for every document.
    G::Users[0].AllowEncrypt = true;
    EXPECT_EQ(kv::EncryptFile(plain).outcome, CipherOutcome::kTransformed);
}

TEST_F(CipherTest, ADocumentGoesRoundTripWithItsProgressReports) {
    const std::wstring plain = folder.File(L"letter.txt");
    const Bytes original = Letters(60);
    WriteBytes(plain, original);
    frmProgress& form = OpenProgress(2);

    const kv::CipherRun encrypted = kv::EncryptFile(plain);
    ASSERT_EQ(encrypted.outcome, CipherOutcome::kTransformed);
    EXPECT_FALSE(encrypted.failure.has_value());
    EXPECT_EQ(encrypted.newPath, plain + L"locked");
    Bytes expected = original;
    for (auto& b : expected) ++b;  // no 0xFF byte: every byte one up, three zeros after
    expected.insert(expected.end(), {0, 0, 0});
    EXPECT_EQ(ReadBytes(plain + L"locked"), expected);
    // The entry was written the moment the encrypted file was in place.
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::wstring>{L"KVL.txt", L"letter.txtlocked"}));
    ASSERT_TRUE(encrypted.log.has_value());
    EXPECT_TRUE(encrypted.log->written);
    EXPECT_EQ(CrLfLines(folder.File(L"KVL.txt"), true).size(), 1u);
    // Reports after positions 30 and 60 of 60, divided by 57: 52 and 105.
    EXPECT_EQ(form.FilesStarted(), 1);
    EXPECT_EQ(form.CurrentPath(), plain);
    EXPECT_EQ(form.ReportsReceived(), 2u);
    EXPECT_EQ(form.LastPercent(), 105);

    const kv::CipherRun decrypted = kv::DecryptFile(plain + L"locked");
    ASSERT_EQ(decrypted.outcome, CipherOutcome::kTransformed);
    EXPECT_EQ(decrypted.newPath, plain);
    EXPECT_EQ(ReadBytes(plain), original);
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::wstring>{L"KVL.txt", L"letter.txt"}));
    EXPECT_EQ(CrLfLines(folder.File(L"KVL.txt"), true).size(), 2u);
    EXPECT_EQ(form.FilesStarted(), 2);
    EXPECT_EQ(form.lblCurrent.Text(), L"Current File (2 of 2)");
    EXPECT_EQ(form.ReportsReceived(), 4u);  // 50 and 100
    EXPECT_EQ(form.LastPercent(), 100);
}

TEST_F(CipherTest, CarriesAndShortFilesOnDisk) {
    const std::wstring carry = folder.File(L"carry.bin");
    WriteBytes(carry, {0xFF, 0xFF, 0xFF, 0xFF, 0x41});
    ASSERT_TRUE(kv::EncryptFile(carry).Transformed());
    EXPECT_EQ(ReadBytes(carry + L"locked"), (Bytes{0x00, 0x01, 0x01, 0x01, 0x42, 0, 0, 0}));
    ASSERT_TRUE(kv::DecryptFile(carry + L"locked").Transformed());
    EXPECT_EQ(ReadBytes(carry), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x41}));

    const std::wstring empty = folder.File(L"empty.txt");
    WriteBytes(empty, {});
    ASSERT_TRUE(kv::EncryptFile(empty).Transformed());
    EXPECT_TRUE(ReadBytes(empty + L"locked").empty());
    EXPECT_FALSE(Exists(empty));

    // Two bytes under the encrypted name are no encrypted document: left as they are.
    const std::wstring stub = folder.File(L"stub.datlocked");
    WriteBytes(stub, {7, 8});
    const kv::CipherRun refused = kv::DecryptFile(stub);
    EXPECT_EQ(refused.outcome, CipherOutcome::kFailed);
    EXPECT_EQ(ReadBytes(stub), (Bytes{7, 8}));
    EXPECT_FALSE(Exists(folder.File(L"stub.dat")));
}

TEST_F(CipherTest, AnOlderFileUnderTheNewNameIsReplaced) {
    const std::wstring name = UniqueName(L"x") + L".doc";  // the older files go to the Recycle Bin
    const std::wstring plain = folder.File(name);
    WriteBytes(plain, {0x10, 0x20});
    WriteBytes(plain + L"locked", {1, 1, 1, 1, 1, 1, 1, 1, 1});
    ASSERT_TRUE(kv::EncryptFile(plain).Transformed());
    EXPECT_EQ(ReadBytes(plain + L"locked"), (Bytes{0x11, 0x21, 0, 0, 0}));

    WriteBytes(plain, {5, 5, 5});  // a newer plain copy appeared meanwhile
    ASSERT_TRUE(kv::DecryptFile(plain + L"locked").Transformed());
    EXPECT_EQ(ReadBytes(plain), (Bytes{0x10, 0x20}));
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::wstring>{L"KVL.txt", name}));  // and the action log
    RemoveFromTrash(name);
    RemoveFromTrash(name + L"locked");
}

TEST_F(CipherTest, WithoutShowProgressEncryptionDoesNotReportButDecryptionDoes) {
    const std::wstring plain = folder.File(L"quiet.txt");
    WriteBytes(plain, Letters(40));
    G::ShowProgress = false;
    frmProgress& form = OpenProgress(2);
    ASSERT_TRUE(kv::EncryptFile(plain).Transformed());
    EXPECT_EQ(form.FilesStarted(), 0);
    EXPECT_EQ(form.ReportsReceived(), 0u);
    ASSERT_TRUE(kv::DecryptFile(plain + L"locked").Transformed());
    EXPECT_EQ(form.FilesStarted(), 1);
    EXPECT_EQ(form.ReportsReceived(), 1u);

    // With no progress window loaded the cipher does not load one.
    form.Unload();
    G::ShowProgress = true;
    ASSERT_TRUE(kv::EncryptFile(plain).Transformed());
    EXPECT_EQ(LoadedForm<frmProgress>(), nullptr);
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
}

TEST_F(CipherTest, InputOutputFailuresLeaveTheDocumentAndNoTemporaryFile) {
    const std::wstring doc = folder.File(L"contract.doc");
    WriteBytes(doc, Letters(100));

    // (A read-only document fails the same way on Windows; under Wine run as root the
    // system opens it for writing anyway, so it is not tried here.)
    kv::CipherRun run;
    // Open in another program that shares nothing.
    {
        HANDLE other = ::CreateFileW(doc.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        run = kv::EncryptFile(doc);
        ::CloseHandle(other);
    }
    EXPECT_EQ(run.outcome, CipherOutcome::kFailed);
    ASSERT_TRUE(run.failure.has_value());
    EXPECT_EQ(run.failure->status.kind, kv::FsErrorKind::kSharingViolation);
    const std::wstring message = kv::CipherFailureMessage(doc, *run.failure);
    const std::wstring head = L"Error Processing File: \rThe file could not be opened.\r" + doc +
                              L"\rThe file is open in another program.";
    EXPECT_EQ(Narrow(message.substr(0, head.size())), Narrow(head));

    // The disk fills while the new file is written: the message names the document,
    // not the temporary file.
    ForwardingFileSystem failing(kv::CipherFileSystem());
    failing.FailAt(FsStep::kWrite, kv::FsErrorKind::kDiskFull);
    kv::SetCipherFileSystem(&failing);
    run = kv::EncryptFile(doc);
    kv::SetCipherFileSystem(nullptr);
    EXPECT_EQ(run.outcome, CipherOutcome::kFailed);
    ASSERT_TRUE(run.failure.has_value());
    EXPECT_EQ(run.failure->step, kv::CipherStep::kWrite);
    EXPECT_EQ(Narrow(kv::CipherFailureMessage(doc, *run.failure)),
              Narrow(L"Error Processing File: \rThe new file could not be written.\r" + doc + L"\rThe disk is full."));

    EXPECT_EQ(ReadBytes(doc), Letters(100));
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"contract.doc"});
}

// ---- the decrypted-files chooser ------------------------------------------------------

class ChooserTest : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users[0] = kv::NewUserRecord(L"Admin");
        G::DecryptedFiles = {L"C:\\Docs\\a.doc", L"C:\\Docs\\b.xls", L"C:\\Docs\\c.txt"};
        previousOpener_ = kv::SetDocumentOpener([this](const std::wstring& p) { opened.push_back(p); });
    }
    void TearDown() override {
        kv::SetDocumentOpener(previousOpener_);
        KorvaneTest::TearDown();
    }
    frmDecrypted& Open(const std::wstring& selection) {
        G::Users[0].DefaultSelection = selection;
        frmDecrypted& form = TheForm<frmDecrypted>();
        form.Show();
        Pump();
        return form;
    }
    static std::vector<bool> Checks(const frmDecrypted& form) {
        std::vector<bool> checks;
        for (int i = 0; i < form.lstFiles.ListCount(); ++i) checks.push_back(form.lstFiles.Selected(i));
        return checks;
    }
    std::vector<std::wstring> opened;

private:
    kv::DocumentOpener previousOpener_;
};

TEST_F(ChooserTest, EveryLineIsCheckedUnlessTheDefaultIsExactlyNONE) {
    const struct {
        const wchar_t* selection;
        bool checked;
    } cases[] = {{L"ALL", true}, {L"NONE", false}, {L"none", true}, {L"", true}};
    for (const auto& c : cases) {
        frmDecrypted& form = Open(c.selection);
        SCOPED_TRACE(Narrow(c.selection));
        EXPECT_EQ(form.Caption(), L"Decrypted Files");
        ASSERT_EQ(form.lstFiles.ListCount(), 3);
        EXPECT_EQ(form.lstFiles.List(0), L"C:\\Docs\\a.doc");
        EXPECT_EQ(form.lstFiles.List(2), L"C:\\Docs\\c.txt");
        EXPECT_EQ(Checks(form), std::vector<bool>(3, c.checked));
        if (c.checked && std::wstring(c.selection) == L"ALL") HoldForScreenshot(L"chooser");
        form.Unload();
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(ChooserTest, SelectButtonsAndOkOpenTheCheckedDocumentsInOrder) {
    frmDecrypted& form = Open(L"NONE");
    EXPECT_EQ(form.Label1.Text(), L"The following files have been decrypted.");
    EXPECT_EQ(form.Label2.Text(), L"Place check marks next to any of the files you would like to view.");
    Click(form.cmdSelectAll.hwnd());
    EXPECT_EQ(Checks(form), std::vector<bool>(3, true));
    Click(form.cmdSelectNone.hwnd());
    EXPECT_EQ(Checks(form), std::vector<bool>(3, false));

    ListView_SetCheckState(form.lstFiles.hwnd(), 2, TRUE);  // the user ticks two lines
    ListView_SetCheckState(form.lstFiles.hwnd(), 0, TRUE);
    Click(form.cmdOK.hwnd());
    EXPECT_EQ(opened, (std::vector<std::wstring>{L"C:\\Docs\\a.doc", L"C:\\Docs\\c.txt"}));
    EXPECT_EQ(LoadedForm<frmDecrypted>(), nullptr);
}

TEST_F(ChooserTest, OkWithNothingCheckedAndTheCloseBoxOpenNothing) {
    frmDecrypted& form = Open(L"NONE");
    Click(form.cmdOK.hwnd());
    EXPECT_EQ(LoadedForm<frmDecrypted>(), nullptr);

    frmDecrypted& again = Open(L"ALL");
    ::SendMessageW(again.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(LoadedForm<frmDecrypted>(), nullptr);
    EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace kvtest
