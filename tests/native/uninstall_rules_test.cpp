// The uninstaller's safety rules and its batch file, without a file system.
#include <gtest/gtest.h>

#include "uninstaller/uninstall_rules.h"

namespace {

using namespace kv::uninstall;

SpecialFolders Folders() {
    SpecialFolders f;
    f.windows = L"C:\\Windows";
    f.system = L"C:\\Windows\\system32";
    f.programFiles = {L"C:\\Program Files", L"C:\\Program Files (x86)"};
    f.usersRoot = L"C:\\Users";
    f.userProfile = L"C:\\Users\\ann";
    f.desktop = L"C:\\Users\\ann\\Desktop";
    f.commonDesktop = L"C:\\Users\\Public\\Desktop";
    f.programs = L"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    f.commonPrograms = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    f.other = {L"C:\\Users\\ann\\Documents", L"C:\\Users\\Public\\Documents", L"C:\\ProgramData"};
    f.temp = L"C:\\Users\\ann\\AppData\\Local\\Temp";
    return f;
}

TEST(UninstallRules, NormalPathAcceptsOnlyPlainFullPaths) {
    EXPECT_EQ(NormalPath(L"C:\\Program Files\\Korvane\\"), L"C:\\Program Files\\Korvane");
    EXPECT_EQ(NormalPath(L"c:/a//b"), L"c:\\a\\b");
    EXPECT_EQ(NormalPath(L"D:"), L"D:");
    EXPECT_EQ(NormalPath(L"\\\\srv\\share\\dir"), L"\\\\srv\\share\\dir");
    for (const wchar_t* bad : {L"", L"Korvane", L"\\Windows", L"C:Windows", L"C:\\Program Files\\Korvane\\..\\..",
                               L"C:\\.\\Windows", L"C:\\Windows.", L"C:\\Windows ", L"C:\\*", L"\\\\?\\C:\\Windows",
                               L"\\\\.\\C:", L"\\\\srv", L"C:\\a\\b:stream", L"1:\\a"})
        EXPECT_EQ(NormalPath(bad), L"") << std::wstring(bad).size();
}

TEST(UninstallRules, InstallFolderGuardRefusesDangerousFolders) {
    const auto f = Folders();
    // Refused: roots, the special folders themselves, what holds them, profiles, temp.
    for (const wchar_t* bad :
         {L"C:", L"C:\\", L"c:\\windows", L"C:\\Windows\\System32", L"C:\\PROGRAM FILES", L"C:\\Program Files (x86)\\",
          L"C:\\Users", L"C:\\Users\\ann", L"C:\\Users\\bob", L"C:\\Users\\ann\\Desktop", L"C:\\Users\\Public\\Desktop",
          L"C:\\Users\\ann\\AppData", L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
          L"C:\\Users\\ann\\Documents", L"C:\\Users\\ann\\AppData\\Local\\Temp", L"\\\\srv\\share", L"relative\\dir",
          L"C:\\Program Files\\Korvane\\..", L""}) {
        const auto reason = RefusalReason(bad, f);
        EXPECT_TRUE(reason.has_value()) << "accepted " << std::string(bad, bad + std::wstring(bad).size());
    }
    EXPECT_EQ(*RefusalReason(L"C:\\", f), L"it is a whole drive");
    EXPECT_EQ(*RefusalReason(L"C:\\Users\\bob", f), L"it is a user profile");
    EXPECT_EQ(*RefusalReason(L"C:\\Users", f), L"it is the users folder");
    EXPECT_EQ(*RefusalReason(L"C:\\Users\\ann\\AppData\\Local", f), L"it holds the temporary folder");
    EXPECT_EQ(*RefusalReason(L"C:\\Users\\ann\\AppData\\Roaming", f), L"it holds a Start Menu folder");
    // Accepted: ordinary installation folders, including ones inside special folders.
    for (const wchar_t* good : {L"C:\\Program Files\\Korvane", L"D:\\Apps\\Korvane", L"C:\\Users\\ann\\Desktop\\Korvane",
                                L"C:\\Users\\ann\\AppData\\Local\\Temp\\Korvane", L"\\\\srv\\share\\Korvane"})
        EXPECT_FALSE(RefusalReason(good, f).has_value());
}

TEST(UninstallRules, ListedFilesOnlyInsideInstallFolderOrShortcutsInFourFolders) {
    const auto f = Folders();
    const std::vector<std::wstring> inst{L"C:\\Program Files\\Korvane"};
    EXPECT_TRUE(MayDeleteListedFile(L"C:\\Program Files\\Korvane\\Korvane.exe", inst, f));
    EXPECT_TRUE(MayDeleteListedFile(L"c:\\program files\\KORVANE\\sub\\x.ico", inst, f));
    EXPECT_TRUE(MayDeleteListedFile(L"C:\\Users\\ann\\Desktop\\Korvane.lnk", inst, f));
    EXPECT_TRUE(MayDeleteListedFile(L"C:\\Users\\Public\\Desktop\\Korvane.LNK", inst, f));
    EXPECT_TRUE(MayDeleteListedFile(f.programs + L"\\Korvane\\Uninstall Korvane.lnk", inst, f));
    EXPECT_TRUE(MayDeleteListedFile(f.commonPrograms + L"\\Korvane\\Korvane.lnk", inst, f));

    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Windows\\system32\\kernel32.dll", inst, f));
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Program Files\\KorvaneOther\\a.exe", inst, f));  // a sibling, not inside
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Program Files\\Korvane\\..\\Other\\a.exe", inst, f));
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Program Files\\Korvane", inst, f));  // the folder itself
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Users\\ann\\Desktop\\report.doc", inst, f));
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Users\\ann\\Documents\\Korvane.lnk", inst, f));
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Users\\ann\\Desktop\\Korvane.lnk.txt", inst, f));
    EXPECT_FALSE(MayDeleteListedFile(L"Korvane.exe", inst, f));
    EXPECT_FALSE(MayDeleteListedFile(L"C:\\Users\\ann\\Desktop\\Korvane.lnk", {}, SpecialFolders{}));
}

TEST(UninstallRules, ListedFoldersOnlyOfTheInstallation) {
    const auto f = Folders();
    const std::vector<std::wstring> inst{L"D:\\Apps\\Korvane"};
    struct Case {
        std::wstring folder;
        bool may;
    };
    const Case cases[] = {
        {f.programs + L"\\Korvane", true},          // the Start Menu's folder of shortcuts
        {f.commonPrograms + L"\\Korvane\\Sub", true},
        {L"D:\\Apps\\Korvane", true},               // the installation folder
        {L"D:\\Apps\\Korvane\\Data", true},         // inside it
        {L"D:\\Apps", true},                        // a level Setup created above it
        {f.programs + L"\\Other", false},           // any other Start Menu folder
        {L"D:\\Other", false},
        {L"D:\\Apps\\KorvaneOld", false},
        {f.desktop, false},
        {L"D:", false},
        {L"C:\\Users\\bob", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MayRemoveListedFolder(c.folder, inst, f), c.may) << c.folder;
}

TEST(UninstallRules, CopyRecognisesItsFolderInAnyCase) {
    EXPECT_TRUE(IsTempCopy(L"C:\\Users\\Ann\\AppData\\Local\\Temp", L"c:\\users\\ann\\appdata\\local\\TEMP"));
    EXPECT_FALSE(IsTempCopy(L"C:\\Program Files\\Korvane", L"C:\\Temp"));
    EXPECT_FALSE(IsTempCopy(L"C:\\Temp\\x", L"C:\\Temp"));
}

TEST(UninstallRules, TempFolderFallsBackToTheProgramsDrive) {
    EXPECT_EQ(ChooseTempFolder(L"C:\\Temp\\", true, L"D:\\Korvane"), L"C:\\Temp");
    EXPECT_EQ(ChooseTempFolder(L"C:\\Temp\\", false, L"D:\\Korvane"), L"D:");
}

TEST(UninstallRules, BatchLinesByteForByteAndQuotedWithBlanks) {
    const std::vector<std::wstring> plain{
        L"@Echo off",
        L":S",
        L"cd C:\\Users\\ann\\AppData\\Local\\Temp\\",
        L"Del KorvaneUninstaller.exe",
        L"If Exist C:\\Users\\ann\\AppData\\Local\\Temp\\KorvaneUninstaller.exe Goto S",
        L"cd C:\\Users\\ann\\AppData\\Local\\Temp\\",
        L"Del killmyself.bat",
    };
    EXPECT_EQ(KillMyselfLines(L"C:\\Users\\ann\\AppData\\Local\\Temp", L"KorvaneUninstaller",
                              L"C:\\Users\\ann\\AppData\\Local\\Temp"),
              plain);
    const std::vector<std::wstring> quoted{
        L"@Echo off",
        L":S",
        L"cd \"C:\\Users\\Ann Lee\\Temp\\\"",
        L"Del KorvaneUninstaller.exe",
        L"If Exist \"C:\\Users\\Ann Lee\\Temp\\KorvaneUninstaller.exe\" Goto S",
        L"cd D:\\T\\",
        L"Del killmyself.bat",
    };
    EXPECT_EQ(KillMyselfLines(L"C:\\Users\\Ann Lee\\Temp", L"KorvaneUninstaller", L"D:\\T"), quoted);
    EXPECT_EQ(KillMyselfLines(L"C:\\T", L"My Uninstaller", L"C:\\T")[3], L"Del \"My Uninstaller.exe\"");
    // A quiet first instance's moved program file is deleted after the copy's, before the end.
    const auto withFirst = KillMyselfLines(L"C:\\T", L"KorvaneUninstaller", L"C:\\T", L"C:\\T\\KorvaneUninstaller-8.exe");
    ASSERT_EQ(withFirst.size(), 10u);
    EXPECT_EQ(withFirst[6], L"Del C:\\T\\KorvaneUninstaller-8.exe");
    EXPECT_EQ(withFirst[9], L"Del killmyself.bat");
    for (const auto& [name, moved] : std::vector<std::pair<std::wstring, bool>>{
             {L"KorvaneUninstaller-8.exe", true}, {L"korvaneuninstaller-123.EXE", true},
             {L"KorvaneUninstaller.exe", false}, {L"KorvaneUninstaller-.exe", false},
             {L"KorvaneUninstaller-8.exe.doc", false}, {L"Other-8.exe", false}, {L"KorvaneUninstaller-..\\x.exe", false}})
        EXPECT_EQ(IsMovedFirstInstanceName(name, L"KorvaneUninstaller"), moved) << name;
    // cmd gives "&", "(", ")" and "%" a meaning even in a user's name: quoted, "%" doubled.
    EXPECT_EQ(KillMyselfLines(L"C:\\R&D (x) 100%!", L"KorvaneUninstaller", L"C:\\T")[4],
              L"If Exist \"C:\\R&D (x) 100%%!\\KorvaneUninstaller.exe\" Goto S");
}

TEST(UninstallRules, MessagesWordForWord) {
    EXPECT_EQ(NoInstallLogMessage(L"C:\\X\\KORVANE-InstallLog.txt"),
              L"No Install Log Found.\rExpected location: C:\\X\\KORVANE-InstallLog.txt\rThe uninstallation can not "
              L"continue.");
    EXPECT_EQ(CopyLogFailedMessage(L"C:\\T\\KORVANE-InstallLog.txt"),
              L"Unable to copy log to temp folder.\rC:\\T\\KORVANE-InstallLog.txt");
    EXPECT_EQ(CopyUninstallerFailedMessage(L"C:\\T\\KorvaneUninstaller.exe"),
              L"Unable to copy uninstaller to temp folder.\rC:\\T\\KorvaneUninstaller.exe");
    EXPECT_EQ(StartMessage(), L"This process will uninstall Korvane...");
    EXPECT_EQ(ConfirmQuestion(), L"Are you sure you want to uninstall Korvane?");
    EXPECT_EQ(SuccessMessage(), L"Korvane was successfully uninstalled.\r\rYou may need to restart your computer before "
                                L"all changes take effect.");
    std::vector<Remaining> many;
    for (int i = 0; i < 14; ++i) many.push_back({L"C:\\K\\f" + std::to_wstring(i), L"in use"});
    const std::wstring text = IncompleteMessage(many, false);
    EXPECT_NE(text.find(L"C:\\K\\f0 (in use)"), std::wstring::npos);
    EXPECT_EQ(text.find(L"C:\\K\\f13"), std::wstring::npos);
    EXPECT_NE(text.find(L"and 2 more"), std::wstring::npos);
}

TEST(UninstallRules, SwitchesOfADeploymentTool) {
    struct Case {
        std::vector<std::wstring> args;
        bool quiet;
        std::wstring log;
        bool refused;
    };
    const Case cases[] = {
        {{}, false, L"", false},
        {{L"/quiet"}, true, L"", false},
        {{L"-Q", L"/LOG=C:\\a b\\u.log"}, true, L"C:\\a b\\u.log", false},
        {{L"/log", L"u.log", L"/quiet"}, true, L"u.log", false},
        {{L"/log:u.log"}, false, L"u.log", false},
        {{L"/log"}, false, L"", true},
        {{L"/log="}, false, L"", true},
        {{L"/quiet=yes"}, false, L"", true},
        {{L"/silent", L"/q", L"/log=u.log"}, true, L"u.log", true},  // still logged, quietly
        {{L"quiet"}, false, L"", true},
        {{L"/?"}, false, L"", true},
    };
    for (const auto& c : cases) {
        const Switches s = ParseSwitches(c.args);
        EXPECT_EQ(s.quiet, c.quiet);
        EXPECT_EQ(s.logFile, c.log);
        EXPECT_EQ(!s.error.empty(), c.refused);
    }
    // The copy is started the way the first instance was, and the log's blanks survive.
    EXPECT_EQ(CopyArguments(ParseSwitches({})), L"");
    EXPECT_EQ(CopyArguments(ParseSwitches({L"/q", L"/log=C:\\a b\\u.log"})), L"/quiet \"/log=C:\\a b\\u.log\"");
}

}  // namespace
