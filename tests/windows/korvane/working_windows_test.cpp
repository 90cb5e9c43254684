// The working windows: the regular main window and Easy-Drop, their menus by rights,
// Browse and Process, drops through the real drop target, and the saved Easy-Drop place.
#include "harness.h"
#include "layout_checks.h"

#include <algorithm>

#include "core/Globals.h"
#include "app/Pipeline.h"
#include "data_object.h"
#include "ui/easydrop_position.h"
#include "ui/frmEasyDrop.h"
#include "ui/frmMain.h"
#include "win/app.h"
#include "win/files.h"
#include "win/form.h"
#include "win/settings.h"

namespace kvtest {

namespace {

namespace G = kv::Globals;
using kv::frmEasyDrop;
using kv::frmMain;
using kv::win::LoadedForm;
using kv::win::TheForm;

class WorkingWindows : public KorvaneTest {
protected:
    void SetUp() override {
        KorvaneTest::SetUp();
        G::Users = {kv::DefaultAdministrator(), kv::NewUserRecord(L"Bob")};
        G::Users[0].AfterDecrypt = kv::kAfterDecryptNever;
        G::Users[1].AfterDecrypt = kv::kAfterDecryptNever;
        ClearPositions();
    }
    void TearDown() override {
        KorvaneTest::TearDown();
        ClearPositions();
    }
    static void ClearPositions() {
        for (const wchar_t* key : {L"Admin X", L"Admin Y", L"Bob X", L"Bob Y"})
            kv::win::DeleteSetting(L"Korvane", L"EasyDrop", key);
    }
    void LogInAs(int index) { G::CurrentUser = index; }
    frmMain& OpenMain() {
        auto& form = TheForm<frmMain>();
        form.Show();
        Pump();
        return form;
    }
    frmEasyDrop& OpenEasyDrop() {
        auto& form = TheForm<frmEasyDrop>();
        form.Show();
        Pump();
        return form;
    }
    std::wstring Document(const std::wstring& name, const std::string& content = "Hello") {
        const std::wstring path = folder.File(name);
        WriteBytes(path, std::vector<std::uint8_t>(content.begin(), content.end()));
        return path;
    }
};

TEST_F(WorkingWindows, MenusFollowTheAdministratorRight) {
    struct Row {
        int user;
        bool users, user_, log;
    } rows[] = {{0, true, false, true}, {1, false, true, false}};
    for (const Row& row : rows) {
        LogInAs(row.user);
        frmMain& main = OpenMain();
        EXPECT_EQ(main.MenuVisible(L"mnuUsers"), row.users);
        EXPECT_EQ(main.MenuVisible(L"mnuUser"), row.user_);
        EXPECT_EQ(main.MenuVisible(L"mnuViewLogFile"), row.log);
        EXPECT_TRUE(main.MenuVisible(L"mnuQuit"));
        EXPECT_TRUE(main.MenuVisible(L"mnuHelp"));
        EXPECT_TRUE(main.MenuVisible(L"mnuAbout"));
        main.Unload();

        frmEasyDrop& easy = OpenEasyDrop();
        EXPECT_EQ(easy.MenuVisible(L"mnuUsers"), row.users);
        EXPECT_EQ(easy.MenuVisible(L"mnuUser"), row.user_);
        EXPECT_EQ(easy.MenuVisible(L"mnuViewLogFile"), row.log);
        EXPECT_TRUE(easy.MenuVisible(L"mnuExitEasyDrop"));
        easy.Unload();
        Pump();
    }
}

TEST_F(WorkingWindows, MainWindowLayoutAndCaptions) {
    frmMain& main = OpenMain();
    EXPECT_EQ(main.Caption(), L"Korvane");
    // As designed, to the nearest pixel (at 144 dpi 5265 twips are 526.5 pixels).
    const int halfPixel = (main.Twips(1) + 1) / 2;
    EXPECT_NEAR(main.ClientWidth(), 5265, halfPixel);
    EXPECT_NEAR(main.ClientHeight(), 3480, halfPixel);
    EXPECT_EQ(main.cmdGo.Text(), L"Process");
    EXPECT_EQ(main.cmdEasyDrop.Text(), L"Switch to Easy-Drop mode");
    EXPECT_EQ(main.Picture1.BackColor(), RGB(128, 255, 128));
    // Every control whole in the window, none over another; the green drop area in the
    // Drag-N-Drop frame, to the right of the words that explain it.
    EXPECT_TRUE(LaidOutWhole(main.hwnd()));
    SaveScreenForReview(L"layout_main");
    RECT area{}, frame{}, words{};
    ::GetWindowRect(main.Picture1.hwnd(), &area);
    ::GetWindowRect(main.frameDrag.hwnd(), &frame);
    ::GetWindowRect(main.Label1.hwnd(), &words);
    EXPECT_TRUE(Contains(frame, area)) << RectText(area) << " outside " << RectText(frame);
    EXPECT_GE(area.left, words.right - 1);
}

TEST_F(WorkingWindows, BrowseSetsThePathAndTheButtonCaption) {
    frmMain& main = OpenMain();
    dialogs.ExpectOpenFile(L"C:\\Papers\\report.doclocked");
    Click(main.cmdBrowse.hwnd());
    EXPECT_EQ(main.txtFile.Text(), L"C:\\Papers\\report.doclocked");
    EXPECT_EQ(main.cmdGo.Text(), L"Decrypt");

    dialogs.ExpectOpenFile(L"C:\\Papers\\report.docLOCKED");  // not exactly "locked"
    Click(main.cmdBrowse.hwnd());
    EXPECT_EQ(main.cmdGo.Text(), L"Encrypt");

    dialogs.ExpectOpenFile(L"");  // cancelled: nothing changes
    Click(main.cmdBrowse.hwnd());
    EXPECT_EQ(main.txtFile.Text(), L"C:\\Papers\\report.docLOCKED");
    EXPECT_EQ(main.cmdGo.Text(), L"Encrypt");
}

TEST_F(WorkingWindows, ProcessTrimsTheTypedPathProcessesItAndEmptiesTheBox) {
    const std::wstring doc = Document(L"report.txt");
    frmMain& main = OpenMain();
    main.cmdGo.SetText(L"Decrypt");
    TypeText(main.txtFile.hwnd(), L"   " + doc + L"  ");
    dialogs.ExpectMessage(L"1 file encrypted.");
    Click(main.cmdGo.hwnd());
    EXPECT_TRUE(Exists(doc + L"locked"));
    EXPECT_FALSE(Exists(doc));
    EXPECT_EQ(main.txtFile.Text(), L"");
    EXPECT_EQ(main.cmdGo.Text(), L"Decrypt");  // processing leaves the caption alone
}

TEST_F(WorkingWindows, ProcessWithAnEmptyBoxAsksForAFileAndStopsWhenNoneIsChosen) {
    frmMain& main = OpenMain();
    TypeText(main.txtFile.hwnd(), L"    ");
    dialogs.ExpectMessage(L"Please Salect A File");
    dialogs.ExpectOpenFile(L"");
    Click(main.cmdGo.hwnd());
    EXPECT_EQ(main.txtFile.Text(), L"");
    EXPECT_FALSE(Exists(G::LogFilePath));

    // Choosing a file in that dialog processes it at once.
    const std::wstring doc = Document(L"picked.txt");
    dialogs.ExpectMessage(L"Please Salect A File");
    dialogs.ExpectOpenFile(doc);
    dialogs.ExpectMessage(L"1 file encrypted.");
    Click(main.cmdGo.hwnd());
    EXPECT_TRUE(Exists(doc + L"locked"));
}

TEST_F(WorkingWindows, ProcessWithAMissingFileSaysInvalidFileAndKeepsTheBox) {
    frmMain& main = OpenMain();
    const std::wstring missing = folder.File(L"gone.txt");
    TypeText(main.txtFile.hwnd(), missing);
    dialogs.ExpectMessage(L"Invalid File");
    Click(main.cmdGo.hwnd());
    EXPECT_EQ(main.txtFile.Text(), missing);
    EXPECT_EQ(dialogs.TitlesShown().back(), L"Korvane");
}

TEST(LongPaths, PathsPastTheOldLimitTakeTheLongForm) {
    const std::wstring tail(300, L'x');
    EXPECT_EQ(kv::win::LongPath(L"C:\\Docs\\a.txt"), L"C:\\Docs\\a.txt");  // short: as it is
    EXPECT_EQ(kv::win::LongPath(L"C:/Docs/" + tail), L"\\\\?\\C:\\Docs\\" + tail);
    EXPECT_EQ(kv::win::LongPath(L"\\\\server\\share\\" + tail), L"\\\\?\\UNC\\server\\share\\" + tail);
    EXPECT_EQ(kv::win::LongPath(L"\\\\?\\C:\\" + tail), L"\\\\?\\C:\\" + tail);  // already long
}

// The whole chain (the box, the existence test, the cipher's temporary file and replace)
// with a document whose path is longer than the old limit.
TEST_F(WorkingWindows, ADocumentDeeperThanTheOldPathLimitIsProcessed) {
    std::wstring deep = folder.Path();
    while (deep.size() < 300) {
        deep += L"\\a rather long folder name for testing";
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::wstring doc = deep + L"\\report.txt";
    WriteBytes(L"\\\\?\\" + doc, {'H', 'i'});
    frmMain& main = OpenMain();
    TypeText(main.txtFile.hwnd(), doc);
    dialogs.ExpectMessage(L"1 file encrypted.");
    Click(main.cmdGo.hwnd());
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + doc + L"locked"), (std::vector<std::uint8_t>{'I', 'j', 0, 0, 0}));
    EXPECT_FALSE(Exists(L"\\\\?\\" + doc));
    // Leave the tree removable by the fixture's plain clean-up.
    ::DeleteFileW((L"\\\\?\\" + doc + L"locked").c_str());
    for (std::wstring d = deep; d.size() > folder.Path().size(); d = d.substr(0, d.rfind(L'\\')))
        ::RemoveDirectoryW((L"\\\\?\\" + d).c_str());
}

TEST_F(WorkingWindows, DropsOnBothGreenAreasGoThroughTheRealDropTarget) {
    const std::wstring a = Document(L"a.txt"), b = Document(L"b.txt");
    frmMain& main = OpenMain();
    ASSERT_NE(main.DropTargetOfPicture1(), nullptr);
    IDataObject* files = MakeFileDrop({a, b});
    dialogs.ExpectMessage(L"2 files encrypted.");
    EXPECT_EQ(DropOn(main.DropTargetOfPicture1(), files), static_cast<DWORD>(DROPEFFECT_COPY));
    files->Release();
    // The drop returned before anything was done: the run starts from the message loop.
    EXPECT_TRUE(Exists(a) && Exists(b));
    EXPECT_FALSE(kv::Pipeline::RunInProgress());
    Pump();
    EXPECT_TRUE(Exists(a + L"locked") && Exists(b + L"locked"));

    IDataObject* text = MakeTextDrop(L"just some text");
    dialogs.ExpectMessage(L"Invalid File Type.");
    EXPECT_EQ(DropOn(main.DropTargetOfPicture1(), text), static_cast<DWORD>(DROPEFFECT_COPY));
    text->Release();
    Pump();
    main.Unload();

    frmEasyDrop& easy = OpenEasyDrop();
    ASSERT_NE(easy.DropTargetOfPicture1(), nullptr);
    IDataObject* back = MakeFileDrop({a + L"locked"});
    dialogs.ExpectMessage(L"1 file decrypted.");  // "Never": the summary only
    DropOn(easy.DropTargetOfPicture1(), back);
    back->Release();
    Pump();
    EXPECT_TRUE(Exists(a));
}

TEST_F(WorkingWindows, EasyDropIsASmallTopmostToolWindow) {
    frmEasyDrop& easy = OpenEasyDrop();
    EXPECT_EQ(easy.Caption(), L"Korvane");
    // The platform may widen a window past its smallest captioned width; never narrower.
    EXPECT_GE(easy.ClientWidth(), 1320);
    EXPECT_LE(easy.ClientWidth(), std::max(1320, easy.Twips(::GetSystemMetrics(SM_CXMINTRACK))));
    EXPECT_NEAR(easy.ClientHeight(), 1035, (easy.Twips(1) + 1) / 2);  // to the nearest pixel
    EXPECT_TRUE(::GetWindowLongPtrW(easy.hwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    ::SendMessageW(easy.hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    Pump();
    EXPECT_TRUE(::GetWindowLongPtrW(easy.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The green drop area reaches past the window's edges on purpose: it covers the whole
    // client area, so a drop anywhere in the window lands on it.
    RECT client{}, area{};
    ::GetClientRect(easy.hwnd(), &client);
    ::GetWindowRect(easy.Picture1.hwnd(), &area);
    ::MapWindowPoints(nullptr, easy.hwnd(), reinterpret_cast<POINT*>(&area), 2);
    EXPECT_TRUE(Contains(area, client)) << RectText(area) << " does not cover " << RectText(client);
    EXPECT_TRUE(LaidOutWhole(easy.hwnd(), {easy.Picture1.hwnd()}));
    SaveScreenForReview(L"layout_easydrop");
}

TEST_F(WorkingWindows, EasyDropRemembersEachUsersPlace) {
    frmEasyDrop& first = OpenEasyDrop();  // Admin, no keys yet
    EXPECT_NEAR(first.Left(), 100, 15);
    EXPECT_NEAR(first.Top(), 100, 15);
    first.Move(4000, 3000);
    const int savedX = first.Left(), savedY = first.Top();
    EXPECT_NEAR(savedX, 4000, 15);
    EXPECT_NEAR(savedY, 3000, 15);
    first.Unload();
    EXPECT_EQ(kv::win::GetSetting(L"Korvane", L"EasyDrop", L"Admin X", L""), std::to_wstring(savedX));
    EXPECT_EQ(kv::win::GetSetting(L"Korvane", L"EasyDrop", L"Admin Y", L""), std::to_wstring(savedY));

    frmEasyDrop& again = OpenEasyDrop();
    EXPECT_EQ(again.Left(), savedX);
    EXPECT_EQ(again.Top(), savedY);
    again.Unload();

    LogInAs(1);  // Bob has a place of his own
    frmEasyDrop& bob = OpenEasyDrop();
    EXPECT_NEAR(bob.Left(), 100, 15);
    bob.Unload();

    // Off the screen, or garbage: back at 100, 100.
    LogInAs(0);
    kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin X", L"999999");
    frmEasyDrop& offScreen = OpenEasyDrop();
    EXPECT_NEAR(offScreen.Left(), 100, 15);
    offScreen.Unload();
    kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin X", L"left");
    kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin Y", L"3000");
    frmEasyDrop& garbage = OpenEasyDrop();
    // A window that is not there reads 0 too: tell the two apart should this fail.
    ASSERT_TRUE(garbage.IsLoaded() && ::IsWindowVisible(garbage.hwnd()));
    EXPECT_NEAR(garbage.Top(), 100, 15);
}

// A place on a second monitor is kept while that monitor is there, and given up for
// 100, 100 when it is not. Which of the two is seen depends on the display the tests run
// on (the test display here has one monitor; the rule itself is tested natively with
// several); KV_EXPECT_MONITORS, when set, says how many the display must have.
TEST_F(WorkingWindows, EasyDropKeepsAPlaceOnASecondMonitorWhileItIsThere) {
    std::vector<RECT> others;
    ::EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM p) -> BOOL {
            MONITORINFO info{sizeof(info)};
            if (::GetMonitorInfoW(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY))
                reinterpret_cast<std::vector<RECT>*>(p)->push_back(info.rcMonitor);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&others));
    wchar_t wanted[8] = {};
    if (::GetEnvironmentVariableW(L"KV_EXPECT_MONITORS", wanted, 8))
        ASSERT_EQ(others.size() + 1, static_cast<size_t>(_wtoi(wanted)));

    frmEasyDrop& probe = OpenEasyDrop();
    const int px = probe.Twips(1);
    probe.Unload();
    if (others.empty()) {
        // Where a second monitor to the right would be: not there, so 100, 100.
        const int right = probe.Twips(::GetSystemMetrics(SM_CXSCREEN)) + 3000;
        kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin X", std::to_wstring(right));
        kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin Y", L"2000");
        frmEasyDrop& easy = OpenEasyDrop();
        EXPECT_NEAR(easy.Left(), 100, px);
        EXPECT_NEAR(easy.Top(), 100, px);
        return;
    }
    const RECT& second = others.front();
    const int x = probe.Twips(second.left + 40), y = probe.Twips(second.top + 40);
    kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin X", std::to_wstring(x));
    kv::win::SaveSetting(L"Korvane", L"EasyDrop", L"Admin Y", std::to_wstring(y));
    frmEasyDrop& easy = OpenEasyDrop();
    EXPECT_NEAR(easy.Left(), x, px);
    EXPECT_NEAR(easy.Top(), y, px);
    RECT r{};
    ::GetWindowRect(easy.hwnd(), &r);
    EXPECT_TRUE(::MonitorFromPoint(POINT{r.left, r.top}, MONITOR_DEFAULTTONULL) ==
                ::MonitorFromRect(&second, MONITOR_DEFAULTTONULL));
    // Saved again where it is, and found there once more.
    easy.Unload();
    frmEasyDrop& again = OpenEasyDrop();
    EXPECT_NEAR(again.Left(), x, px);
}

TEST_F(WorkingWindows, ClosingEasyDropBringsTheMainWindowBackUnlessTheUserStartsThere) {
    frmEasyDrop& easy = OpenEasyDrop();
    ::SendMessageW(easy.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    Pump();
    EXPECT_EQ(LoadedForm<frmEasyDrop>(), nullptr);
    ASSERT_NE(LoadedForm<frmMain>(), nullptr);
    LoadedForm<frmMain>()->Unload();
    Pump();
    EXPECT_EQ(lastFormUnloads, 1);

    G::Users[0].StartEasyDrop = true;
    frmEasyDrop& again = OpenEasyDrop();
    ::SendMessageW(again.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);  // the program ends
    EXPECT_EQ(lastFormUnloads, 2);
}

TEST_F(WorkingWindows, SwitchingModesBothWays) {
    G::Users[0].StartEasyDrop = true;  // "Exit Easy-Drop Mode" ignores the preference
    frmMain& main = OpenMain();
    Click(main.cmdEasyDrop.hwnd());
    EXPECT_EQ(LoadedForm<frmMain>(), nullptr);
    frmEasyDrop* easy = LoadedForm<frmEasyDrop>();
    ASSERT_NE(easy, nullptr);
    EXPECT_TRUE(easy->Visible());
    EXPECT_TRUE(easy->ClickMenu(L"mnuExitEasyDrop"));
    Pump();
    EXPECT_EQ(LoadedForm<frmEasyDrop>(), nullptr);
    ASSERT_NE(LoadedForm<frmMain>(), nullptr);
    EXPECT_EQ(lastFormUnloads, 0);

    EXPECT_TRUE(LoadedForm<frmMain>()->ClickMenu(L"mnuQuit"));
    Pump();
    EXPECT_EQ(lastFormUnloads, 1);
}

TEST_F(WorkingWindows, ClosingTheLastWindowDuringARunEndsTheProgramOnlyAfterTheRun) {
    frmMain& main = OpenMain();
    {
        const kv::win::ProgramHold run;
        main.Unload();
        Pump();
        EXPECT_EQ(kv::win::LoadedFormCount(), 0);
        EXPECT_EQ(lastFormUnloads, 0);  // the run is still under way
    }
    EXPECT_EQ(lastFormUnloads, 1);

    // A hold released while windows remain ends nothing.
    OpenMain();
    { const kv::win::ProgramHold run; }
    EXPECT_EQ(lastFormUnloads, 1);
}

}  // namespace
}  // namespace kvtest
