// Setup's pages and its installation run, driven as a user drives them, in real folders.
#include <aclapi.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <thread>
#include <shlobj.h>
#include <shobjidl.h>

#include "fixture.h"
#include "setup/AppFunctions.h"
#include "setup/forms.h"
#include "setup/setup_rules.h"
#include "shared/install_log.h"
#include "win/app.h"
#include "win/form.h"

using namespace kv::setup;
using kv::win::LoadedForm;
using kv::win::TheForm;

namespace kvtest {
namespace {

bool Inside(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECT ScreenRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

RECT ClientScreenRect(HWND hwnd) {
    RECT r{};
    ::GetClientRect(hwnd, &r);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<std::wstring> LogLines(const std::wstring& installPath) {
    std::vector<std::wstring> lines;
    const std::string text = ReadAll(kv::install::InstallLogPath(installPath));
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the last line does not end in CR LF";
            break;
        }
        const std::string line = text.substr(start, end - start);
        lines.emplace_back(line.begin(), line.end());
        start = end + 2;
    }
    return lines;
}

}  // namespace

// ---- The licence page ------------------------------------------------------------

TEST_F(SetupTest, LicenceContinueAppearsOnlyWhileTheBoxIsTicked) {
    auto& licence = TheForm<frmLicense>();
    licence.Show();
    PumpMessages();
    EXPECT_EQ(licence.Caption(), L"End-User License");
    EXPECT_FALSE(licence.cmdContinue.Visible());
    // The agreement is ours, in sections separated by blank lines.
    const std::wstring text = licence.txtLicense.Text();
    EXPECT_EQ(text.rfind(L"KORVANE END-USER LICENSE AGREEMENT", 0), 0u);
    EXPECT_NE(text.find(L"\r\n\r\n"), std::wstring::npos);
    EXPECT_GT(text.size(), 2000u);
    licence.chkAccept.SetValue(1);
    EXPECT_TRUE(licence.cmdContinue.Visible());
    EXPECT_TRUE(licence.cmdContinue.HasFocus());
    licence.chkAccept.SetValue(0);
    EXPECT_FALSE(licence.cmdContinue.Visible());
    // Enter reaches the default button even when it is hidden: nothing happens.
    ::SendMessageW(licence.hwnd(), WM_COMMAND, MAKEWPARAM(licence.cmdContinue.Id(), BN_CLICKED),
                   reinterpret_cast<LPARAM>(licence.cmdContinue.hwnd()));
    PumpMessages();
    EXPECT_TRUE(licence.IsLoaded());
    EXPECT_EQ(LoadedForm<frmFirst>(), nullptr);
}

TEST_F(SetupTest, LicenceFillsTheScreenAndKeepsItsControlsInsideWhenResized) {
    auto& licence = TheForm<frmLicense>();
    licence.Show();
    PumpMessages();
    const RECT window = ScreenRect(licence.hwnd());
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, ::GetSystemMetrics(SM_CXSCREEN));
    licence.chkAccept.SetValue(1);
    for (SIZE size : {SIZE{1000, 700}, SIZE{800, 600}, SIZE{1200, 900}}) {
        ::SetWindowPos(licence.hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages();
        const RECT client = ClientScreenRect(licence.hwnd());
        // (lblTop is as wide as the window by its rule; its text ends well before.)
        for (auto* c : std::initializer_list<kv::win::Control*>{&licence.txtLicense, &licence.chkAccept,
                                                               &licence.cmdContinue, &licence.cmdCancel})
            EXPECT_TRUE(Inside(client, ScreenRect(c->hwnd()))) << size.cx << "x" << size.cy;
        const RECT text = ScreenRect(licence.txtLicense.hwnd());
        const RECT check = ScreenRect(licence.chkAccept.hwnd());
        const RECT go = ScreenRect(licence.cmdContinue.hwnd());
        const RECT cancel = ScreenRect(licence.cmdCancel.hwnd());
        const RECT left = ScreenRect(licence.lblCheckLeft.hwnd());
        EXPECT_GT(check.top, text.bottom);  // below the text
        EXPECT_GT(go.top, check.bottom);    // buttons below the box
        EXPECT_EQ(go.top, cancel.top);
        EXPECT_LT(cancel.right, go.left);   // Cancel left of Continue
        EXPECT_EQ(left.right, check.left);  // the empty label hugs the box's left
        // Anchored right: the right margins of the box and of Continue are equal.
        EXPECT_NEAR(client.right - check.right, client.right - go.right, 1);
    }
}

TEST_F(SetupTest, LicenceCancelEndsSetupAndContinueShowsTheWelcomePage) {
    auto& licence = TheForm<frmLicense>();
    licence.Show();
    ::SendMessageW(licence.cmdCancel.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_EQ(lastUnloads, 1);
    EXPECT_EQ(Module().ExitCode, kExitCancelled);

    StartAndAcceptLicence();
    EXPECT_EQ(LoadedForm<frmLicense>(), nullptr);
    auto* first = LoadedForm<frmFirst>();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Caption(), L"Oranvel Installer");
    EXPECT_EQ(first->lblMain.Text(), L"You are about to install Korvane");
    EXPECT_EQ(first->lblWizzard.Text(), L"This wizzard will guide you through the installation.");
    EXPECT_EQ(Module().SourceFolder, package + L"\\Support");
    EXPECT_EQ(Module().InstalledItems, std::vector<std::wstring>{L""});
}

// ---- The prerequisite phase --------------------------------------------------------

TEST_F(SetupTest, PrerequisitesPlaceAndRegisterOnlyMissingControls) {
    WriteAll(system + L"\\RICHTX32.ocx", "already there");
    StartAndAcceptLicence();
    ContinueWelcome();
    ASSERT_NE(LoadedForm<frmSecond>(), nullptr);
    EXPECT_EQ(ReadAll(system + L"\\MSINET.ocx"), "content of MSINET.ocx");
    EXPECT_EQ(ReadAll(system + L"\\RICHTX32.ocx"), "already there");
    EXPECT_FALSE(FileThere(system + L"\\scrrun.dll"));  // the runtime was usable
    EXPECT_EQ(registered, std::vector<std::wstring>{L"regsvr32 /s \"" + system + L"\\MSINET.ocx\""});
    EXPECT_FALSE(FileThere(package + L"\\testrights.txt"));
    EXPECT_TRUE(Module().InstalledItems == std::vector<std::wstring>{L""});  // nothing recorded
    // The options page takes the welcome page's place.
    EXPECT_EQ(LoadedForm<frmFirst>(), nullptr);
}

TEST_F(SetupTest, UnusableScriptingRuntimeIsRepairedOnceThenEndsSetup) {
    int attempts = 0;
    TheHost().createScriptingObject = [&] { return ++attempts > 1; };
    StartAndAcceptLicence();
    ContinueWelcome();
    EXPECT_EQ(ReadAll(system + L"\\scrrun.dll"), "content of scrrun.dll");
    ASSERT_GE(registered.size(), 1u);
    EXPECT_EQ(registered[0], L"regsvr32 /s \"" + system + L"\\scrrun.dll\"");
    ASSERT_NE(LoadedForm<frmSecond>(), nullptr);

    // A runtime file that is there but unregistered is registered, never replaced.
    kv::win::ResetAllForms();
    ResetModule();
    registered.clear();
    attempts = 0;
    WriteAll(system + L"\\scrrun.dll", "the system's own");
    StartAndAcceptLicence();
    ContinueWelcome();
    EXPECT_EQ(ReadAll(system + L"\\scrrun.dll"), "the system's own");
    EXPECT_EQ(registered.at(0), L"regsvr32 /s \"" + system + L"\\scrrun.dll\"");

    kv::win::ResetAllForms();
    ResetModule();
    registered.clear();
    attempts = 0;
    TheHost().createScriptingObject = [&] { return ++attempts > 99; };
    TheHost().runAndWait = [&](const std::wstring& line) {
        registered.push_back(line);
        return false;  // the registration could not be started: tried twice
    };
    dialogs.ExpectMessage(L"Unable to register required file.\r(" + system + L"\\scrrun.dll)");
    StartAndAcceptLicence();
    ContinueWelcome();
    EXPECT_EQ(registered.size(), 2u);
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(Module().ExitCode, kExitFailed);
    EXPECT_EQ(dialogs.TitlesShown(), std::vector<std::wstring>{L"Setup"});
}

TEST_F(SetupTest, ReadOnlyPackageFolderEndsSetupBeforeTheOptions) {
    // A file of the test's name that cannot be replaced stands for a write-protected medium.
    ::CreateDirectoryW((package + L"\\testrights.txt").c_str(), nullptr);
    dialogs.ExpectMessage(InstallRightsMessage());
    StartAndAcceptLicence();
    ContinueWelcome();
    EXPECT_EQ(LoadedForm<frmSecond>(), nullptr);
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(Module().ExitCode, kExitFailed);
}

// ---- The options page ----------------------------------------------------------------

TEST_F(SetupTest, OptionsDefaultFolderAndOptionsFollowTheFoldersThatExist) {
    RemoveAll(commonPrograms);
    RemoveAll(desktop);
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->txtInstallPath.Text(), programFiles + L"\\Korvane");
    EXPECT_FALSE(second->optStartAllUsers.Enabled());
    EXPECT_TRUE(second->optStartThisUser.Value());
    EXPECT_TRUE(second->optIconAllUsers.Enabled());
    EXPECT_TRUE(second->optIconAllUsers.Value());
    EXPECT_FALSE(second->optIconThisUser.Enabled());
    EXPECT_FALSE(second->optIconThisUser.Value());
    EXPECT_TRUE(second->optStartNone.Enabled());
    // The options of a frame exclude each other.
    second->optStartNone.SetValue(true);
    EXPECT_FALSE(second->optStartThisUser.Value());
}

TEST_F(SetupTest, OptionsWithNeitherFolderPreselectTheThirdOption) {
    RemoveAll(commonDesktop);
    RemoveAll(desktop);
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->optIconNone.Value());
    EXPECT_TRUE(second->optStartAllUsers.Value());
}

TEST_F(SetupTest, OptionsChangeRuleAsTheUserTypes) {
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    auto& box = second->txtInstallPath;
    box.SetText(L"");
    EXPECT_EQ(box.Text(), L"");
    box.SetText(L"D");
    EXPECT_EQ(box.Text(), L"D\\Korvane");
    box.SetText(L"C:\\Program Files\\Korvan");
    EXPECT_EQ(box.Text(), L"C:\\Program Files\\Korvan\\Korvane");
    box.SetText(L"C:\\Apps\\Korvane\\");
    EXPECT_EQ(box.Text(), L"C:\\Apps\\Korvane\\Korvane");
    // Typing goes on where it was, before the appended folder.
    box.SetText(L"");
    box.SetFocus();
    for (wchar_t c : std::wstring(L"E:")) {
        ::SendMessageW(box.hwnd(), WM_CHAR, c, 0);
        PumpMessages();
    }
    EXPECT_EQ(box.Text(), L"E:\\Korvane");
}

TEST_F(SetupTest, OptionsRefuseAnEmptyARelativeAndAnUncreatableFolder) {
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ::SetCurrentDirectoryW(root.c_str());

    second->txtInstallPath.SetText(L"");
    dialogs.ExpectMessage(L"Please select an Installation Folder");
    ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);

    // A relative folder would be created under the current folder: refused, nothing made.
    second->txtInstallPath.SetText(L"D");
    dialogs.ExpectMessage(L"The folder D\\Korvane could not be created.\rPlease select another folder");
    ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    EXPECT_FALSE(FolderThere(root + L"\\D"));

    // A drive that does not exist.
    std::wstring missing = L"Q:\\Korvane";
    for (wchar_t d = L'Q'; d <= L'Y'; ++d) {
        if (!(::GetLogicalDrives() & (1u << (d - L'A')))) {
            missing = std::wstring(1, d) + L":\\Korvane";
            break;
        }
    }
    second->txtInstallPath.SetText(missing);
    dialogs.ExpectMessage(L"The folder " + missing + L" could not be created.\rPlease select another folder");
    ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    ::SetCurrentDirectoryW(current);
    EXPECT_TRUE(second->IsLoaded());
    EXPECT_TRUE(second->Visible());
    EXPECT_EQ(LoadedForm<frmThird>(), nullptr);
    EXPECT_EQ(Module().InstalledItems, std::vector<std::wstring>{L""});
}

TEST_F(SetupTest, OptionsTakeTheFullFormAndRefuseWhatTheUninstallerWouldNotTakeBack) {
    MakeFolder(root + L"\\Long Folder Name");
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    // Refused with the folder as typed; the page stays and nothing is created.
    for (const std::wstring& typed : {root + L"\\My Apps \\Korvane", root + L"\\Apps.\\Korvane",
                                      L"\\\\?\\" + root + L"\\Korvane", L"\\\\.\\" + root + L"\\Korvane"}) {
        second->txtInstallPath.SetText(typed);
        dialogs.ExpectMessage(UnusableFolderMessage(typed));
        ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
        PumpMessages();
        EXPECT_TRUE(second->Visible()) << Narrow(typed);
    }
    // Refused as the uninstaller would refuse it, or as too long for it to start from.
    const std::pair<std::wstring, std::wstring> guarded[] = {
        {UsersFolder(), GuardedFolderMessage(UsersFolder() + L"\\Korvane", L"it is a user profile")},
        {TooLong(root), FolderTooLongMessage(TooLong(root))},
    };
    for (const auto& [typed, message] : guarded) {
        second->txtInstallPath.SetText(typed);
        dialogs.ExpectMessage(message);
        ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
        PumpMessages();
        EXPECT_TRUE(second->Visible()) << Narrow(typed);
    }
    EXPECT_FALSE(FolderThere(UsersFolder() + L"\\Korvane"));
    EXPECT_FALSE(FolderThere(TooLong(root).substr(0, TooLong(root).rfind(L'\\'))));
    EXPECT_EQ(LoadedForm<frmThird>(), nullptr);
    EXPECT_EQ(Module().InstalledItems, std::vector<std::wstring>{L""});
    for (const wchar_t* made : {L"\\My Apps ", L"\\My Apps", L"\\Apps.", L"\\Apps", L"\\Korvane"})
        EXPECT_FALSE(FolderThere(root + made)) << Narrow(made);

    // ".." is resolved before anything is made: the folder, the log and the entry name the
    // folder that was made.
    const std::wstring target = root + L"\\Korvane";
    second->txtInstallPath.SetText(root + L"\\Apps\\..\\Korvane");
    ContinueOptions();
    EXPECT_FALSE(FolderThere(root + L"\\Apps"));
    const auto lines = LogLines(target);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"INSTALLPATH=" + target);
    EXPECT_NE(std::find(lines.begin(), lines.end(), target), lines.end());  // the folder created
    for (const auto& line : lines) EXPECT_EQ(line.find(L".."), std::wstring::npos) << Narrow(line);
    EXPECT_EQ(started, std::vector<std::wstring>{target + L"\\Korvane.exe"});

    // A short (8.3) name is taken in its long form.
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(::GetShortPathNameW((root + L"\\Long Folder Name").c_str(), shortName, MAX_PATH), 0u);
    EXPECT_NE(std::wstring(shortName), root + L"\\Long Folder Name");
    kv::win::ResetAllForms();
    ResetModule();
    InstallInto(std::wstring(shortName) + L"\\Korvane");
    EXPECT_EQ(Module().InstallPath, root + L"\\Long Folder Name\\Korvane");
    EXPECT_EQ(LogLines(root + L"\\Long Folder Name\\Korvane").at(0), L"INSTALLPATH=" + root + L"\\Long Folder Name\\Korvane");
}

TEST_F(SetupTest, OptionsAskBeforeInstallingIntoAFolderThatHoldsOtherFiles) {
    const std::wstring target = root + L"\\Work\\Korvane";
    MakeFolder(target);
    WriteAll(target + L"\\report.doc", "mine");
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    second->txtInstallPath.SetText(target);
    dialogs.ExpectQuestion(OccupiedFolderQuestion(target), kv::win::MsgButtons::YesNo, kv::win::MsgResult::No);
    ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_TRUE(second->Visible());
    EXPECT_EQ(LoadedForm<frmThird>(), nullptr);
    EXPECT_FALSE(FileThere(target + L"\\Korvane.exe"));

    dialogs.ExpectQuestion(OccupiedFolderQuestion(target), kv::win::MsgButtons::YesNo, kv::win::MsgResult::Yes);
    ContinueOptions();
    EXPECT_TRUE(FileThere(target + L"\\Korvane.exe"));
    EXPECT_EQ(ReadAll(target + L"\\report.doc"), "mine");

    // An earlier installation of Korvane (its log is there) is installed over without a question.
    kv::win::ResetAllForms();
    ResetModule();
    InstallInto(target);
    EXPECT_EQ(dialogs.Shown().size(), 2u);
    EXPECT_EQ(started.size(), 2u);
}

// ---- The installation run -------------------------------------------------------------

TEST_F(SetupTest, CompleteRunInstallsRecordsEverythingAndStartsTheProgram) {
    const std::wstring target = programFiles + L"\\Korvane";
    std::vector<int> bar;
    int modalInterval = 0;
    kv::win::SetModalHook([&](kv::win::Form& form) {
        if (auto* done = dynamic_cast<frmMessage*>(&form)) {
            modalInterval = done->Timer1.Interval();
            EXPECT_TRUE(done->Timer1.Enabled());
            EXPECT_EQ(done->Caption(), L"Complete...");
            EXPECT_EQ(done->Label1.Text(), L"Installation Complete");
            done->Timer1.SetInterval(10);
        }
    });
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    // Start Menu for all users, desktop for this user.
    second->optIconThisUser.SetValue(true);
    TheForm<frmThird>().BarMoved = [&](int v) { bar.push_back(v); };
    ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    kv::win::SetModalHook(nullptr);
    PumpMessages();

    EXPECT_EQ(bar, (std::vector<int>{10, 15, 30, 50, 75, 85, 87, 89, 91, 93, 95, 97, 99, 101, 100}));
    EXPECT_EQ(pauses, (std::vector<int>{600, 600, 600, 600, 600, 600, 200, 200, 200, 200, 200, 200, 200, 200}));
    EXPECT_EQ(modalInterval, 2000);
    EXPECT_EQ(beeps, 1);
    for (const wchar_t* name : {L"Korvane.exe", L"KorvaneUninstaller.exe", L"Beacon.ico", L"Skull.ico"})
        EXPECT_EQ(ReadAll(target + L"\\" + name), "content of " + Narrow(name));
    EXPECT_EQ(ReadAll(system + L"\\COMDLG32.OCX"), "content of COMDLG32.OCX");
    const std::wstring menu = commonPrograms + L"\\Korvane";
    EXPECT_EQ(LogLines(target),
              (std::vector<std::wstring>{L"INSTALLPATH=" + target, target + L"\\Korvane.exe", target + L"\\Beacon.ico",
                                         target + L"\\KorvaneUninstaller.exe", target + L"\\Skull.ico",
                                         menu + L"\\Korvane.lnk", menu + L"\\Uninstall Korvane.lnk",
                                         desktop + L"\\Korvane.lnk", target, menu}));
    EXPECT_EQ(started, std::vector<std::wstring>{target + L"\\Korvane.exe"});
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_TRUE(Module().Ended);
    EXPECT_EQ(Module().ExitCode, kExitSuccess);
    EXPECT_FALSE(kv::win::BusyPointer());
    // Every component registered by its quoted path.
    EXPECT_EQ(registered.back(), L"regsvr32 /s \"" + system + L"\\COMDLG32.OCX\"");
}

TEST_F(SetupTest, ShortcutsCarryTheirProperties) {
    InstallInto();
    const std::wstring target = programFiles + L"\\Korvane";
    struct Expect {
        std::wstring link, exe, icon, description;
    };
    const std::wstring menu = commonPrograms + L"\\Korvane";
    for (const Expect& e : {Expect{menu + L"\\Korvane.lnk", L"Korvane.exe", L"Beacon.ico", L"Korvane"},
                            Expect{menu + L"\\Uninstall Korvane.lnk", L"KorvaneUninstaller.exe", L"Skull.ico",
                                   L"Uninstaller"},
                            Expect{commonDesktop + L"\\Korvane.lnk", L"Korvane.exe", L"Beacon.ico", L"Korvane"}}) {
        IShellLinkW* link = nullptr;
        ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                                    reinterpret_cast<void**>(&link)));
        IPersistFile* file = nullptr;
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        ASSERT_HRESULT_SUCCEEDED(file->Load(e.link.c_str(), STGM_READ)) << Narrow(e.link);
        wchar_t text[MAX_PATH * 2] = {};
        int index = -1, show = 0;
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        EXPECT_EQ(std::wstring(text), target + L"\\" + e.exe);
        link->GetDescription(text, MAX_PATH);
        EXPECT_EQ(std::wstring(text), e.description);
        link->GetIconLocation(text, MAX_PATH, &index);
        EXPECT_EQ(std::wstring(text), target + L"\\" + e.icon);
        EXPECT_EQ(index, 0);
        link->GetWorkingDirectory(text, MAX_PATH);
        EXPECT_EQ(std::wstring(text), target);
        link->GetShowCmd(&show);
        EXPECT_EQ(show, SW_SHOWNORMAL);
        file->Release();
        link->Release();
    }
}

TEST_F(SetupTest, NoShortcutsMissingSupportFileAndExistingFolders) {
    const std::wstring target = programFiles + L"\\Korvane";
    MakeFolder(target);  // already there: not recorded
    ::DeleteFileW((support + L"\\Skull.ico").c_str());
    WriteAll(system + L"\\COMDLG32.OCX", "real one");
    dialogs.ExpectMessage(IncompleteInstallationMessage({target + L"\\Skull.ico"}));
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    second->optStartNone.SetValue(true);
    second->optIconNone.SetValue(true);
    ContinueOptions();
    EXPECT_EQ(LogLines(target),
              (std::vector<std::wstring>{L"INSTALLPATH=" + target, target + L"\\Korvane.exe", target + L"\\Beacon.ico",
                                         target + L"\\KorvaneUninstaller.exe", target + L"\\Skull.ico"}));
    EXPECT_FALSE(FileThere(target + L"\\Skull.ico"));
    EXPECT_FALSE(FolderThere(commonPrograms + L"\\Korvane"));
    EXPECT_EQ(ReadAll(system + L"\\COMDLG32.OCX"), "real one");
    EXPECT_TRUE(registered.empty() || registered.back().find(L"COMDLG32") == std::wstring::npos);
}

TEST_F(SetupTest, WhatCouldNotBeInstalledIsNamedAndNoMissingProgramIsStarted) {
    const std::wstring target = programFiles + L"\\Korvane";
    struct Case {
        const char* what;
        std::function<void()> breakIt;
        std::vector<std::wstring> notInstalled;
        bool startsKorvane;
        bool asksAboutOtherFiles = false;
    };
    HANDLE held = INVALID_HANDLE_VALUE;
    const Case cases[] = {
        {"program missing from Support", [&] { ::DeleteFileW((support + L"\\Korvane.exe").c_str()); },
         {target + L"\\Korvane.exe"}, false},
        {"icon of an earlier installation in use", [&] {
             WriteAll(target + L"\\KORVANE-InstallLog.txt", "INSTALLPATH=" + Narrow(target) + "\r\n");
             WriteAll(target + L"\\Skull.ico", "old");
             held = ::CreateFileW((target + L"\\Skull.ico").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         },
         {target + L"\\Skull.ico"}, true},
        {"install log cannot be written", [&] { MakeFolder(target + L"\\KORVANE-InstallLog.txt"); },
         {target + L"\\KORVANE-InstallLog.txt"}, true, true},
        {"entry cannot be written", [&] { TheHost().entryRoot = nullptr; },
         {L"the entry of Korvane among the installed programs"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        kv::win::ResetAllForms();
        ResetModule();
        RemoveAll(target);
        MakeFolder(target);
        for (const wchar_t* name : {L"Korvane.exe", L"KorvaneUninstaller.exe", L"Beacon.ico", L"Skull.ico"})
            WriteAll(support + L"\\" + name, "content of " + Narrow(name));
        TheHost().entryRoot = HKEY_CURRENT_USER;
        started.clear();
        c.breakIt();
        if (c.asksAboutOtherFiles)
            dialogs.ExpectQuestion(OccupiedFolderQuestion(target), kv::win::MsgButtons::YesNo, kv::win::MsgResult::Yes);
        dialogs.ExpectMessage(IncompleteInstallationMessage(c.notInstalled));
        StartAndAcceptLicence();
        ContinueWelcome();
        std::wstring completion;
        kv::win::SetModalHook([&](kv::win::Form& form) {
            if (auto* done = dynamic_cast<frmMessage*>(&form)) {
                completion = done->Label1.Text();
                done->Timer1.SetInterval(10);
            }
        });
        ::SendMessageW(TheForm<frmSecond>().cmdContinue.hwnd(), BM_CLICK, 0, 0);
        kv::win::SetModalHook(nullptr);
        PumpMessages();
        if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        EXPECT_EQ(completion, L"Installation Incomplete");
        EXPECT_EQ(Module().ExitCode, kExitFailed);
        EXPECT_EQ(started.size(), c.startsKorvane ? 1u : 0u);
        // Still recorded, so that the uninstaller removes what an earlier run left.
        EXPECT_NE(std::find(Module().InstalledItems.begin(), Module().InstalledItems.end(), target + L"\\Skull.ico"),
                  Module().InstalledItems.end());
    }
}

TEST_F(SetupTest, ExistingStartMenuFolderIsUsedNotRecordedAndNestedFoldersAreRecordedLevelByLevel) {
    MakeFolder(commonPrograms + L"\\Korvane");
    const std::wstring target = root + L"\\Apps\\Korvane\\Korvane";  // typed a "\" after ...\Korvane
    InstallInto(root + L"\\Apps\\Korvane\\");
    const auto lines = LogLines(target);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"INSTALLPATH=" + target);
    // The folders: each level created, in order; not the Start Menu folder that existed.
    EXPECT_EQ(std::vector<std::wstring>(lines.end() - 3, lines.end()),
              (std::vector<std::wstring>{root + L"\\Apps", root + L"\\Apps\\Korvane", target}));
    EXPECT_TRUE(FileThere(commonPrograms + L"\\Korvane\\Korvane.lnk"));
}

TEST_F(SetupTest, SecondRunReplacesTheLogAndTheEntryIsWritten) {
    const std::wstring target = programFiles + L"\\Korvane";
    InstallInto();
    const auto first = LogLines(target);
    kv::win::ResetAllForms();
    ResetModule();
    InstallInto();
    // The folders existed the second time; what the first log listed of them stays listed,
    // so that one uninstall takes everything.
    EXPECT_EQ(LogLines(target), first);

    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    auto text = [&](const wchar_t* name) {
        wchar_t value[1024] = {};
        DWORD size = sizeof value, type = 0;
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << Narrow(name);
        return std::wstring(value);
    };
    auto number = [&](const wchar_t* name) {
        DWORD value = 0, size = sizeof value, type = 0;
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << Narrow(name);
        return value;
    };
    EXPECT_EQ(text(L"DisplayName"), L"Korvane");
    EXPECT_EQ(text(L"Publisher"), L"Oranvel Software");
    EXPECT_EQ(text(L"InstallLocation"), target);
    EXPECT_EQ(text(L"UninstallString"), L"\"" + target + L"\\KorvaneUninstaller.exe\"");
    EXPECT_EQ(text(L"QuietUninstallString"), L"\"" + target + L"\\KorvaneUninstaller.exe\" /quiet");
    EXPECT_EQ(text(L"DisplayIcon"), target + L"\\Korvane.exe");
    EXPECT_FALSE(text(L"DisplayVersion").empty());
    EXPECT_EQ(number(L"NoModify"), 1u);
    EXPECT_EQ(number(L"NoRepair"), 1u);
    EXPECT_EQ(number(L"EstimatedSize"), 1u);  // four tiny files round up to one KB
    ::RegCloseKey(key);
}

// What an access list grants the local Users group: to the object itself, and to files
// created in it later.
struct UsersGrant {
    DWORD own = 0, forNewFiles = 0;
    int others = 0;  // entries for anyone else
};

UsersGrant UsersRights(PACL dacl) {
    UsersGrant g;
    BYTE usersSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof usersSid;
    ::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid, &sidSize);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        ::GetAce(dacl, i, reinterpret_cast<void**>(&header));
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if (!::EqualSid(&ace->SidStart, usersSid)) {
            ++g.others;
            continue;
        }
        if (!(header->AceFlags & INHERIT_ONLY_ACE)) g.own |= ace->Mask;
        if (header->AceFlags & OBJECT_INHERIT_ACE) g.forNewFiles |= ace->Mask;
    }
    return g;
}

TEST_F(SetupTest, UsersMayCreateDataFilesButNotChangeTheProgramFiles) {
    // The lists as Setup builds them: the folder's adds two grants to what it had.
    PACL start = nullptr;
    ::SetEntriesInAclW(0, nullptr, nullptr, &start);
    PACL folderAcl = DataAccessAcl(start);
    ASSERT_NE(folderAcl, nullptr);
    UsersGrant folder = UsersRights(folderAcl);
    EXPECT_TRUE(folder.own & FILE_ADD_FILE);
    EXPECT_FALSE(folder.own & (FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | WRITE_DAC));
    const DWORD modify = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE;
    EXPECT_EQ(folder.forNewFiles & modify, modify);
    EXPECT_FALSE(folder.forNewFiles & (WRITE_DAC | WRITE_OWNER));
    ::LocalFree(folderAcl);
    ::LocalFree(start);

    PACL fileAcl = ProtectedFileAcl();
    ASSERT_NE(fileAcl, nullptr);
    UsersGrant file = UsersRights(fileAcl);
    EXPECT_EQ(file.own & (FILE_READ_DATA | FILE_EXECUTE), static_cast<DWORD>(FILE_READ_DATA | FILE_EXECUTE));
    EXPECT_EQ(file.own & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC), 0u);
    EXPECT_EQ(file.others, 2);  // the system and the administrators
    ::LocalFree(fileAcl);

    // Applied by a real installation. Where the file system keeps access lists (Windows;
    // not every Wine prefix does), they read back as built.
    InstallInto();
    const std::wstring target = programFiles + L"\\Korvane";
    auto readBack = [](const std::wstring& path, UsersGrant& grant, bool& isProtected) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        std::wstring p = path;
        if (::GetNamedSecurityInfoW(p.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &sd) != ERROR_SUCCESS)
            return false;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorControl(sd, &control, &revision);
        isProtected = (control & SE_DACL_PROTECTED) != 0;
        grant = UsersRights(dacl);
        ::LocalFree(sd);
        return true;
    };
    UsersGrant got;
    bool isProtected = false;
    ASSERT_TRUE(readBack(target + L"\\Korvane.exe", got, isProtected));
    if (!isProtected) {
        std::printf("(this file system does not keep access lists; the built lists were checked)\n");
        return;
    }
    for (const wchar_t* name : {L"Korvane.exe", L"KorvaneUninstaller.exe", L"Beacon.ico", L"Skull.ico",
                                L"KORVANE-InstallLog.txt"}) {
        ASSERT_TRUE(readBack(target + L"\\" + name, got, isProtected));
        EXPECT_TRUE(isProtected) << Narrow(name);
        EXPECT_EQ(got.own & (FILE_WRITE_DATA | DELETE), 0u) << Narrow(name);
    }
    ASSERT_TRUE(readBack(target, got, isProtected));
    EXPECT_TRUE(got.own & FILE_ADD_FILE);
}

// ---- The folder chooser ------------------------------------------------------------------

// The chooser from two current folders: one on another drive than the folders it is shown
// (the test program's own), and one on C:, the drive the options page names, where choosing
// the drive raises no change.
class ChooserTest : public SetupTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        ::GetCurrentDirectoryW(MAX_PATH, saved_);
        std::wstring folder = root;
        if (!GetParam()) {
            wchar_t exe[MAX_PATH] = {};
            ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
            folder = exe;
            folder.resize(folder.find_last_of(L'\\'));
        }
        ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
        ASSERT_EQ(folder.substr(0, 2) == L"C:" || folder.substr(0, 2) == L"c:", GetParam()) << Narrow(folder);
    }
    void TearDown() override {
        ::SetCurrentDirectoryW(saved_);
        SetupTest::TearDown();
    }
    wchar_t saved_[MAX_PATH] = {};

    // What "C:" names: the current folder of drive C:, without a trailing "\" below the root.
    static std::wstring CurrentFolderOfC() {
        wchar_t current[MAX_PATH] = {};
        ::GetFullPathNameW(L"C:", MAX_PATH, current, nullptr);
        std::wstring folder = current;
        if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
        return folder;
    }
};
INSTANTIATE_TEST_SUITE_P(CurrentFolder, ChooserTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "OnC" : "OnAnotherDrive"; });

TEST_P(ChooserTest, StartsAtTheOptionsFolderAndAcceptWritesItBack) {
    MakeFolder(programFiles + L"\\Tools");
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    second->txtInstallPath.SetText(programFiles);  // becomes ...\Program Files\Korvane, not there yet
    ::SendMessageW(second->cmdBrowse.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    auto* chooser = LoadedForm<frmBrowseFolders>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->Caption(), L"Locate Folder");
    EXPECT_EQ(chooser->OwnerWindow(), second->hwnd());
    // The right drive, the folder list at that drive's current folder.
    EXPECT_EQ(chooser->Drive1.Drive().substr(0, 2), L"c:");
    EXPECT_EQ(_wcsicmp(chooser->txtFolder.Text().c_str(), CurrentFolderOfC().c_str()), 0)
        << Narrow(chooser->txtFolder.Text());

    ASSERT_TRUE(chooser->Dir1.SetPath(programFiles));
    EXPECT_EQ(chooser->txtFolder.Text(), programFiles);
    // The subfolder is listed below; highlighting it makes it the path.
    int line = -1;
    for (int i = 0; i < chooser->Dir1.ListCount(); ++i)
        if (chooser->Dir1.FolderOfLine(i) == programFiles + L"\\Tools") line = i;
    ASSERT_GE(line, 0);
    ::SendMessageW(chooser->Dir1.hwnd(), LB_SETCURSEL, line, 0);
    ::SendMessageW(chooser->hwnd(), WM_COMMAND, MAKEWPARAM(chooser->Dir1.Id(), LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(chooser->Dir1.hwnd()));
    EXPECT_EQ(chooser->txtFolder.Text(), programFiles + L"\\Tools");
    ::SendMessageW(chooser->cmdAccept.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(LoadedForm<frmBrowseFolders>(), nullptr);
    EXPECT_EQ(second->txtInstallPath.Text(), programFiles + L"\\Tools\\Korvane");
}

TEST_P(ChooserTest, EmptyTextTakesTheListAndCancelWritesNothing) {
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    const std::wstring before = second->txtInstallPath.Text();
    ::SendMessageW(second->cmdBrowse.hwnd(), BM_CLICK, 0, 0);
    auto* chooser = LoadedForm<frmBrowseFolders>();
    ASSERT_NE(chooser, nullptr);
    // The options folder does not exist yet: the list is at the drive's current folder.
    EXPECT_EQ(_wcsicmp(chooser->txtFolder.Text().c_str(), CurrentFolderOfC().c_str()), 0)
        << Narrow(chooser->txtFolder.Text());
    ASSERT_TRUE(chooser->Dir1.SetPath(root));
    ::SendMessageW(chooser->cmdCancel.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(second->txtInstallPath.Text(), before);

    ::SendMessageW(second->cmdBrowse.hwnd(), BM_CLICK, 0, 0);
    chooser = LoadedForm<frmBrowseFolders>();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(chooser->Dir1.SetPath(root));
    chooser->txtFolder.SetText(L"");
    chooser->mnuAccept_Click();  // the pop-up's "Accept Folder" does what Accept does
    PumpMessages();
    EXPECT_EQ(second->txtInstallPath.Text(), root + L"\\Korvane");
}

TEST_P(ChooserTest, RightClickOnTheFolderListOffersAcceptFolder) {
    StartAndAcceptLicence();
    ContinueWelcome();
    auto* second = LoadedForm<frmSecond>();
    ASSERT_NE(second, nullptr);
    ::SendMessageW(second->cmdBrowse.hwnd(), BM_CLICK, 0, 0);
    auto* chooser = LoadedForm<frmBrowseFolders>();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(chooser->Dir1.SetPath(root));
    // The menu is up while the right click is handled: choose its first item with the keys.
    std::atomic<bool> menuSeen{false};
    const HWND owner = chooser->hwnd();
    std::thread chooserUser([&menuSeen, owner] {
        for (int i = 0; i < 60 && !menuSeen; ++i) {
            ::Sleep(50);
            HWND menu = ::FindWindowW(L"#32768", nullptr);
            if (menu && ::IsWindowVisible(menu)) {
                menuSeen = true;
                ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
                ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
            }
        }
        if (!menuSeen) ::PostMessageW(owner, WM_CANCELMODE, 0, 0);  // never leave a menu up
    });
    ::SendMessageW(chooser->Dir1.hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(chooser->Dir1.hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    chooserUser.join();
    PumpMessages();
    EXPECT_TRUE(menuSeen);
    EXPECT_EQ(LoadedForm<frmBrowseFolders>(), nullptr);
    // The first line of the list is the drive's root; the right click highlighted it.
    EXPECT_EQ(second->txtInstallPath.Text(), root.substr(0, 3) + L"Korvane");
}

// ---- What every page shows --------------------------------------------------------

TEST_F(SetupTest, EveryPageKeepsItsControlsInsideItsWindow) {
    StartAndAcceptLicence();
    ContinueWelcome();
    auto& second = TheForm<frmSecond>();
    ::SendMessageW(second.cmdBrowse.hwnd(), BM_CLICK, 0, 0);
    TheForm<frmThird>().Show();
    TheForm<frmMessage>().Load();
    TheForm<frmFirst>().Show();
    PumpMessages();
    for (kv::win::Form* form : std::initializer_list<kv::win::Form*>{&TheForm<frmFirst>(), &second, &TheForm<frmThird>(),
                                                                    &TheForm<frmMessage>(), &TheForm<frmBrowseFolders>()}) {
        ASSERT_TRUE(form->IsLoaded());
        const RECT client = ClientScreenRect(form->hwnd());
        ::EnumChildWindows(
            form->hwnd(),
            [](HWND child, LPARAM data) -> BOOL {
                const RECT& outer = *reinterpret_cast<const RECT*>(data);
                if (::GetParent(child) != ::GetAncestor(child, GA_ROOT) || !::IsWindowVisible(child)) return TRUE;
                wchar_t cls[32] = {};
                ::GetClassNameW(child, cls, 32);
                if (_wcsicmp(cls, L"ComboLBox") == 0) return TRUE;
                RECT r = ScreenRect(child);
                if (_wcsicmp(cls, L"ComboBox") == 0) r.bottom = r.top + 20;  // the closed box
                EXPECT_TRUE(Inside(outer, r)) << Narrow(cls);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&client));
    }
    // KV_TEST_LINGER=ms keeps the pages up for a screenshot.
    if (const char* linger = std::getenv("KV_TEST_LINGER")) {
        const POINT places[] = {{0, 0}, {0, 330}, {0, 640}, {640, 0}, {640, 330}};
        int i = 0;
        for (kv::win::Form* form : std::initializer_list<kv::win::Form*>{&TheForm<frmFirst>(), &second, &TheForm<frmThird>(),
                                                                        &TheForm<frmMessage>(), &TheForm<frmBrowseFolders>()}) {
            ::SetWindowPos(form->hwnd(), nullptr, places[i].x, places[i].y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
            ++i;
        }
        TheForm<frmThird>().SetScrollBarPercent(40);
        const DWORD until = ::GetTickCount() + static_cast<DWORD>(std::atoi(linger));
        while (::GetTickCount() < until) {
            PumpMessages();
            ::Sleep(20);
        }
    }
}

}  // namespace kvtest
