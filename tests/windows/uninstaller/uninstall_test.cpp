// KorvaneUninstaller in-process: the first instance relaunching, the copy waiting for the
// user, the removal of a real installation and each of the safety rules.
#include "fixture.h"

#include <algorithm>
#include <functional>

#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/form.h"
#include "win/text.h"

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

TEST_F(Uninstall, FirstInstanceCopiesItselfAndTheLogToTempStartsTheCopyAndEnds) {
    Install();
    StartProgram();
    EXPECT_EQ(Bytes(temp + L"\\KORVANE-InstallLog.txt"), Bytes(install + L"\\KORVANE-InstallLog.txt"));
    EXPECT_EQ(Bytes(temp + L"\\KorvaneUninstaller.exe"), "MZ program file");
    // The copy works in the temporary folder: a shortcut's working folder (the installation
    // folder) would otherwise be held open by it.
    ASSERT_EQ(copiesStarted.size(), 1u);
    EXPECT_EQ(copiesStarted[0].first, temp + L"\\KorvaneUninstaller.exe");
    EXPECT_EQ(copiesStarted[0].second, temp);
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
    EXPECT_EQ(copiesStarted[0].first, drive + L"\\KorvaneUninstaller.exe");
    EXPECT_TRUE(FileThere(drive + L"\\KORVANE-InstallLog.txt"));
    ::DeleteFileW((drive + L"\\KorvaneUninstaller.exe").c_str());
    ::DeleteFileW((drive + L"\\KORVANE-InstallLog.txt").c_str());
}

TEST_F(Uninstall, CopyRecognisesItselfWhateverTheCaseAndWaitsForTheUser) {
    Install();
    std::wstring upper = temp;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    MakeCopy(upper);
    ::SetCurrentDirectoryW(install.c_str());  // as a shortcut starts it
    StartProgram();
    wchar_t cwd[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_TRUE(SameName(cwd, temp)) << kv::win::ToAnsi(cwd);
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

// Folders and program files are the same whatever the case of their letters, in any script,
// as the file system takes them; no letter is ever expanded into two.
TEST(PathRules, NamesCompareAsTheFileSystemComparesThem) {
    const struct {
        std::wstring a, b;
        bool same;
    } cases[] = {
        {L"C:\\Users\\J\u00fcrgen\\Temp", L"c:\\USERS\\J\u00dcRGEN\\TEMP", true},
        {L"C:\\\u03a3\u03bf\u03c6\u03b9\u03b1", L"C:\\\u03c3\u039f\u03a6\u0399\u0391", true},
        {L"C:\\\u0416\u0451\u043b\u0442\u044b\u0439", L"C:\\\u0436\u0401\u041b\u0422\u042b\u0419", true},
        {L"C:\\Stra\u00dfe", L"C:\\STRASSE", false},
        {L"C:\\Temp", L"C:\\Tamp", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTempCopy(c.a, c.b), c.same) << kv::win::ToAnsi(c.a);
        EXPECT_EQ(kv::install::IsInside(c.a + L"\\KorvaneUninstaller.exe", c.b), c.same) << kv::win::ToAnsi(c.a);
        EXPECT_EQ(IsMovedFirstInstanceName(c.a + L"-12.EXE", c.b), c.same) << kv::win::ToAnsi(c.a);
    }
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
    // Before the closing message; the Start Menu folder, which held "Uninstall Korvane", after it.
    EXPECT_EQ(pauses[pauses.size() - 3], 1000);

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
    UninstallAnswering(L"Korvane was successfully uninstalled.");
    EXPECT_FALSE(FolderThere(install));
    EXPECT_TRUE(FileThere(desktop + L"\\Korvane.lnk"));  // not listed
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 10);  // ten rounds with nothing to do
}

TEST_F(Uninstall, ListedFoldersGoOnlyWhenEmptyThumbsDbNotCounting) {
    Install();
    WriteAll(startMenuFolder + L"\\Thumbs.db", "cache");
    const std::wstring own = root + L"\\Program Files\\Korvane Files";  // listed, holds the user's file
    MakeFolder(root + L"\\Program Files\\Korvane Files");
    WriteAll(root + L"\\Program Files\\Korvane Files\\letter.txt", "mine");
    const std::wstring nested = startMenuFolder + L"\\A\\B\\C";  // nested levels, one per round
    MakeFolder(nested);
    auto lines = StandardLogLines();
    lines.push_back(own);
    lines.push_back(startMenuFolder + L"\\A");
    lines.push_back(startMenuFolder + L"\\A\\B");
    lines.push_back(nested);
    WriteLog(lines);
    UninstallAnswering(L"Korvane was successfully uninstalled.");
    EXPECT_FALSE(FolderThere(startMenuFolder));
    EXPECT_TRUE(FileThere(root + L"\\Program Files\\Korvane Files\\letter.txt"));
}

TEST_F(Uninstall, TheLevelsSetupCreatedAboveTheFolderGoWithIt) {
    install = root + L"\\Quiet Apps\\Deeper\\Korvane";
    TheHost().programFolder = install;
    Install();
    auto lines = StandardLogLines();
    lines.insert(lines.end() - 1, {root + L"\\Quiet Apps", root + L"\\Quiet Apps\\Deeper", install});
    WriteLog(lines);
    UninstallAnswering(L"Korvane was successfully uninstalled.");
    EXPECT_FALSE(FolderThere(root + L"\\Quiet Apps"));
}

TEST_F(Uninstall, RefusedInstallationFoldersRemoveNothing) {
    struct Case {
        std::wstring header;
        std::wstring reason;
    };
    Install();
    std::vector<Case> cases = {
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
        {L"\\\\?\\" + desktop, L"it is not a full folder path"},
        {L"\\\\.\\" + desktop, L"it is not a full folder path"},
        {L"\\\\localhost\\C$\\NoSuchShare\\Korvane", L"its drive cannot be found"},
    };
    // The same protected folders by other names: another drive letter, a link.
    if (const std::wstring z = ThroughDriveZ(desktop); !z.empty()) {
        cases.push_back({z, L"it is a desktop folder"});
        cases.push_back({ThroughDriveZ(root + L"\\Users\\ann"), L"it is a user profile"});
        cases.push_back({ThroughDriveZ(root + L"\\Users"), L"it is the users folder"});
    }
    if (MakeLink(root + L"\\Apps", root + L"\\Users\\ann")) {
        cases.push_back({root + L"\\Apps", L"it is a user profile"});
        MakeFolder(root + L"\\Harmless");
        WriteAll(root + L"\\Harmless\\KORVANE-InstallLog.txt", "x");
        ASSERT_TRUE(MakeLink(root + L"\\Linked", root + L"\\Harmless"));
        cases.push_back({root + L"\\Linked", L"it is a link to another folder"});
    }
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
        EXPECT_TRUE(FolderThere(root + L"\\Users\\ann\\Documents"));
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
    const std::wstring documents = root + L"\\Users\\ann\\Documents";  // a folder line too
    lines.push_back(documents);
    WriteLog(lines);
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", MsgButtons::YesNo, MsgResult::Yes);
    const std::wstring why = L" (left in place: it is neither in the installation folder nor a shortcut on a desktop "
                             L"or in a Start Menu)";
    dialogs.ExpectMessage(L"Korvane was not completely uninstalled. These items remain:\r\r" + systemFile + why + L"\r" +
                          document + why + L"\r" + docLink + why + L"\r" + documents +
                          L" (left in place: it lies outside the installation)"
                          L"\r\rClose any program that uses them, then delete them yourself.");
    ClickContinue();
    for (const auto& f : {systemFile, document, docLink}) EXPECT_TRUE(FileThere(f)) << Narrow(f);
    EXPECT_FALSE(FolderThere(install));
    EXPECT_FALSE(FileThere(desktop + L"\\Korvane.lnk"));
    EXPECT_EQ(batchesStarted.size(), 1u);  // the self-deletion still runs
}

TEST_F(Uninstall, NothingIsDeletedThroughALink) {
    // Outside the installation: a folder of the user's and a document.
    const std::wstring outside = root + L"\\Users\\ann\\Documents\\Work";
    MakeFolder(outside + L"\\Deep");
    WriteAll(outside + L"\\report.doc", "mine");
    WriteAll(outside + L"\\Deep\\notes.txt", "mine");
    Install();
    if (!MakeLink(install + L"\\Data", outside) || !MakeLink(install + L"\\letter.doc", outside + L"\\report.doc"))
        GTEST_SKIP() << "links cannot be made here";
    // The log names a file below the linked folder, and the linked folder as a folder line.
    auto lines = StandardLogLines();
    lines.insert(lines.begin() + 1, install + L"\\Data\\report.doc");
    lines.push_back(install + L"\\Data\\Deep");
    WriteLog(lines);
    UninstallAnswering(L"Korvane was");
    EXPECT_TRUE(FileThere(outside + L"\\report.doc"));
    EXPECT_TRUE(FileThere(outside + L"\\Deep\\notes.txt"));
    EXPECT_FALSE(FileThere(install + L"\\Korvane.exe"));
    EXPECT_FALSE(FileThere(desktop + L"\\Korvane.lnk"));
    // A link is removed as a link where the system can; where it cannot (Wine deletes the
    // target through any link), it stays and is reported, and the installation with it.
    for (const auto& link : {install + L"\\Data", install + L"\\letter.doc"}) {
        if (::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const auto& remaining = Module().LastRemaining;
        EXPECT_TRUE(std::any_of(remaining.begin(), remaining.end(), [&](const Remaining& r) {
            return r.path == link && r.reason.find(L"outside the installation") != std::wstring::npos;
        })) << Narrow(link);
    }
}

TEST_F(Uninstall, AnotherInstallationsEntryIsLeftAlone) {
    struct Case {
        std::wstring location;  // the entry's InstallLocation
        bool removed;
    };
    std::vector<Case> cases = {
        {root + L"\\Apps\\Korvane", false},  // installed again elsewhere since
        {L"", false},
        {install, true},
        {install + L"\\", true},
    };
    if (const std::wstring z = ThroughDriveZ(install); !z.empty()) cases.push_back({z, true});
    for (const auto& c : cases) {
        ResetModule();
        kv::win::ResetAllForms();
        Install();
        HKEY key = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
        ::RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.location.c_str()),
                         static_cast<DWORD>((c.location.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        UninstallAnswering(L"Korvane was successfully uninstalled.");
        EXPECT_FALSE(FolderThere(install));
        EXPECT_EQ(EntryThere(), !c.removed) << Narrow(c.location);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kEntryKey);
    }
}

TEST_F(Uninstall, OnlyShortcutsLeadingIntoThisInstallationOrNowhereAreDeleted) {
    const std::wstring other = root + L"\\Apps\\Korvane";
    MakeFolder(other);
    WriteAll(other + L"\\Korvane.exe", "MZ another installation");
    struct Case {
        const char* what;
        std::function<void(const std::wstring& link)> make;
        bool deleted;
    };
    const Case cases[] = {
        {"into this installation", [&](const std::wstring& l) { MakeShortcut(l, install + L"\\Korvane.exe"); }, true},
        {"to a target gone", [&](const std::wstring& l) { MakeShortcut(l, root + L"\\Gone\\Korvane.exe"); }, true},
        {"into another installation", [&](const std::wstring& l) { MakeShortcut(l, other + L"\\Korvane.exe"); },
         false},
        {"a file that is no shortcut", [](const std::wstring& l) { WriteAll(l, "not a shell link"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetModule();
        kv::win::ResetAllForms();
        Install();
        for (const auto& link : {desktop + L"\\Korvane.lnk", startMenuFolder + L"\\Uninstall Korvane.lnk"}) {
            ::DeleteFileW(link.c_str());
            c.make(link);
        }
        UninstallAnswering(L"Korvane was successfully uninstalled.");
        EXPECT_FALSE(FolderThere(install));
        EXPECT_NE(FileThere(desktop + L"\\Korvane.lnk"), c.deleted);
        EXPECT_NE(FileThere(startMenuFolder + L"\\Uninstall Korvane.lnk"), c.deleted);
        EXPECT_FALSE(FileThere(startMenuFolder + L"\\Korvane.lnk"));
        ::DeleteFileW((desktop + L"\\Korvane.lnk").c_str());
        RemoveAll(startMenuFolder);
    }
}

TEST_F(Uninstall, ARemovalCutShortAnywhereIsFinishedByTheNextUninstall) {
    // Counts the moments of a whole removal (each deletion and each pause), then cuts one
    // removal short at each of them and uninstalls again: from the installation folder
    // while its uninstaller is there, else from the copy left in the temporary folder.
    struct Cut {};
    // Moments after the closing message do not count: the removal is over by then.
    int moments = 0, cutAt = 0;
    size_t shownAtStart = 0;
    bool cutting = false;
    auto tick = [&] {
        if (dialogs.Shown().size() != shownAtStart) return;
        if (moments++ == cutAt && cutting) throw Cut{};
    };
    TheHost().deleting = [&](const std::wstring&) { tick(); };
    TheHost().pause = [&](int ms) {
        pauses.push_back(ms);
        tick();
    };
    const std::wstring mine = root + L"\\Users\\ann\\Documents\\mine.txt";
    WriteAll(mine, "keep");
    auto uninstallAsCopy = [&](bool cut) {
        ResetModule();
        kv::win::ResetAllForms();
        TheHost().programFolder = temp;
        StartProgram();
        shownAtStart = dialogs.Shown().size();
        if (!cut) dialogs.ExpectMessageStartingWith(L"Korvane was successfully uninstalled.");
        try {
            RunUninstall();
        } catch (const Cut&) {
        }
    };
    Install();
    MakeCopy();
    uninstallAsCopy(false);
    const int total = moments;
    ASSERT_GT(total, 10);
    for (cutAt = 0; cutAt < total; ++cutAt) {
        SCOPED_TRACE("cut at moment " + std::to_string(cutAt));
        Install();
        MakeCopy();
        moments = 0;
        cutting = true;
        uninstallAsCopy(true);
        cutting = false;
        if (FileThere(install + L"\\KorvaneUninstaller.exe")) {
            ResetModule();
            kv::win::ResetAllForms();
            TheHost().programFolder = install;
            StartProgram();  // the first instance: copies itself and the log again
            EXPECT_EQ(copiesStarted.size(), 1u);
            copiesStarted.clear();
        }
        ASSERT_TRUE(FileThere(temp + L"\\KORVANE-InstallLog.txt"));
        uninstallAsCopy(false);
        EXPECT_FALSE(FolderThere(install));
        EXPECT_FALSE(FolderThere(startMenuFolder));
        EXPECT_FALSE(FileThere(desktop + L"\\Korvane.lnk"));
        EXPECT_FALSE(EntryThere());
        EXPECT_FALSE(FileThere(temp + L"\\KORVANE-InstallLog.txt"));
        EXPECT_TRUE(FileThere(mine));
        EXPECT_TRUE(Module().LastRemaining.empty());
    }
}

TEST_F(Uninstall, FolderLinesOutsideTheInstallationAreNotObeyed) {
    Install();
    // Empty folders a tampered log names: none of them belongs to the installation.
    const std::vector<std::wstring> strangers = {root + L"\\Users\\ann\\Documents\\Empty",
                                                 root + L"\\Users\\ann\\Korvane", programs + L"\\Other"};
    for (const auto& f : strangers) MakeFolder(f);
    auto lines = StandardLogLines();
    lines.insert(lines.end(), strangers.begin(), strangers.end());
    WriteLog(lines);
    UninstallAnswering(L"Korvane was successfully uninstalled.");
    for (const auto& f : strangers) EXPECT_TRUE(FolderThere(f)) << Narrow(f);
    EXPECT_FALSE(FolderThere(startMenuFolder));
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
    // What is needed to finish later stays: the log, the uninstaller, the entry and the
    // Start Menu's "Uninstall Korvane".
    EXPECT_TRUE(FileThere(startMenuFolder + L"\\Uninstall Korvane.lnk"));
    EXPECT_TRUE(FileThere(install + L"\\KORVANE-InstallLog.txt"));
    EXPECT_TRUE(FileThere(install + L"\\KorvaneUninstaller.exe"));
    EXPECT_TRUE(EntryThere());

    // Once the program is closed, uninstalling again finishes the job.
    ResetModule();
    kv::win::ResetAllForms();
    UninstallAnswering(L"Korvane was successfully uninstalled.");
    EXPECT_FALSE(FolderThere(install));
    EXPECT_FALSE(EntryThere());
    EXPECT_FALSE(FolderThere(startMenuFolder));
}

TEST_F(Uninstall, BatchFileInAnyTemporaryFolderDeletesTheCopyAndItself) {
    // The real batch file under the real command interpreter, in temporary folders of user
    // names with a blank, with characters cmd gives a meaning, and with an accent.
    Install();
    for (const std::wstring name : {L"Temp Folder", L"R&D (\u00e9t\u00e9) 100%!"}) {
        temp = root + L"\\" + name;
        MakeFolder(temp);
        MakeCopy();
        TheHost().startBatch = nullptr;
        Module().TempFolder = temp;
        DeleteSelf();
        EXPECT_NE(Bytes(BatchPath()).find("cd \""), std::string::npos) << Narrow(name);
        for (int i = 0; i < 100 && (FileThere(temp + L"\\KorvaneUninstaller.exe") || FileThere(BatchPath())); ++i)
            ::Sleep(100);
        EXPECT_FALSE(FileThere(temp + L"\\KorvaneUninstaller.exe")) << Narrow(name);
        EXPECT_FALSE(FileThere(BatchPath())) << Narrow(name);
        EXPECT_TRUE(FileThere(temp + L"\\KORVANE-InstallLog.txt"));  // the batch file deletes only the two
    }
}

TEST_F(Uninstall, HelpersIsFolderEmptyAndIsFormLoaded) {
    Module().Folders = Module().RealFolders = folders;
    // A "Thumbs.db" does not count in a folder of the installation, and is deleted there...
    const std::wstring f = startMenuFolder + L"\\Sub";
    EXPECT_FALSE(IsFolderEmpty(f));
    MakeFolder(f);
    WriteAll(f + L"\\Thumbs.db", "x");
    EXPECT_TRUE(IsFolderEmpty(f));
    EXPECT_FALSE(FileThere(f + L"\\Thumbs.db"));
    MakeFolder(f + L"\\sub");
    EXPECT_FALSE(IsFolderEmpty(f));
    // ...and is never deleted in a folder that is not the installation's.
    const std::wstring other = root + L"\\Users\\ann\\Documents";
    WriteAll(other + L"\\Thumbs.db", "x");
    EXPECT_FALSE(IsFolderEmpty(other));
    EXPECT_TRUE(FileThere(other + L"\\Thumbs.db"));
    EXPECT_FALSE(IsFormLoaded(L"frmMain"));
    Install();
    MakeCopy();
    StartProgram();
    EXPECT_TRUE(IsFormLoaded(L"FRMMAIN"));
    EXPECT_FALSE(IsFormLoaded(L"frmOther"));
}

TEST_F(Uninstall, QuietRunsShowNothingAndReportThroughTheExitCodeAndLog) {
    // A deployment tool runs the installed uninstaller with /quiet and a log: the first
    // instance starts the copy the same way and returns the copy's exit code.
    Install();
    const std::wstring log = root + L"\\uninstall.log";
    Module().switches = ParseSwitches({L"/quiet", L"/log=" + log});
    copyExitCode = 1603;
    EXPECT_EQ(RunQuiet(), 1603);
    ASSERT_EQ(copiesStarted.size(), 1u);
    // Its own program file, in use while it waits, is moved out of the installation for the
    // copy's batch file to delete.
    const std::wstring moved = temp + L"\\" + MovedFirstInstanceName(L"KorvaneUninstaller", ::GetCurrentProcessId());
    EXPECT_EQ(copyArguments, std::vector<std::wstring>{L"/quiet \"/log=" + log + L"\" \"/first=" + moved + L"\""});
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);

    // The copy: no question, no box, everything removed, the outcome in its exit code.
    struct Case {
        const char* what;
        std::function<void()> arrange;
        int exitCode;
        const wchar_t* logged;
    };
    HANDLE busy = INVALID_HANDLE_VALUE;
    const Case cases[] = {
        {"complete", [] {}, 0, L"Korvane was successfully uninstalled."},
        {"a file in use",
         [&] {
             busy = ::CreateFileW((install + L"\\Korvane.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
         },
         1603, L"Korvane was not completely uninstalled."},
        {"a refused folder", [&] { WriteLog({L"INSTALLPATH=" + desktop}); }, 1603, L"It will not be removed because"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetModule();
        Install();
        c.arrange();
        MakeCopy();
        ::DeleteFileW(log.c_str());
        Module().switches = ParseSwitches({L"/q", L"/log", log});
        EXPECT_EQ(RunQuiet(), c.exitCode);
        if (busy != INVALID_HANDLE_VALUE) ::CloseHandle(busy), busy = INVALID_HANDLE_VALUE;
        EXPECT_EQ(kv::win::LoadedFormCount(), 0);
        EXPECT_NE(ReadText(log).find(Narrow(c.logged)), std::string::npos) << ReadText(log);
        EXPECT_EQ(FolderThere(install), c.exitCode != 0);
    }
    EXPECT_TRUE(dialogs.Shown().empty());
}

TEST_F(Uninstall, TheWaitingQuietInstanceJudgesByWhatItFindsAndKeepsWhatFinishesTheJob) {
    // The copy stopped at several moments (under Wine a killed process ends with 0), or
    // ending with its own code; the waiting instance's code, and what stays for the same
    // command to finish the removal.
    const std::wstring log = root + L"\\uninstall.log";
    const std::wstring moved = temp + L"\\" + MovedFirstInstanceName(L"KorvaneUninstaller", ::GetCurrentProcessId());
    auto removeEntry = [&] { ::RegDeleteTreeW(HKEY_CURRENT_USER, kEntryKey); };
    auto emptyFolder = [&] {
        for (const wchar_t* name : {L"Korvane.exe", L"Beacon.ico", L"Skull.ico", L"KVL.txt", L"KORVANE-InstallLog.txt"})
            ::DeleteFileW((install + L"\\" + name).c_str());
        ::SetFileAttributesW((install + L"\\KVU.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((install + L"\\KVU.txt").c_str());
    };
    struct Case {
        const char* what;
        std::function<void()> copyDoes;
        DWORD copyCode;
        int exitCode;
    };
    const Case cases[] = {
        {"killed before it began", [] {}, 0, 1603},
        {"killed during the tree", [&] { ::DeleteFileW((install + L"\\Beacon.ico").c_str()); }, 0, 1603},
        {"killed after the entry, before the log", [&] { emptyFolder(); WriteAll(install + L"\\KORVANE-InstallLog.txt", "x"); removeEntry(); }, 0, 1603},
        {"killed after the log, before the folder", [&] { emptyFolder(); removeEntry(); }, 0, 0},
        {"incomplete, and said so", [] {}, 1603, 1603},
        {"complete", [&] { emptyFolder(); removeEntry(); ::RemoveDirectoryW(install.c_str()); }, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetModule();
        Install();
        // Left by earlier quiet runs whose copy was stopped: gone after this run.
        const std::wstring earlier = temp + L"\\KorvaneUninstaller-99999.exe";
        WriteAll(earlier, "MZ moved earlier");
        ::DeleteFileW(log.c_str());
        copyDoes = c.copyDoes;
        copyExitCode = c.copyCode;
        Module().switches = ParseSwitches({L"/quiet", L"/log=" + log});
        EXPECT_EQ(RunQuiet(), c.exitCode);
        EXPECT_FALSE(FileThere(earlier));
        const bool finished = c.exitCode == 0;
        EXPECT_EQ(FolderThere(install), !finished);
        if (finished) continue;  // the copy's batch file deletes the moved program file
        // The same command can run again: the uninstaller and its log in their folder, the entry.
        EXPECT_TRUE(FileThere(install + L"\\KorvaneUninstaller.exe"));
        EXPECT_TRUE(FileThere(install + L"\\KORVANE-InstallLog.txt"));
        EXPECT_FALSE(FileThere(moved));
        EXPECT_NE(ReadText(log).find("Run the same command again"), std::string::npos) << ReadText(log);
        removeEntry();
        RemoveAll(install);
    }
}

}  // namespace
}  // namespace kvtest
