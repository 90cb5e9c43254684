// KorvaneUninstaller in-process: the first instance relaunching, the copy waiting for the
// user, the removal of a real installation and each of the safety rules.
#include "fixture.h"

#include <algorithm>

#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {
namespace {

using namespace kv::uninstall;
using kv::win::LoadedForm;
using kv::win::MsgButtons;
using kv::win::MsgResult;

std::string Bytes(const std::wstring& path) {
    const auto b = ReadAll(path);
    return std::string(b.begin(), b.end());
}

std::string Batch(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const auto& l : lines) text += Narrow(l) + "\r\n";
    return text;
}

TEST_F(Uninstall, FirstInstanceCopiesItselfAndTheLogToTempStartsTheCopyAndEnds) {
    Install();
    StartProgram();
    EXPECT_EQ(Bytes(temp + L"\\KORVANE-InstallLog.txt"), Bytes(install + L"\\KORVANE-InstallLog.txt"));
    EXPECT_EQ(Bytes(temp + L"\\KorvaneUninstaller.exe"), "MZ program file");
    EXPECT_EQ(copiesStarted, std::vector<std::wstring>{temp + L"\\KorvaneUninstaller.exe"});
    EXPECT_EQ(pauses, (std::vector<int>{300, 1000}));
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(LoadedForm<frmMain>(), nullptr);
    EXPECT_TRUE(FileThere(install + L"\\Korvane.exe"));  // nothing removed by the first instance
    EXPECT_TRUE(EntryThere());
    EXPECT_TRUE(dialogs.Shown().empty());
}

TEST_F(Uninstall, CopyFailuresAreReportedAndNothingIsRemoved) {
    Install();
    ::DeleteFileW((install + L"\\KorvaneUninstaller.exe").c_str());
    dialogs.ExpectMessage(L"Unable to copy uninstaller to temp folder.\r" + temp + L"\\KorvaneUninstaller.exe");
    StartProgram();
    EXPECT_TRUE(copiesStarted.empty());
    EXPECT_TRUE(Module().Ended);
    EXPECT_TRUE(FileThere(install + L"\\Korvane.exe"));

    // The log cannot be copied: a folder of its name is in the way.
    Module() = {};
    pauses.clear();
    WriteAll(install + L"\\KorvaneUninstaller.exe", "MZ");
    ::DeleteFileW((temp + L"\\KORVANE-InstallLog.txt").c_str());
    MakeFolder(temp + L"\\KORVANE-InstallLog.txt");
    dialogs.ExpectMessage(L"Unable to copy log to temp folder.\r" + temp + L"\\KORVANE-InstallLog.txt");
    StartProgram();
    EXPECT_TRUE(copiesStarted.empty());
    EXPECT_EQ(pauses, std::vector<int>{300});
}

TEST_F(Uninstall, WithoutALogNothingHappens) {
    dialogs.ExpectMessage(L"No Install Log Found.\rExpected location: " + install +
                          L"\\KORVANE-InstallLog.txt\rThe uninstallation can not continue.");
    StartProgram();
    EXPECT_TRUE(Module().Ended);
    EXPECT_TRUE(copiesStarted.empty());
    EXPECT_FALSE(FileThere(temp + L"\\KorvaneUninstaller.exe"));
}

TEST_F(Uninstall, MissingTempFolderFallsBackToTheProgramsDrive) {
    Install();
    TheHost().tempPath = [this] { return root + L"\\NoSuchTemp\\"; };
    const std::wstring drive = install.substr(0, 2);
    StartProgram();
    EXPECT_EQ(Module().TempFolder, drive);
    ASSERT_EQ(copiesStarted.size(), 1u);
    EXPECT_EQ(copiesStarted[0], drive + L"\\KorvaneUninstaller.exe");
    EXPECT_TRUE(FileThere(drive + L"\\KORVANE-InstallLog.txt"));
    ::DeleteFileW((drive + L"\\KorvaneUninstaller.exe").c_str());
    ::DeleteFileW((drive + L"\\KORVANE-InstallLog.txt").c_str());
}

TEST_F(Uninstall, CopyRecognisesItselfWhateverTheCaseAndWaitsForTheUser) {
    Install();
    std::wstring upper = temp;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    MakeCopy(upper);
    StartProgram();
    auto* form = LoadedForm<frmMain>();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Caption(), L"Uninstall...");
    EXPECT_EQ(form->lblMessage.Text(), L"This process will uninstall Korvane...");
    EXPECT_TRUE(form->cmdContinue.Enabled());
    EXPECT_TRUE(form->cmdCancel.Visible());
    EXPECT_FALSE(form->lblWorking.Visible());
    EXPECT_FALSE(kv::win::BusyPointer());
    EXPECT_TRUE(copiesStarted.empty());
    EXPECT_FALSE(Module().Ended);
    // Placement: centred across, its top at a fifth of the screen's height.
    RECT r{};
    ::GetWindowRect(form->hwnd(), &r);
    const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(r.left + (r.right - r.left) / 2, sw / 2, 2);
    EXPECT_NEAR(r.top, sh / 5, 2);
}

TEST_F(Uninstall, ContinueDoesNothingWhileDisabled) {
    // A click sent to the button before the program knows it is the copy (as another
    // program can send one) must not start anything.
    Install();
    MakeCopy();
    StartProgram();
    auto* form = LoadedForm<frmMain>();
    ASSERT_NE(form, nullptr);
    form->cmdContinue.SetEnabled(false);
    form->cmdContinue_Click();
    EXPECT_TRUE(dialogs.Shown().empty());
    EXPECT_FALSE(Module().Ended);
    EXPECT_TRUE(FolderThere(install));
}

TEST_F(Uninstall, NoAndCancelLeaveEverything) {
    Install();
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::No);
    ClickContinue();
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(LoadedForm<frmMain>(), nullptr);

    Module() = {};
    StartProgram();
    auto* form = LoadedForm<frmMain>();
    ASSERT_NE(form, nullptr);
    ::SendMessageW(form->cmdCancel.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(LoadedForm<frmMain>(), nullptr);

    for (const auto& line : StandardLogLines())
        if (line.find(L"INSTALLPATH=") != 0) {
            EXPECT_TRUE(FileThere(line) || FolderThere(line)) << Narrow(line);
        }
    EXPECT_TRUE(FileThere(install + L"\\KORVANE-InstallLog.txt"));
    EXPECT_TRUE(FileThere(temp + L"\\KorvaneUninstaller.exe"));
    EXPECT_TRUE(FileThere(temp + L"\\KORVANE-InstallLog.txt"));
    EXPECT_TRUE(EntryThere());
    EXPECT_TRUE(batchesStarted.empty());
}

TEST_F(Uninstall, YesRemovesEverythingListedAndStartsTheBatchFile) {
    Install();
    WriteAll(desktop + L"\\report.doc", "mine");  // not listed: untouched
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
    dialogs.ExpectMessage(L"Korvane was successfully uninstalled.\r\rYou may need to restart your computer before all "
                          L"changes take effect.");
    ClickContinue();

    EXPECT_FALSE(FolderThere(install));  // with KVU.txt (read-only) and KVL.txt
    EXPECT_FALSE(FileThere(desktop + L"\\Korvane.lnk"));
    EXPECT_FALSE(FolderThere(startMenuFolder));
    EXPECT_FALSE(FileThere(temp + L"\\KORVANE-InstallLog.txt"));
    EXPECT_FALSE(EntryThere());
    EXPECT_TRUE(FileThere(desktop + L"\\report.doc"));
    EXPECT_TRUE(FolderThere(root + L"\\Program Files"));
    EXPECT_TRUE(FolderThere(commonPrograms));
    EXPECT_TRUE(Module().LastRemaining.empty());

    // The pauses as the removal paces itself, the batch file last.
    ASSERT_GE(pauses.size(), 15u);
    EXPECT_EQ(std::vector<int>(pauses.begin(), pauses.begin() + 2), (std::vector<int>{1000, 1000}));
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 10 + 1);  // ten rounds, one folder deletion
    EXPECT_EQ(pauses.back(), 200);
    EXPECT_EQ(pauses[pauses.size() - 2], 1000);

    EXPECT_EQ(Bytes(BatchPath()), "@Echo off\r\n:S\r\ncd " + Narrow(temp) + "\\\r\nDel KorvaneUninstaller.exe\r\nIf Exist " +
                                      Narrow(temp) + "\\KorvaneUninstaller.exe Goto S\r\ncd " + Narrow(temp) +
                                      "\\\r\nDel killmyself.bat\r\n");
    ASSERT_EQ(batchesStarted.size(), 1u);
    EXPECT_EQ(batchesStarted[0].first, BatchPath());
    EXPECT_EQ(batchesStarted[0].second, temp + L"\\");
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(LoadedForm<frmMain>(), nullptr);
    EXPECT_FALSE(kv::win::BusyPointer());
}

TEST_F(Uninstall, ALogWithOnlyTheHeaderRemovesTheFolder) {
    Install();
    WriteLog({L"INSTALLPATH=" + install});
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
    dialogs.ExpectMessageStartingWith(L"Korvane was successfully uninstalled.");
    ClickContinue();
    EXPECT_FALSE(FolderThere(install));
    EXPECT_TRUE(FileThere(desktop + L"\\Korvane.lnk"));  // not listed
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 10);  // ten rounds with nothing to do
}

TEST_F(Uninstall, ListedFoldersGoOnlyWhenEmptyThumbsDbNotCounting) {
    Install();
    WriteAll(startMenuFolder + L"\\Thumbs.db", "cache");
    const std::wstring own = root + L"\\Users\\ann\\Documents\\Korvane Files";  // listed, holds the user's file
    MakeFolder(own);
    WriteAll(own + L"\\letter.txt", "mine");
    const std::wstring nested = root + L"\\Apps\\A\\B\\C";  // nested levels Setup created
    MakeFolder(nested);
    auto lines = StandardLogLines();
    lines.push_back(own);
    lines.push_back(root + L"\\Apps");
    lines.push_back(root + L"\\Apps\\A");
    lines.push_back(root + L"\\Apps\\A\\B");
    lines.push_back(nested);
    WriteLog(lines);
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
    dialogs.ExpectMessageStartingWith(L"Korvane was successfully uninstalled.");
    ClickContinue();
    EXPECT_FALSE(FolderThere(startMenuFolder));
    EXPECT_FALSE(FolderThere(root + L"\\Apps"));  // one level per round
    EXPECT_TRUE(FileThere(own + L"\\letter.txt"));
}

TEST_F(Uninstall, RefusedInstallationFoldersRemoveNothing) {
    struct Case {
        std::wstring header;
        std::wstring reason;
    };
    Install();
    const std::vector<Case> cases = {
        {install.substr(0, 2) + L"\\", L"it is a whole drive"},
        {root + L"\\Users\\ann", L"it is a user profile"},
        {root + L"\\Users", L"it is the users folder"},
        {root + L"\\Program Files", L"it is a program files folder"},
        {root + L"\\Windows\\system32", L"it is the system folder"},
        {desktop, L"it is a desktop folder"},
        {temp, L"it is the temporary folder"},
        {root + L"\\Users\\ann\\Documents", L"it is a special folder of Windows"},
        {root + L"\\Program Files\\Korvane\\..\\..", L"it is not a full folder path"},
        {root + L"\\Elsewhere", L"it does not hold KORVANE-InstallLog.txt"},
    };
    MakeFolder(root + L"\\Elsewhere");
    WriteAll(root + L"\\Elsewhere\\keep.txt", "keep");
    for (const auto& c : cases) {
        auto lines = StandardLogLines();
        lines[0] = L"INSTALLPATH=" + c.header;
        WriteLog(lines);
        MakeCopy();
        Module() = {};
        StartProgram();
        std::wstring trimmed = c.header;
        dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
        dialogs.ExpectMessage(L"The install log names this installation folder:\r" + c.header +
                              L"\rIt will not be removed because " + c.reason + L".\r\rNothing was uninstalled.");
        ClickContinue();
        EXPECT_TRUE(Module().Ended);
        for (const auto& line : StandardLogLines())
            if (line.find(L"INSTALLPATH=") != 0) {
            EXPECT_TRUE(FileThere(line) || FolderThere(line)) << Narrow(line);
        }
        EXPECT_TRUE(FileThere(root + L"\\Elsewhere\\keep.txt"));
        EXPECT_TRUE(EntryThere());
        EXPECT_TRUE(batchesStarted.empty());
    }
}

TEST_F(Uninstall, ListedFilesOutsideTheInstallationAreLeftAndReported) {
    Install();
    const std::wstring systemFile = root + L"\\Windows\\system32\\kernel32.dll";
    const std::wstring document = desktop + L"\\report.doc";
    const std::wstring docLink = root + L"\\Users\\ann\\Documents\\Korvane.lnk";
    for (const auto& f : {systemFile, document, docLink}) WriteAll(f, "keep");
    auto lines = StandardLogLines();
    lines.insert(lines.begin() + 1, {systemFile, document, docLink, install + L"\\..\\Other.exe"});
    WriteLog(lines);
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
    const std::wstring why = L" (left in place: it is neither in the installation folder nor a shortcut on a desktop "
                             L"or in a Start Menu)";
    dialogs.ExpectMessage(L"Korvane was not completely uninstalled. These items remain:\r\r" + systemFile + why + L"\r" +
                          document + why + L"\r" + docLink + why +
                          L"\r\rClose any program that uses them, then delete them yourself.");
    ClickContinue();
    for (const auto& f : {systemFile, document, docLink}) EXPECT_TRUE(FileThere(f)) << Narrow(f);
    EXPECT_FALSE(FolderThere(install));
    EXPECT_FALSE(FileThere(desktop + L"\\Korvane.lnk"));
    EXPECT_EQ(batchesStarted.size(), 1u);  // the self-deletion still runs
}

TEST_F(Uninstall, AFileInUseIsReportedInsteadOfSuccess) {
    Install();
    MakeCopy();
    // Korvane.exe still running: its file is open without delete sharing.
    HANDLE busy = ::CreateFileW((install + L"\\Korvane.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
    dialogs.ExpectMessageStartingWith(L"Korvane was not completely uninstalled. These items remain:\r\r" + install +
                                      L"\\Korvane.exe (could not be deleted");
    ClickContinue();
    ::CloseHandle(busy);
    const auto& remaining = Module().LastRemaining;
    ASSERT_FALSE(remaining.empty());
    EXPECT_TRUE(std::any_of(remaining.begin(), remaining.end(), [&](const Remaining& r) { return r.path == install; }));
    EXPECT_FALSE(FileThere(install + L"\\Skull.ico"));
    EXPECT_FALSE(FileThere(desktop + L"\\Korvane.lnk"));
    EXPECT_EQ(batchesStarted.size(), 1u);
    EXPECT_FALSE(EntryThere());
}

TEST_F(Uninstall, BatchFileWithABlankInItsPathDeletesTheCopyAndItself) {
    // The real batch file under the real command interpreter, in a folder with a blank.
    temp = root + L"\\Temp Folder";
    MakeFolder(temp);
    Install();
    MakeCopy();
    TheHost().startBatch = nullptr;
    Module().TempFolder = temp;
    DeleteSelf();
    EXPECT_EQ(Bytes(BatchPath()),
              Batch(KillMyselfLines(temp, L"KorvaneUninstaller", temp)));
    EXPECT_NE(Bytes(BatchPath()).find("cd \"" + Narrow(temp) + "\\\"\r\n"), std::string::npos);
    for (int i = 0; i < 100 && (FileThere(temp + L"\\KorvaneUninstaller.exe") || FileThere(BatchPath())); ++i)
        ::Sleep(100);
    EXPECT_FALSE(FileThere(temp + L"\\KorvaneUninstaller.exe"));
    EXPECT_FALSE(FileThere(BatchPath()));
    EXPECT_TRUE(FileThere(temp + L"\\KORVANE-InstallLog.txt"));  // the batch file deletes only the two
}

TEST_F(Uninstall, HelpersIsFolderEmptyAndIsFormLoaded) {
    const std::wstring f = root + L"\\Empty";
    EXPECT_FALSE(IsFolderEmpty(f));
    MakeFolder(f);
    WriteAll(f + L"\\Thumbs.db", "x");
    EXPECT_TRUE(IsFolderEmpty(f));
    EXPECT_FALSE(FileThere(f + L"\\Thumbs.db"));
    MakeFolder(f + L"\\sub");
    EXPECT_FALSE(IsFolderEmpty(f));
    EXPECT_FALSE(IsFormLoaded(L"frmMain"));
    Install();
    MakeCopy();
    StartProgram();
    EXPECT_TRUE(IsFormLoaded(L"FRMMAIN"));
    EXPECT_FALSE(IsFormLoaded(L"frmOther"));
}

}  // namespace
}  // namespace kvtest
