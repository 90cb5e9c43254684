// The user store on disk: first and later runs, damaged and locked files, crash-safe saves.
#include "harness.h"

#include <random>


#include "app/Main.h"
#include "core/Globals.h"
#include "users/AppFunctions.h"
#include "users/frmLogIn.h"
#include "win/app.h"
#include "win/files.h"
#include "win/form.h"

namespace kvtest {
namespace {

namespace G = kv::Globals;
using Bytes = std::vector<std::uint8_t>;

const std::wstring kWelcome =
    L"Welcome to Korvane.\rA default user has been created for you:\rYour User Name is Admin\r"
    L"Use a blank password to Log-In";

Bytes Ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The store encoding written the long way, one word at every position, independent of
// the program's transform.
Bytes EncodeByHand(Bytes b) {
    const size_t n = b.size();
    if (n == 0) return b;
    b.resize(n + 3, 0);
    for (size_t i = 0; i < n; ++i) {
        std::uint32_t w = b[i] | b[i + 1] << 8 | b[i + 2] << 16 | std::uint32_t(b[i + 3]) << 24;
        w += 2;
        for (int k = 0; k < 4; ++k) b[i + k] = static_cast<std::uint8_t>(w >> (8 * k));
    }
    return b;
}

using UserFile = KorvaneTest;

TEST_F(UserFile, FirstRunCreatesTheDefaultAdministratorAndSaysSoOnce) {
    dialogs.ExpectMessage(kWelcome);
    ASSERT_TRUE(kv::AppFunctions::LoadUserFile());
    ASSERT_EQ(G::Users.size(), 1u);
    EXPECT_EQ(G::Users[0], kv::DefaultAdministrator());
    EXPECT_EQ(ReadBytes(G::UsersFilePath), EncodeByHand(Ascii("Admin||TRUE|TRUE|TRUE|FALSE|0|ALL\r\n")));
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"KVU.txt"});

    // Second run: no message, same records, the file byte for byte as before.
    const Bytes before = ReadBytes(G::UsersFilePath);
    ASSERT_TRUE(kv::AppFunctions::LoadUserFile());
    EXPECT_EQ(G::Users, std::vector<kv::UserRecord>{kv::DefaultAdministrator()});
    EXPECT_EQ(ReadBytes(G::UsersFilePath), before);
    EXPECT_EQ(dialogs.Shown().size(), 1u);
}

TEST_F(UserFile, ReadsAStoreWrittenByAnotherProgram) {
    const std::string plain =
        "Admin|se,cr\"et|True|true|TRUE|false|1|ALL\r\n"
        "no bars on this line\r\n"
        "Bob|pw|FALSE|TRUE|yes|1|2|NONE|extra|fields\r\n"
        "Short|pw|TRUE|\r\n"
        "Odd|pw|FALSE|TRUE|TRUE|FALSE|x|ALL\r\n";
    WriteBytes(G::UsersFilePath, EncodeByHand(Ascii(plain)));
    ASSERT_TRUE(kv::AppFunctions::LoadUserFile());
    ASSERT_EQ(G::Users.size(), 4u);
    EXPECT_EQ(G::Users[0].Password, L"se,cr\"et");
    EXPECT_TRUE(G::Users[0].IsAdmin && G::Users[0].AllowEncrypt && G::Users[0].AllowDecrypt);
    EXPECT_EQ(G::Users[0].AfterDecrypt, 1);
    EXPECT_FALSE(G::Users[1].IsAdmin);
    EXPECT_TRUE(G::Users[1].AllowEncrypt);
    EXPECT_FALSE(G::Users[1].AllowDecrypt);   // "yes" is not TRUE
    EXPECT_FALSE(G::Users[1].StartEasyDrop);  // neither is "1"
    EXPECT_EQ(G::Users[1].AfterDecrypt, 2);
    EXPECT_EQ(G::Users[1].DefaultSelection, L"NONE");
    EXPECT_EQ(G::Users[2].UserName, L"Short");  // four fields: the rest read as empty
    EXPECT_TRUE(G::Users[2].IsAdmin);
    EXPECT_FALSE(G::Users[2].AllowEncrypt);
    EXPECT_EQ(G::Users[3].AfterDecrypt, 0);  // not a number
    EXPECT_TRUE(dialogs.Shown().empty());
    // Loading never rewrites the file.
    EXPECT_EQ(ReadBytes(G::UsersFilePath), EncodeByHand(Ascii(plain)));
}

TEST_F(UserFile, ADamagedOrUnreadableStoreStopsWithoutRecreatingAnything) {
    // Holds no record at all.
    const Bytes garbage = EncodeByHand(Ascii("this is not a user file\r\n"));
    WriteBytes(G::UsersFilePath, garbage);
    dialogs.ExpectMessageStartingWith(L"The user file holds no valid account:\r" + G::UsersFilePath + L"\r");
    EXPECT_FALSE(kv::AppFunctions::LoadUserFile());
    EXPECT_EQ(ReadBytes(G::UsersFilePath), garbage);

    // Empty file.
    WriteBytes(G::UsersFilePath, {});
    dialogs.ExpectMessageStartingWith(L"The user file holds no valid account:");
    EXPECT_FALSE(kv::AppFunctions::LoadUserFile());
    EXPECT_TRUE(ReadBytes(G::UsersFilePath).empty());

    // Only nameless records: nothing to offer in the log-in list.
    WriteBytes(G::UsersFilePath, EncodeByHand(Ascii("|pw|TRUE|TRUE|TRUE|FALSE|0|ALL\r\n")));
    dialogs.ExpectMessageStartingWith(L"The user file holds no valid account:");
    EXPECT_FALSE(kv::AppFunctions::LoadUserFile());

    // Random bytes, of which a few lines look like accounts: damaged all the same.
    Bytes noise(4 << 20);
    std::mt19937 rng(26);
    for (auto& b : noise) b = std::uint8_t(rng());
    WriteBytes(G::UsersFilePath, noise);
    dialogs.ExpectMessageStartingWith(L"The user file is damaged (most of it is not account lines):");
    EXPECT_FALSE(kv::AppFunctions::LoadUserFile());
    EXPECT_EQ(ReadBytes(G::UsersFilePath), noise);

    // Locked by another program.
    const Bytes good = EncodeByHand(Ascii("Admin||TRUE|TRUE|TRUE|FALSE|0|ALL\r\n"));
    WriteBytes(G::UsersFilePath, good);
    HANDLE lock = ::CreateFileW(G::UsersFilePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    dialogs.ExpectMessageStartingWith(L"The user file could not be read:\r" + G::UsersFilePath + L"\r");
    EXPECT_FALSE(kv::AppFunctions::LoadUserFile());
    ::CloseHandle(lock);
    EXPECT_EQ(ReadBytes(G::UsersFilePath), good);
}

TEST_F(UserFile, AStoreThatCannotBeCreatedIsReportedWithItsPath) {
    G::SetDataFolder(folder.File(L"no such folder"));
    dialogs.ExpectMessageStartingWith(L"The user file could not be created:\r" + G::UsersFilePath + L"\r");
    EXPECT_FALSE(kv::AppFunctions::LoadUserFile());
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

TEST_F(UserFile, SavingWritesEveryLiveRecordAndLeavesNoTemporaryFile) {
    G::Users = {kv::DefaultAdministrator(), kv::NewUserRecord(L"Bob"), kv::NewUserRecord(L"Gone")};
    G::Users[1].Password = L"a,b\"c";
    G::Users[1].AfterDecrypt = 2;
    G::Users[1].DefaultSelection = L"NONE";
    G::Users[2].UserName.clear();  // deleted during the run
    ASSERT_TRUE(kv::AppFunctions::SaveUserFile());
    EXPECT_EQ(ReadBytes(G::UsersFilePath),
              EncodeByHand(Ascii("Admin||TRUE|TRUE|TRUE|FALSE|0|ALL\r\nBob|a,b\"c|FALSE|TRUE|TRUE|FALSE|2|NONE\r\n")));
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"KVU.txt"});
}

TEST_F(UserFile, ASaveThatFailsLeavesTheOldStoreIntact) {
    G::Users = {kv::DefaultAdministrator()};
    ASSERT_TRUE(kv::AppFunctions::SaveUserFile());
    const Bytes before = ReadBytes(G::UsersFilePath);

    // Another program holds the store open without letting it be replaced: the new
    // content is written aside, but cannot take the old one's place.
    HANDLE holder = ::CreateFileW(G::UsersFilePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    G::Users.push_back(kv::NewUserRecord(L"Bob"));
    dialogs.ExpectMessageStartingWith(L"The user file could not be saved; nothing was changed:\r" +
                                      G::UsersFilePath + L"\r");
    EXPECT_FALSE(kv::AppFunctions::SaveUserFile());
    ::CloseHandle(holder);
    EXPECT_EQ(ReadBytes(G::UsersFilePath), before);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"KVU.txt"});
}

TEST_F(UserFile, EncodeAndDecodePassesOverAWholeFile) {
    const Bytes plain{0x61, 0x62, 0x63, 0x0D, 0x0A};
    const std::wstring path = folder.File(L"pass.txt");
    WriteBytes(path, plain);
    ASSERT_TRUE(kv::AppFunctions::EncodeUsersFile(path));
    EXPECT_EQ(ReadBytes(path), (Bytes{0x63, 0x64, 0x65, 0x0F, 0x0C, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(kv::AppFunctions::DecodeUsersFile(path));
    EXPECT_EQ(ReadBytes(path), plain);
    EXPECT_FALSE(kv::AppFunctions::DecodeUsersFile(folder.File(L"missing.txt")));
}

TEST_F(UserFile, StartUpPutsTheDataFilesBesideTheProgramAndShowsTheLogIn) {
    const std::wstring programFolder = kv::win::ProgramFolder();
    const std::wstring store = programFolder + L"\\KVU.txt";
    ::DeleteFileW(store.c_str());
    dialogs.ExpectMessage(kWelcome);
    kv::Globals::Main();
    EXPECT_EQ(G::UsersFilePath, store);
    EXPECT_EQ(G::LogFilePath, programFolder + L"\\KVL.txt");
    EXPECT_EQ(G::CurrentUser, 0);
    auto* logIn = kv::win::LoadedForm<kv::frmLogIn>();
    ASSERT_NE(logIn, nullptr);
    EXPECT_TRUE(logIn->Visible());
    EXPECT_TRUE(logIn->ShowMain);
    EXPECT_EQ(kv::win::LoadedFormCount(), 1);

    // Cancel right away: the program ends, nothing else opened, no action log written.
    Click(logIn->Cancel.hwnd());
    EXPECT_EQ(kv::win::LoadedFormCount(), 0);
    EXPECT_EQ(lastFormUnloads, 1);
    EXPECT_FALSE(Exists(G::LogFilePath));
    ::DeleteFileW(store.c_str());
}

}  // namespace
}  // namespace kvtest
