// Setup /quiet in-process: the wizard's work with no window, no question and no pause, and
// every guard of the wizard ending in the log and the exit code.
#include <algorithm>
#include <functional>

#include "fixture.h"
#include "setup/AppFunctions.h"
#include "setup/quiet.h"
#include "setup/setup_rules.h"
#include "setup/setup_switches.h"
#include "shared/install_log.h"
#include "win/app.h"
#include "win/form.h"

using namespace kv::setup;

namespace kvtest {
namespace {

std::string Utf8(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A text as the log holds it: its lines ended by CR LF.
std::string Logged(const std::wstring& message) {
    std::wstring out;
    for (wchar_t c : message) out += c == L'\r' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return Utf8(out);
}

class QuietTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        logPath = root + L"\\quiet.log";
    }
    int Quiet(std::vector<std::wstring> args) {
        args.insert(args.begin(), L"/quiet");
        if (std::none_of(args.begin(), args.end(), [](const std::wstring& a) { return a.rfind(L"/log", 0) == 0; }))
            args.push_back(L"/log=" + logPath);
        kv::win::ResetAllForms();
        ResetModule();
        return RunQuietInstallation(ParseSetupSwitches(args), L"Setup.exe");
    }
    std::string Log() const { return ReadAll(logPath); }
    bool EntryThere() const {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        ::RegCloseKey(key);
        return true;
    }
    std::wstring logPath;
};

}  // namespace

TEST_F(QuietTest, DoesTheWizardsWorkWithNoWindowNoPauseAndNoStart) {
    // The wizard with its defaults, then the quiet run with none: the same installation.
    const std::wstring target = programFiles + L"\\Korvane";
    InstallInto();
    ASSERT_EQ(Module().ExitCode, kExitSuccess);
    const std::string wizardLog = ReadAll(kv::install::InstallLogPath(target));
    RemoveAll(target);
    RemoveAll(commonPrograms + L"\\Korvane");
    ::DeleteFileW((commonDesktop + L"\\Korvane.lnk").c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KorvaneTests");
    pauses.clear();
    started.clear();
    lastUnloads = 0;

    EXPECT_EQ(Quiet({L"/AcceptLicense"}), kExitSuccess);
    EXPECT_EQ(ReadAll(kv::install::InstallLogPath(target)), wizardLog);
    EXPECT_TRUE(FileThere(commonPrograms + L"\\Korvane\\Uninstall Korvane.lnk"));
    EXPECT_TRUE(FileThere(commonDesktop + L"\\Korvane.lnk"));
    EXPECT_TRUE(EntryThere());
    EXPECT_TRUE(pauses.empty());
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(lastUnloads, 0);  // no page was ever loaded
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_TRUE(dialogs.Shown().empty());
    // The steps as the progress page names them, and the outcome.
    const std::string log = Log();
    EXPECT_NE(log.find(Logged(L"Wiriting Install Log...")), std::string::npos) << log;
    EXPECT_NE(log.find(Logged(L"Installation Complete")), std::string::npos) << log;

    // Another folder (the product folder appended as on the options page), this user's Start
    // Menu, no desktop icon.
    const std::wstring other = root + L"\\Apps\\Korvane";
    EXPECT_EQ(Quiet({L"/acceptlicense", L"/dir=" + root + L"\\Apps\\", L"/startmenu=thisuser", L"/desktop=none"}),
              kExitSuccess);
    EXPECT_EQ(Module().InstallPath, other);
    EXPECT_FALSE(Module().StartMenuAllUsers || Module().DesktopAllUsers || Module().DesktopThisUser);
    EXPECT_TRUE(FileThere(programs + L"\\Korvane\\Korvane.lnk"));
    EXPECT_TRUE(FileThere(other + L"\\Korvane.exe"));
}

TEST_F(QuietTest, GuardsEndInTheLogAndTheExitCode) {
    const std::wstring target = programFiles + L"\\Korvane";
    std::wstring missingDrive = L"Q:\\Korvane";
    for (wchar_t d = L'Q'; d <= L'Y'; ++d)
        if (!(::GetLogicalDrives() & (1u << (d - L'A')))) {
            missingDrive = std::wstring(1, d) + L":\\Korvane";
            break;
        }
    struct Case {
        const char* what;
        std::vector<std::wstring> args;
        std::function<void()> prepare;
        int code;
        std::wstring logged;  // a message the log must hold
    };
    const Case cases[] = {
        {"no licence switch", {}, [] {}, kExitFailed, L"/acceptlicense"},
        {"unknown switch", {L"/acceptlicense", L"/frobnicate"}, [] {}, kExitBadSwitch, SetupUsage()},
        {"bad value", {L"/acceptlicense", L"/desktop=everyone"}, [] {}, kExitBadSwitch, L"/desktop"},
        {"refused spelling", {L"/acceptlicense", L"/dir=" + root + L"\\My Apps \\Korvane"}, [] {}, kExitFailed,
         UnusableFolderMessage(root + L"\\My Apps \\Korvane")},
        {"missing drive", {L"/acceptlicense", L"/dir=" + missingDrive}, [] {}, kExitFailed,
         FolderNotCreatedMessage(missingDrive)},
        {"relative folder", {L"/acceptlicense", L"/dir=D"}, [] {}, kExitFailed, FolderNotCreatedMessage(L"D\\Korvane")},
        {"folder of other files", {L"/acceptlicense"}, [&] { MakeFolder(target); WriteAll(target + L"\\report.doc", "mine"); }, kExitFailed,
         L"/allownonempty"},
        {"read-only package", {L"/acceptlicense"}, [&] { MakeFolder(package + L"\\testrights.txt"); }, kExitFailed,
         InstallRightsMessage()},
        {"scripting runtime", {L"/acceptlicense"},
         [&] {
             TheHost().createScriptingObject = [] { return false; };
             TheHost().runAndWait = [](const std::wstring&) { return false; };
         },
         kExitFailed, ScriptingRuntimeMessage(system)},
        {"a user profile", {L"/acceptlicense", L"/dir=" + UsersFolder()}, [] {}, kExitFailed,
         GuardedFolderMessage(UsersFolder() + L"\\Korvane", L"it is a user profile")},
        {"too long to uninstall from", {L"/acceptlicense", L"/dir=" + TooLong(root)}, [] {}, kExitFailed,
         FolderTooLongMessage(TooLong(root))},
        {"no all users' Start Menu", {L"/acceptlicense", L"/startmenu=allusers"}, [&] { RemoveAll(commonPrograms); },
         kExitFailed, commonPrograms},
    };
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ::SetCurrentDirectoryW(root.c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        EXPECT_EQ(Quiet(c.args), c.code);
        const std::string log = Log();
        EXPECT_NE(log.find(Logged(c.logged)), std::string::npos) << log;
        EXPECT_NE(log.find("Nothing was installed."), std::string::npos) << log;
        EXPECT_FALSE(FileThere(target + L"\\Korvane.exe"));
        EXPECT_FALSE(FolderThere(root + L"\\D"));
        EXPECT_FALSE(FolderThere(root + L"\\My Apps "));
        EXPECT_FALSE(EntryThere());
        EXPECT_EQ(Module().InstalledItems, std::vector<std::wstring>{L""});
        EXPECT_TRUE(started.empty());
        EXPECT_EQ(lastUnloads, 0);
        EXPECT_TRUE(dialogs.Shown().empty());
        // Back to a computer where the installation could go on.
        TheHost().createScriptingObject = nullptr;
        TheHost().runAndWait = [](const std::wstring&) { return true; };
        ::RemoveDirectoryW((package + L"\\testrights.txt").c_str());
        MakeFolder(commonPrograms);
    }
    ::SetCurrentDirectoryW(current);
    EXPECT_EQ(ReadAll(target + L"\\report.doc"), "mine");

    // The folder of other files is used when the switch allows it; they stay.
    EXPECT_EQ(Quiet({L"/acceptlicense", L"/allownonempty"}), kExitSuccess);
    EXPECT_TRUE(FileThere(target + L"\\Korvane.exe"));
    EXPECT_EQ(ReadAll(target + L"\\report.doc"), "mine");

    // A log that cannot be written: nothing is done at all.
    RemoveAll(target);
    EXPECT_EQ(Quiet({L"/acceptlicense", L"/log=" + root + L"\\no such folder\\setup.log"}), kExitBadSwitch);
    EXPECT_FALSE(FolderThere(target));
}

TEST_F(QuietTest, AFileThatCouldNotBeCopiedMakesTheInstallationIncomplete) {
    const std::wstring target = programFiles + L"\\Korvane";
    ::DeleteFileW((support + L"\\Skull.ico").c_str());
    EXPECT_EQ(Quiet({L"/acceptlicense", L"/startmenu=none", L"/desktop=none"}), kExitFailed);
    EXPECT_NE(Log().find(Logged(IncompleteInstallationMessage({target + L"\\Skull.ico"}))), std::string::npos)
        << Log();
    // The rest is installed and recorded, the missing file too, so the uninstaller takes
    // back everything.
    EXPECT_TRUE(FileThere(target + L"\\Korvane.exe"));
    EXPECT_TRUE(EntryThere());
    EXPECT_NE(ReadAll(kv::install::InstallLogPath(target)).find("Skull.ico"), std::string::npos);
    EXPECT_TRUE(started.empty());
}

}  // namespace kvtest
