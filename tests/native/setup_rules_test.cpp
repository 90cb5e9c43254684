// Setup's window-free rules: the installation folder's change rule and absoluteness, the
// levels CreateFolderPath walks, the default folder, the bar's panel and the texts; the
// switches of a quiet installation.
#include <gtest/gtest.h>

#include "setup/setup_rules.h"
#include "setup/setup_switches.h"

using namespace kv::setup;

TEST(SetupRules, ChangeRuleAppendsTheProductFolderUnlessTheTextEndsInIt) {
    EXPECT_EQ(InstallPathAfterChange(L""), L"");
    EXPECT_EQ(InstallPathAfterChange(L"D"), L"D\\Korvane");
    EXPECT_EQ(InstallPathAfterChange(L"C:\\Program Files\\Korvan"), L"C:\\Program Files\\Korvan\\Korvane");
    EXPECT_EQ(InstallPathAfterChange(L"C:\\Apps\\Korvane\\"), L"C:\\Apps\\Korvane\\Korvane");
    EXPECT_EQ(InstallPathAfterChange(L"C:\\Apps\\Korvane"), L"C:\\Apps\\Korvane");
    EXPECT_EQ(InstallPathAfterChange(L"C:\\Apps\\korvane"), L"C:\\Apps\\korvane\\Korvane");  // case matters
    EXPECT_EQ(InstallPathAfterChange(L"XKorvane"), L"XKorvane");  // only the ending is looked at
    // Applying it to its own result changes nothing more (the change it raises stops there).
    for (const wchar_t* t : {L"D", L"C:\\", L"\\\\srv\\share", L"C:\\A\\"})
        EXPECT_EQ(InstallPathAfterChange(InstallPathAfterChange(t)), InstallPathAfterChange(t));
}

TEST(SetupRules, OnlyDriveRootedAndNetworkFoldersAreAbsolute) {
    for (const wchar_t* good : {L"C:\\Korvane", L"z:\\a b\\Korvane", L"C:\\", L"\\\\server\\share\\Korvane",
                                L"\\\\server\\share"})
        EXPECT_TRUE(IsAbsoluteFolder(good)) << std::string(good, good + wcslen(good));
    for (const wchar_t* bad : {L"D\\Korvane", L"D:Korvane", L"\\Korvane", L"Korvane", L"", L"1:\\Korvane",
                               L"\\\\server", L"\\\\server\\", L"\\\\\\share\\x", L"\\\\?\\C:\\Korvane",
                               L"\\\\.\\C:\\Korvane"})
        EXPECT_FALSE(IsAbsoluteFolder(bad)) << std::string(bad, bad + wcslen(bad));
}

TEST(SetupRules, FolderLevelsStartAtTheDriveOrTheShare) {
    EXPECT_EQ(FolderLevels(L"C:\\Program Files\\Korvane"),
              (std::vector<std::wstring>{L"C:", L"C:\\Program Files", L"C:\\Program Files\\Korvane"}));
    EXPECT_EQ(FolderLevels(L"\\\\srv\\share\\A\\Korvane"),
              (std::vector<std::wstring>{L"\\\\srv\\share", L"\\\\srv\\share\\A", L"\\\\srv\\share\\A\\Korvane"}));
    EXPECT_EQ(FolderLevels(L"Korvane"), std::vector<std::wstring>{L"Korvane"});
    EXPECT_TRUE(FolderLevels(L"").empty());
}

TEST(SetupRules, DefaultFolderTakesTheFirstCandidateThatExists) {
    EXPECT_EQ(DefaultInstallPath(L"D:\\Apps", true, true, true, L"E:\\Pkg"), L"D:\\Apps\\Korvane");
    EXPECT_EQ(DefaultInstallPath(L"D:\\Apps", false, true, true, L"E:\\Pkg"), L"C:\\Program Files\\Korvane");
    EXPECT_EQ(DefaultInstallPath(L"", false, false, true, L"E:\\Pkg"), L"C:\\Korvane");
    EXPECT_EQ(DefaultInstallPath(L"", false, false, false, L"E:\\Pkg"), L"E:\\Pkg\\Korvane");
}

TEST(SetupRules, BarPanelMovesByAHundredthOfTheTrackPerPercent) {
    EXPECT_EQ(ScrollBarLeft(6000, 0), 0);
    EXPECT_EQ(ScrollBarLeft(6000, -5), 0);
    EXPECT_EQ(ScrollBarLeft(6000, 15), 900);
    EXPECT_EQ(ScrollBarLeft(6015, 10), 602);  // 601.5 rounds up
    EXPECT_EQ(ScrollBarLeft(6000, 101), 6060);
}

TEST(SetupRules, CommandLinesShortcutNamesAndTexts) {
    EXPECT_EQ(RegisterCommandLine(L"C:\\Windows\\system32\\MSINET.ocx"),
              L"regsvr32 /s \"C:\\Windows\\system32\\MSINET.ocx\"");
    EXPECT_EQ(ShortcutFileName(L"C:\\M\\Korvane.lnk"), L"C:\\M\\Korvane.lnk");
    EXPECT_EQ(ShortcutFileName(L"C:\\M\\Korvane.LNK"), L"C:\\M\\Korvane.LNK");
    EXPECT_EQ(ShortcutFileName(L"C:\\M\\Site.Url"), L"C:\\M\\Site.Url");
    EXPECT_EQ(ShortcutFileName(L"C:\\M\\Korvane"), L"C:\\M\\Korvane.lnk");
    EXPECT_EQ(ShortcutFileName(L"a"), L"a.lnk");
    EXPECT_EQ(TrimBlanks(L"  C:\\A B  "), L"C:\\A B");
    EXPECT_EQ(TrimBlanks(L"   "), L"");
    EXPECT_EQ(FolderNotCreatedMessage(L"Q:\\Korvane"),
              L"The folder Q:\\Korvane could not be created.\rPlease select another folder");
    EXPECT_EQ(ScriptingRuntimeMessage(L"C:\\Windows\\system32"),
              L"Unable to register required file.\r(C:\\Windows\\system32\\scrrun.dll)");
    const std::wstring rights = InstallRightsMessage();
    EXPECT_EQ(rights.rfind(L"Invalid Installation Scenerio.\r\rIf you are attempting", 0), 0u);
    EXPECT_NE(rights.find(L"computer.  This is usually the C:\\\r\rIf the package"), std::wstring::npos);
    EXPECT_NE(rights.find(L"other write-protected drive, please move the installation package to the root folder of"),
              std::wstring::npos);
    EXPECT_EQ(rights.substr(rights.size() - 49), L"install programs and register .dll and .ocx files");
}

TEST(SetupRules, SpellingsWindowsWouldChangeAndDeviceFormsAreRefused) {
    for (const wchar_t* bad : {L"C:\\My Apps \\Korvane", L"C:\\Apps.\\Korvane", L"C:\\Apps\\Korvane.", L"C:\\A \\B",
                               L"\\\\?\\C:\\Korvane", L"\\\\.\\C:\\Korvane", L"//?/C:/Korvane", L"\\\\srv\\share.\\Korvane",
                               L"C:\\Apps...\\Korvane"})
        EXPECT_TRUE(RefusedFolderText(bad)) << std::string(bad, bad + wcslen(bad));
    for (const wchar_t* good : {L"C:\\Apps\\..\\Korvane", L"C:\\.\\Korvane", L"C:\\My Apps\\Korvane", L"C:\\a.b\\Korvane",
                                L"C:\\.config\\Korvane", L"\\\\srv\\share\\Korvane", L"D\\Korvane", L"C:\\", L"C:"})
        EXPECT_FALSE(RefusedFolderText(good)) << std::string(good, good + wcslen(good));
    // The refusal and the question name the folder.
    EXPECT_NE(UnusableFolderMessage(L"C:\\My Apps \\Korvane").find(L"C:\\My Apps \\Korvane"), std::wstring::npos);
    EXPECT_NE(OccupiedFolderQuestion(L"D:\\Work\\Korvane").find(L"D:\\Work\\Korvane"), std::wstring::npos);
    // Every item not installed has a line of its own.
    const std::wstring incomplete = IncompleteInstallationMessage({L"C:\\K\\Korvane.exe", L"C:\\K\\Skull.ico"});
    EXPECT_NE(incomplete.find(L"\rC:\\K\\Korvane.exe\rC:\\K\\Skull.ico\r"), std::wstring::npos);
}

// ---- The command line of a quiet installation ------------------------------------------

TEST(SetupSwitches, ArgumentsAreSplitAtBlanksQuotesGroupAndBackslashesStay) {
    struct Case {
        const wchar_t* line;
        std::vector<std::wstring> args;
    };
    const Case cases[] = {
        {L"\"C:\\Program Files\\Pkg\\Setup.exe\"", {}},
        {L"Setup.exe /quiet /dir=\"C:\\My Apps\\Korvane\\\" /log=x.log",
         {L"/quiet", L"/dir=C:\\My Apps\\Korvane\\", L"/log=x.log"}},
        {L"Setup.exe   \"/log=C:\\a b.log\"\t-q ", {L"/log=C:\\a b.log", L"-q"}},
        {L"Setup.exe /dir \"C:\\A B\\Korvane\"", {L"/dir", L"C:\\A B\\Korvane"}},
        {L"Setup.exe \"\"", {L""}},
        {L"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitArguments(c.line), c.args) << std::wstring_view(c.line).size();
}

TEST(SetupSwitches, TheSwitchTable) {
    using P = ShortcutPlace;
    struct Case {
        std::vector<std::wstring> args;
        bool refused, quiet, accept;
        std::wstring folder, log;
        P startMenu = P::Unchosen, desktop = P::Unchosen;
        bool allow = false, usage = false;
    };
    const Case cases[] = {
        {{}, false, false, false, L"", L""},
        {{L"/QUIET", L"/AcceptLicense"}, false, true, true, L"", L""},
        {{L"-q", L"/dir:C:\\Apps\\Korvane", L"/startmenu=ThisUser", L"/Desktop=NONE", L"/log", L"C:\\s.log"},
         false, true, false, L"C:\\Apps\\Korvane", L"C:\\s.log", P::ThisUser, P::None},
        {{L"/quiet", L"/dir", L"C:\\A B\\Korvane", L"/allownonempty", L"/startmenu=allusers"},
         false, true, false, L"C:\\A B\\Korvane", L"", P::AllUsers, P::Unchosen, true},
        {{L"/?"}, false, false, false, L"", L"", P::Unchosen, P::Unchosen, false, true},
        // Refused, and still read to its end: /quiet and /log hold for the log of the refusal.
        {{L"/quiet", L"/frobnicate", L"/log=C:\\s.log"}, true, true, false, L"", L"C:\\s.log"},
        {{L"/quiet", L"/startmenu=everyone"}, true, true, false, L"", L""},
        {{L"/quiet", L"/desktop"}, true, true, false, L"", L""},
        {{L"/quiet", L"/dir="}, true, true, false, L"", L""},
        {{L"/quiet", L"/log"}, true, true, false, L"", L""},
        {{L"/quiet=yes"}, true, false, false, L"", L""},
        {{L"/quiet", L"C:\\Apps"}, true, true, false, L"", L""},
        // Choices without /quiet: the wizard asks for them instead.
        {{L"/dir=C:\\Apps\\Korvane"}, true, false, false, L"C:\\Apps\\Korvane", L""},
        {{L"/acceptlicense"}, true, false, true, L"", L""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const SetupSwitches s = ParseSetupSwitches(c.args);
        SCOPED_TRACE(i);
        EXPECT_EQ(!s.error.empty(), c.refused);
        EXPECT_EQ(s.any, !c.args.empty());
        EXPECT_EQ(s.quiet, c.quiet);
        EXPECT_EQ(s.acceptLicense, c.accept);
        EXPECT_EQ(s.folder, c.folder);
        EXPECT_EQ(s.logFile, c.log);
        EXPECT_EQ(s.startMenu, c.startMenu);
        EXPECT_EQ(s.desktop, c.desktop);
        EXPECT_EQ(s.allowNonEmpty, c.allow);
        EXPECT_EQ(s.usage, c.usage);
    }
}

TEST(SetupSwitches, ShortcutPlaceFollowsTheFoldersThatExist) {
    using P = ShortcutPlace;
    struct Case {
        P chosen;
        bool all, mine;
        P result;
    };
    const Case cases[] = {
        {P::Unchosen, true, true, P::AllUsers},  {P::Unchosen, false, true, P::ThisUser},
        {P::Unchosen, false, false, P::None},    {P::AllUsers, false, true, P::Unchosen},
        {P::ThisUser, true, false, P::Unchosen}, {P::ThisUser, true, true, P::ThisUser},
        {P::None, true, true, P::None},          {P::AllUsers, true, false, P::AllUsers},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolvePlace(c.chosen, c.all, c.mine), c.result)
            << static_cast<int>(c.chosen) << c.all << c.mine;
}
