// Documents handed to the program on its command line: how the line is read, and that the
// log-in processes them as one dropped run after it succeeds and never when cancelled.
#include "harness.h"

#include "app/Main.h"
#include "core/Globals.h"
#include "app/Pipeline.h"
#include "users/frmLogIn.h"
#include "win/app.h"
#include "win/form.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using kv::frmLogIn;
using kv::win::TheForm;

using CommandLine = KorvaneTest;

TEST_F(CommandLine, QuotedPathsKeepTheirBlanksAndRelativeOnesBecomeFull) {
    EXPECT_TRUE(G::CommandLineDocuments(L"\"C:\\Program Files\\Korvane\\Korvane.exe\"").empty());
    EXPECT_TRUE(G::CommandLineDocuments(L"Korvane.exe   ").empty());
    EXPECT_TRUE(G::CommandLineDocuments(L"").empty());

    const auto two = G::CommandLineDocuments(
        L"\"C:\\Program Files\\Korvane\\Korvane.exe\" \"C:\\My Documents\\a report.doc\" C:\\b.doclocked");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0], L"C:\\My Documents\\a report.doc");
    EXPECT_EQ(two[1], L"C:\\b.doclocked");

    // A name typed in a console is taken in the current folder, so the log names it whole.
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ::SetCurrentDirectoryW(folder.Path().c_str());
    const auto relative = G::CommandLineDocuments(L"Korvane.exe notes.txt");
    ::SetCurrentDirectoryW(current);
    ASSERT_EQ(relative.size(), 1u);
    EXPECT_EQ(relative[0], folder.File(L"notes.txt"));
}

TEST_F(CommandLine, TheLogInProcessesTheHandedDocumentsAsOneDropAfterItSucceeds) {
    G::Users = {kv::DefaultAdministrator()};
    const std::wstring a = folder.File(L"a b.txt"), b = folder.File(L"c.txt");
    WriteBytes(a, {'H', 'i'});
    WriteBytes(b, {'X'});

    auto& form = TheForm<frmLogIn>();
    form.Load();
    form.ShowMain = true;
    form.HandedDocuments = {a, b, folder.File(L"vanished.txt")};
    form.Show();
    Pump();
    EXPECT_FALSE(Exists(a + L"locked"));  // nothing before the log-in

    // A wrong password keeps them for the next try.
    TypeText(form.txtPassword.hwnd(), L"wrong");
    dialogs.ExpectMessage(L"Invalid Password");
    Click(form.cmdLogIn.hwnd());
    Pump();
    EXPECT_TRUE(Exists(a));
    TypeText(form.txtPassword.hwnd(), L"");

    // The one summary of one run; the vanished path is skipped as in any drop.
    dialogs.ExpectMessage(L"2 files encrypted.");
    Click(form.cmdLogIn.hwnd());
    for (int i = 0; i < 20 && !dialogs.AllConsumed(); ++i) Pump();
    EXPECT_TRUE(dialogs.AllConsumed());
    EXPECT_FALSE(kv::Pipeline::RunInProgress());
    EXPECT_TRUE(Exists(a + L"locked"));
    EXPECT_TRUE(Exists(b + L"locked"));
    EXPECT_FALSE(Exists(a));
    const auto log = CrLfLines(G::LogFilePath, /*halve=*/true);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("ENCRYPTED FILE: " + Narrow(a)), std::string::npos);
    EXPECT_NE(log[1].find("ENCRYPTED FILE: " + Narrow(b)), std::string::npos);
}

TEST_F(CommandLine, CancelAtTheLogInProcessesNothing) {
    G::Users = {kv::DefaultAdministrator()};
    const std::wstring a = folder.File(L"a.txt");
    WriteBytes(a, {'H', 'i'});
    auto& form = TheForm<frmLogIn>();
    form.Load();
    form.ShowMain = true;
    form.HandedDocuments = {a};
    form.Show();
    Pump();
    Click(form.Cancel.hwnd());
    for (int i = 0; i < 5; ++i) Pump();
    EXPECT_TRUE(dialogs.Shown().empty());
    EXPECT_TRUE(Exists(a));
    EXPECT_FALSE(Exists(a + L"locked"));
    EXPECT_FALSE(Exists(G::LogFilePath));
}

}  // namespace
}  // namespace kvtest
