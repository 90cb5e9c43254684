// The action log viewer on real files in a fresh data folder: loading, the truncation offer,
// truncation (through the menu and the offer), its failures, printing and the window itself.
#include "harness.h"
#include "layout_checks.h"

#include <winspool.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "core/Globals.h"
#include "core/action_log.h"
#include "ui/frmMain.h"
#include "ui/frmViewLogFile.h"
#include "ui/log_text.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"
#include "win/printing.h"

namespace kvtest {

namespace {

namespace G = kv::Globals;
using kv::frmViewLogFile;
using kv::win::LoadedForm;
using kv::win::MsgButtons;
using kv::win::MsgResult;
using kv::win::TheForm;

std::wstring Entry(int n) {
    return kv::ComposeLogEntry(L"3/14/2024 9:26:53 AM", n % 3 ? L"Admin" : L"bob",
                               n % 2 ? kv::kActionEncrypted : kv::kActionDecrypted,
                               L"C:\\Documents\\quarterly report " + std::to_wstring(n) + L".doc");
}

// Entries first..last as the program appends them.
std::string Stored(int first, int last) {
    std::string log;
    for (int n = first; n <= last; ++n) log += kv::StoredLogLine(Entry(n));
    return log;
}

std::wstring Shown(int first, int last) {
    std::wstring text;
    for (int n = first; n <= last; ++n) text += Entry(n) + L"\r\n";
    return text;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class LogViewer : public KorvaneTest {
protected:
    // The viewer is for administrators: one is logged in.
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users = {kv::DefaultAdministrator()};
        G::CurrentUser = 0;
    }
    void WriteLog(const std::string& content) { WriteBytes(G::LogFilePath, Bytes(content)); }
    std::string LogOnDisk() {
        const auto bytes = ReadBytes(G::LogFilePath);
        return {bytes.begin(), bytes.end()};
    }
    // Whole logs are compared without printing them: sizes and the first difference.
    static ::testing::AssertionResult Same(const std::string& actual, const std::string& expected) {
        if (actual == expected) return ::testing::AssertionSuccess();
        std::size_t at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
        return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                             << ", first difference at byte " << at;
    }
    static ::testing::AssertionResult Same(const std::wstring& actual, const std::wstring& expected) {
        if (actual == expected) return ::testing::AssertionSuccess();
        std::size_t at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
        return ::testing::AssertionFailure() << actual.size() << " characters instead of " << expected.size()
                                             << ", first difference at " << at << ": \""
                                             << Narrow(actual.substr(at > 20 ? at - 20 : 0, 60)) << "\"";
    }
    std::wstring Temp() { return folder.File(L"KVLTEMP.txt"); }
    frmViewLogFile& Open() {
        auto& form = TheForm<frmViewLogFile>();
        form.Load();
        Pump();
        return form;
    }
    void ExpectOffer(MsgResult answer) {
        dialogs.ExpectQuestion(std::wstring(kv::kLogTruncationOffer), MsgButtons::YesNo, answer);
    }
    void ExpectConfirm(MsgResult answer) {
        dialogs.ExpectQuestion(std::wstring(kv::kLogTruncateConfirm), MsgButtons::YesNo, answer);
    }
};

TEST_F(LogViewer, ShowsEveryEntryDecodedInAFullWidthWindowWithItsMenu) {
    const std::wstring accented = kv::ComposeLogEntry(L"3/14/2024", L"J\u00F6rg", kv::kActionEncrypted,
                                                      L"C:\\R\u00E9sum\u00E9s\\\u4E2D\u6587.doc");
    WriteLog(Stored(1, 999) + kv::StoredLogLine(accented));  // 1000 entries: no offer
    frmViewLogFile& form = Open();
    EXPECT_TRUE(dialogs.Shown().empty());
    EXPECT_TRUE(Same(form.txtLog.Text(), Shown(1, 999) + accented + L"\r\n"));
    EXPECT_EQ(form.Caption(), L"Log File");
    EXPECT_TRUE(form.Visible());

    RECT outer{};
    ::GetWindowRect(form.hwnd(), &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right - outer.left, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(outer.bottom - outer.top, ::GetSystemMetrics(SM_CYSCREEN) - form.Px(200));

    const LONG_PTR style = ::GetWindowLongPtrW(form.txtLog.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_EQ(WindowClass(form.txtLog.hwnd()), kv::win::TextView::kClassName);  // read-only by design
    RECT box{};
    ::GetWindowRect(form.txtLog.hwnd(), &box);
    POINT corner{box.left, box.top};
    ::ScreenToClient(form.hwnd(), &corner);
    EXPECT_EQ(corner.x, 0);
    EXPECT_EQ(corner.y, 0);

    HMENU bar = ::GetMenu(form.hwnd());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(::GetMenuItemCount(bar), 1);
    auto caption = [](HMENU menu, int i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        return std::wstring(text);
    };
    EXPECT_EQ(caption(bar, 0), L"File");
    HMENU file = ::GetSubMenu(bar, 0);
    ASSERT_EQ(::GetMenuItemCount(file), 3);
    EXPECT_EQ(caption(file, 0), L"Print");
    EXPECT_EQ(caption(file, 1), L"Truncate Log File");
    EXPECT_EQ(caption(file, 2), L"Close");
    SaveScreenForReview(L"log_viewer");

    // The box follows the window: whole inside it, scroll bars and all, at every size,
    // leaving no more than a narrow strip of the window uncovered.
    auto expectFilled = [&](const char* when) {
        EXPECT_TRUE(LaidOutWhole(form.hwnd())) << when;
        RECT client{}, seen{};
        ::GetClientRect(form.hwnd(), &client);
        ::GetWindowRect(form.txtLog.hwnd(), &seen);
        ::MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&seen), 2);
        EXPECT_LE(client.right - seen.right, form.Px(300)) << when;
        EXPECT_LE(client.bottom - seen.bottom, form.Px(300)) << when;
    };
    expectFilled("as opened");
    ::SetWindowPos(form.hwnd(), nullptr, 0, 0, form.Px(9000), form.Px(6000), SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    expectFilled("made smaller");
    ::GetWindowRect(form.txtLog.hwnd(), &box);
    // Too small for the sums: the box stays as it was.
    ::SetWindowPos(form.hwnd(), nullptr, 0, 0, form.Px(3000), form.Px(700), SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    RECT after{};
    ::GetWindowRect(form.txtLog.hwnd(), &after);
    EXPECT_EQ(after.right - after.left, box.right - box.left);
    EXPECT_EQ(after.bottom - after.top, box.bottom - box.top);
}

TEST_F(LogViewer, MoreThanAThousandEntriesOfferTheTruncationAtOnce) {
    const std::string log = Stored(1, 1001);
    WriteLog(log);
    ExpectOffer(MsgResult::No);
    frmViewLogFile& declined = Open();
    EXPECT_TRUE(dialogs.AllConsumed());
    EXPECT_TRUE(Same(declined.txtLog.Text(), Shown(1, 1001)));
    EXPECT_TRUE(Same(LogOnDisk(), log));
    declined.Unload();

    // Yes truncates without asking again, then shows the shortened log.
    ExpectOffer(MsgResult::Yes);
    dialogs.ExpectMessage(std::wstring(kv::kTruncationComplete));
    frmViewLogFile& accepted = Open();
    EXPECT_TRUE(dialogs.AllConsumed());
    EXPECT_TRUE(Same(LogOnDisk(), Stored(702, 1001)));
    EXPECT_TRUE(Same(accepted.txtLog.Text(), Shown(702, 1001)));
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"KVL.txt"});
}

TEST_F(LogViewer, TruncationKeepsTheNewestThreeHundredLinesByteForByte) {
    // Stored lines are kept exactly, even one that was never encoded and one without its
    // line ending at the very end.
    const std::string log = Stored(1, 150) + "plain line, never encoded\r\n" + Stored(152, 300) + "\xC2\xC4\xC6";
    WriteLog(log);
    // A temporary file left behind by an earlier crash is simply overwritten.
    WriteBytes(Temp(), Bytes("stale"));
    frmViewLogFile& form = Open();

    ExpectConfirm(MsgResult::No);
    form.ClickMenu(L"mnuTruncate");
    EXPECT_TRUE(Same(LogOnDisk(), log));

    ExpectConfirm(MsgResult::Yes);
    dialogs.ExpectMessage(std::wstring(kv::kTruncationComplete));
    form.ClickMenu(L"mnuTruncate");
    EXPECT_TRUE(dialogs.AllConsumed());
    const std::string kept = Stored(2, 150) + "plain line, never encoded\r\n" + Stored(152, 300) + "\xC2\xC4\xC6\r\n";
    EXPECT_TRUE(Same(LogOnDisk(), kept));
    EXPECT_TRUE(Same(form.txtLog.Text(), kv::BuildLogView(kept).text));
    EXPECT_FALSE(Exists(Temp()));

    // Now exactly 300: nothing to do, nothing touched.
    ExpectConfirm(MsgResult::Yes);
    dialogs.ExpectMessage(L"Less than 300 entries.  No truncation was necessary.");
    form.ClickMenu(L"mnuTruncate");
    EXPECT_TRUE(Same(LogOnDisk(), kept));
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"KVL.txt"});
}

TEST_F(LogViewer, AMissingLogIsSaidInAMessageAndInTheBox) {
    dialogs.ExpectMessage(L"No Log File Found.");
    frmViewLogFile& form = Open();
    EXPECT_EQ(form.txtLog.Text(), L"No Log File Found.");

    form.txtLog.SetText(L"something else");
    ExpectConfirm(MsgResult::Yes);
    dialogs.ExpectMessage(L"No Log File Found.");
    form.ClickMenu(L"mnuTruncate");
    EXPECT_EQ(form.txtLog.Text(), L"No Log File Found.");
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

TEST_F(LogViewer, AnEmptyLogShowsAnEmptyBox) {
    WriteLog("");
    frmViewLogFile& form = Open();
    EXPECT_TRUE(dialogs.Shown().empty());
    EXPECT_EQ(form.txtLog.Text(), L"");
}

TEST_F(LogViewer, AFailedTruncationLeavesTheLogAsItWasAndSaysSo) {
    const std::string log = Stored(1, 400);
    WriteLog(log);
    frmViewLogFile& form = Open();

    // The log cannot be replaced: another program holds it open and does not share its
    // deletion. The temporary file is removed again.
    HANDLE holder = ::CreateFileW(G::LogFilePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ExpectConfirm(MsgResult::Yes);
    dialogs.ExpectMessageStartingWith(std::wstring(kv::kLogNotTruncated) + L"\r" + G::LogFilePath +
                                      L" could not be replaced: ");
    form.ClickMenu(L"mnuTruncate");
    ::CloseHandle(holder);
    EXPECT_TRUE(dialogs.AllConsumed());
    EXPECT_TRUE(Same(LogOnDisk(), log));
    EXPECT_FALSE(Exists(Temp()));
    EXPECT_TRUE(Same(form.txtLog.Text(), Shown(1, 400)));

    // The temporary file cannot be written (a folder stands in its place): nothing changes
    // and the folder, not ours, stays.
    ASSERT_TRUE(::CreateDirectoryW(Temp().c_str(), nullptr));
    ExpectConfirm(MsgResult::Yes);
    dialogs.ExpectMessageStartingWith(std::wstring(kv::kLogNotTruncated) + L"\r" + Temp() + L" could not be written: ");
    form.ClickMenu(L"mnuTruncate");
    EXPECT_TRUE(dialogs.AllConsumed());
    EXPECT_TRUE(Same(LogOnDisk(), log));
    ::RemoveDirectoryW(Temp().c_str());
}

class LogPrinting : public LogViewer {
protected:
    void SetUp() override {
        LogViewer::SetUp();
        printed = std::make_shared<kv::win::RecordingPrintDevice::Log>();
    }
    void TearDown() override {
        kv::win::SetPrintDeviceFactory({});
        LogViewer::TearDown();
    }
    void UseRecorder(int pageWidth, int pageHeight, std::wstring failAt = {}) {
        kv::win::SetPrintDeviceFactory([=, log = printed](std::wstring&) {
            return std::make_unique<kv::win::RecordingPrintDevice>(log, pageWidth, pageHeight, 1, failAt);
        });
    }
    std::shared_ptr<kv::win::RecordingPrintDevice::Log> printed;
};

TEST_F(LogPrinting, TwoBoldLinesInArialTwelveThenTwoBlanksThenTheLogInArialEight) {
    WriteLog(Stored(1, 3));
    frmViewLogFile& form = Open();
    UseRecorder(1000, 1000);
    const std::wstring before = kv::GeneralDateNow();
    dialogs.ExpectMessage(L"Log File Printed.");
    form.ClickMenu(L"mnuPrint");
    EXPECT_TRUE(dialogs.AllConsumed());

    const auto& lines = printed->lines;
    ASSERT_EQ(lines.size(), 7u);
    const kv::win::PrintFont header{.name = L"Arial", .points = 12, .bold = true};
    const kv::win::PrintFont body{.name = L"Arial", .points = 8};
    EXPECT_EQ(lines[0].text, L"Kor-Vane Log File");
    EXPECT_TRUE(lines[1].text == L"Printed: " + before || lines[1].text == L"Printed: " + kv::GeneralDateNow())
        << Narrow(lines[1].text);
    EXPECT_EQ(lines[2].text, L" ");
    EXPECT_EQ(lines[3].text, L" ");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(lines[4 + i].text, Entry(i + 1));
    int y = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].font, i < 2 ? header : body) << i;
        EXPECT_EQ(lines[i].page, 1);
        EXPECT_EQ(lines[i].y, y) << i;  // one under the other, each as high as its font
        y += i < 2 ? 12 : 8;
    }
    EXPECT_TRUE(printed->ended);
    EXPECT_EQ(printed->pagesStarted, 1);
    EXPECT_EQ(printed->pagesEnded, 1);
    EXPECT_EQ(printed->documentName, L"Kor-Vane Log File");
}

TEST_F(LogPrinting, ALongLogFlowsOntoFurtherPagesAndWideLinesWrap) {
    WriteLog(Stored(1, 40));
    frmViewLogFile& form = Open();
    // Pages 100 units high; 45 characters wide, so every entry takes two printed lines.
    UseRecorder(45, 100);
    dialogs.ExpectMessage(L"Log File Printed.");
    form.ClickMenu(L"mnuPrint");

    const auto& lines = printed->lines;
    ASSERT_GE(lines.size(), 4u + 80u);
    std::wstring body;
    int page = 1, lastY = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        EXPECT_LE(line.text.size(), 45u);
        EXPECT_LE(line.y + static_cast<int>(line.font.points), 100) << "runs past the bottom: " << i;
        if (line.page != page) {
            EXPECT_EQ(line.page, page + 1);
            EXPECT_EQ(line.y, 0);
            page = line.page;
        } else {
            EXPECT_GT(line.y, lastY);
        }
        lastY = line.y;
        if (i >= 4) {
            EXPECT_EQ(line.font.points, 8);  // the small type carries onto every page
            EXPECT_FALSE(line.font.bold);
            body += line.text;
        }
    }
    // The pieces give back the whole log; wide lines break after a blank.
    std::wstring expected;
    for (int n = 1; n <= 40; ++n) expected += Entry(n);
    EXPECT_EQ(body, expected);
    EXPECT_EQ(lines[4].text, L"3/14/2024 9:26:53 AM   Admin   ENCRYPTED ");
    // 24 units of heading, then 8 per line: 9 small lines (two blanks and seven of the log)
    // on page 1, 12 on each further one.
    EXPECT_EQ(lines[4 + 6].page, 1);
    EXPECT_EQ(lines[4 + 7].page, 2);
    EXPECT_EQ(page, 1 + (82 - 9 + 11) / 12);
    EXPECT_EQ(printed->pagesStarted, page);
    EXPECT_EQ(printed->pagesEnded, page);
    EXPECT_TRUE(printed->ended);
}

TEST_F(LogPrinting, NothingPrintedIsNeverReportedAsPrinted) {
    WriteLog(Stored(1, 2));
    frmViewLogFile& form = Open();

    kv::win::SetPrintDeviceFactory([](std::wstring& whyNot) -> std::unique_ptr<kv::win::PrintDevice> {
        whyNot = L"No printer is installed.";
        return nullptr;
    });
    dialogs.ExpectMessage(L"The log file could not be printed.\rNo printer is installed.");
    form.ClickMenu(L"mnuPrint");

    // A job that fails on its way to the printer is abandoned and reported.
    UseRecorder(1000, 1000, L"EndDocument");
    dialogs.ExpectMessage(L"The log file could not be printed.\rThe printer failed at EndDocument.");
    form.ClickMenu(L"mnuPrint");
    EXPECT_TRUE(printed->aborted);
    EXPECT_FALSE(printed->ended);
    EXPECT_TRUE(dialogs.AllConsumed());
}

TEST_F(LogPrinting, TheRealDefaultPrinterWithoutAPrinterInstalled) {
    DWORD size = 0;
    if (::GetDefaultPrinterW(nullptr, &size) || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        GTEST_SKIP() << "this machine has a default printer; a test must not print on it";
    WriteLog(Stored(1, 2));
    frmViewLogFile& form = Open();
    dialogs.ExpectMessage(L"The log file could not be printed.\rNo printer is installed.");
    form.ClickMenu(L"mnuPrint");
    EXPECT_TRUE(dialogs.AllConsumed());
}

TEST_F(LogViewer, ShowLogViewerIsModalOverTheCallerAndClosesFromItsMenu) {
    WriteLog(Stored(1, 5));
    auto& main = TheForm<kv::frmMain>();
    main.Show();
    Pump();
    bool checked = false;
    kv::win::SetModalHook([&](kv::win::Form& shown) {
        auto* viewer = LoadedForm<frmViewLogFile>();
        ASSERT_EQ(&shown, viewer);
        EXPECT_TRUE(viewer->Visible());
        EXPECT_FALSE(::IsWindowEnabled(main.hwnd()));
        EXPECT_TRUE(Same(viewer->txtLog.Text(), Shown(1, 5)));
        // File > Close through the real menu command.
        HMENU file = ::GetSubMenu(::GetMenu(viewer->hwnd()), 0);
        ::PostMessageW(viewer->hwnd(), WM_COMMAND, MAKEWPARAM(::GetMenuItemID(file, 2), 0), 0);
        checked = true;
    });
    kv::ShowLogViewer();
    kv::win::SetModalHook({});
    EXPECT_TRUE(checked);
    EXPECT_EQ(LoadedForm<frmViewLogFile>(), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(main.hwnd()));
}

// Not a speed test: it shows the whole of a large log and reports how long that took.
TEST_F(LogViewer, AHundredThousandEntriesAreAllShown) {
    const std::string log = Stored(1, 100000);
    WriteLog(log);
    using Clock = std::chrono::steady_clock;
    auto msSince = [](Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    };
    const auto decodeStart = Clock::now();
    const std::size_t decodedSize = kv::BuildLogView(LogOnDisk()).text.size();
    const double decodeMs = msSince(decodeStart);

    ExpectOffer(MsgResult::No);
    const auto start = Clock::now();
    auto& form = TheForm<frmViewLogFile>();
    form.Load();  // reads, decodes, fills the box, then asks
    std::printf("[   INFO   ] 100,000 entries (%zu bytes): read and decoded in %.0f ms; the whole LoadLog with the "
                "window, the text box and 28 message passes in %.0f ms\n",
                log.size(), decodeMs, msSince(start));
    EXPECT_EQ(::SendMessageW(form.txtLog.hwnd(), EM_GETLINECOUNT, 0, 0), 100001);  // the last CR LF ends a line
    EXPECT_EQ(form.txtLog.Text().size(), decodedSize);
}

}  // namespace
}  // namespace kvtest
