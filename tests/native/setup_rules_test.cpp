// Setup's window-free rules: the installation folder's change rule and absoluteness, the
// levels CreateFolderPath walks, the default folder, the bar's panel and the texts.
#include <gtest/gtest.h>

#include "setup/setup_rules.h"

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
