// The install log's grouping and the reader's classification, shared by Setup and the
// uninstaller: both must agree on every line.
#include <gtest/gtest.h>

#include "shared/install_log.h"

using namespace kv::install;

TEST(InstallLog, HeaderThenFilesThenShortcutsThenFoldersEachInCreationOrder) {
    const std::wstring dir = L"C:\\Program Files\\Korvane";
    const std::vector<std::wstring> items = {
        dir,
        dir + L"\\Korvane.exe",
        L"C:\\Menu\\Korvane",
        L"C:\\Menu\\Korvane\\Korvane.lnk",
        dir + L"\\Beacon.ico",
        L"",
        L"C:\\Menu\\Korvane\\Uninstall Korvane.LNK",
        dir + L"\\KorvaneUninstaller.exe",
    };
    EXPECT_EQ(InstallLogLines(dir, items),
              (std::vector<std::wstring>{L"INSTALLPATH=" + dir, dir + L"\\Korvane.exe", dir + L"\\Beacon.ico",
                                         dir + L"\\KorvaneUninstaller.exe", L"C:\\Menu\\Korvane\\Korvane.lnk",
                                         L"C:\\Menu\\Korvane\\Uninstall Korvane.LNK", dir, L"C:\\Menu\\Korvane"}));
    // Only the header when nothing was recorded (the one empty element).
    EXPECT_EQ(InstallLogLines(dir, {L""}), std::vector<std::wstring>{L"INSTALLPATH=" + dir});
}

TEST(InstallLog, ReaderClassifiesByTheFullStopAndTheCaseSensitiveHeader) {
    EXPECT_EQ(ClassifyLine(L"INSTALLPATH=C:\\K"), LineKind::Header);
    EXPECT_EQ(ClassifyLine(L"installpath=C:\\K"), LineKind::Folder);  // not the header: no full stop, a folder
    EXPECT_EQ(ClassifyLine(L"installpath=C:\\K.1"), LineKind::File);
    EXPECT_EQ(ClassifyLine(L""), LineKind::Empty);
    EXPECT_EQ(ClassifyLine(L"C:\\Users\\j.doe\\Start Menu\\Korvane"), LineKind::File);  // a folder with a stop
    EXPECT_EQ(ClassifyLine(L"C:\\Program Files\\Korvane"), LineKind::Folder);
    EXPECT_EQ(ClassifyLine(L" INSTALLPATH=C:\\K"), LineKind::Folder);
    EXPECT_EQ(HeaderFolder(L"INSTALLPATH=C:\\AINSTALLPATH=B "), L"C:\\AB ");
}

TEST(InstallLog, LinesEndAtCrLfOrLfAndALastLineWithoutEndCounts) {
    EXPECT_EQ(SplitLogLines(L"a\r\nb\nc"), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(SplitLogLines(L"a\r\n\r\nb\r\n"), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_TRUE(SplitLogLines(L"").empty());
    EXPECT_EQ(InstallLogPath(L"D:\\K"), L"D:\\K\\KORVANE-InstallLog.txt");
}

bool ThereUnlessGone(const std::wstring& path) { return path.find(L"Gone") == std::wstring::npos; }

TEST(InstallLog, AReinstallKeepsTheEarlierLinesThatStillBelongToTheInstallation) {
    const std::wstring folder = L"C:\\Apps\\Korvane", menu = L"C:\\Menu\\Programs", desk = L"C:\\Users\\ann\\Desktop";
    const std::vector<std::wstring> earlier = {
        folder + L"\\Korvane.exe",
        menu + L"\\Korvane\\Korvane.lnk",
        desk + L"\\Korvane.lnk",
        L"C:\\Users\\ann\\Documents\\Korvane.lnk",  // a shortcut elsewhere
        L"C:\\Apps",
        folder,
        folder + L"\\Data",
        menu + L"\\Korvane",
        L"C:\\Other",       // a folder that is no part of it
        L"C:\\Apps\\Gone",  // not there any more
    };
    const std::vector<std::wstring> all = {menu + L"\\Korvane\\Korvane.lnk", desk + L"\\Korvane.lnk", L"C:\\Apps",
                                           folder, folder + L"\\Data", menu + L"\\Korvane"};
    struct Case {
        const char* what;
        std::wstring header;
        std::vector<std::wstring> items;  // what this run recorded itself
        std::vector<std::wstring> carried;
    };
    const Case cases[] = {
        {"recorded again this time", folder, {folder + L"\\Korvane.exe", menu + L"\\Korvane\\Korvane.lnk"},
         std::vector<std::wstring>(all.begin() + 1, all.end())},
        {"the same folder spelt otherwise", L"c:\\apps\\korvane\\", {}, all},
        {"another installation's log", L"D:\\Korvane", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto log = earlier;
        log.insert(log.begin(), L"INSTALLPATH=" + c.header);
        EXPECT_EQ(CarriedOverItems(log, folder, c.items, {menu, L""}, {desk}, ThereUnlessGone), c.carried);
    }
}
