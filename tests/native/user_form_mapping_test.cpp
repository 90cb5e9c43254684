// How the user windows show a record and store it back, and which texts they refuse.
#include <gtest/gtest.h>

#include "users/user_form_mapping.h"

namespace kv {
namespace {

TEST(UserFormMapping, AfterDecryptTextsBothWays) {
    EXPECT_EQ(AfterDecryptText(1), L"Always");
    EXPECT_EQ(AfterDecryptText(2), L"Never");
    EXPECT_EQ(AfterDecryptText(0), L"Prompt Me");
    EXPECT_EQ(AfterDecryptText(3), L"Prompt Me");   // a value written by hand
    EXPECT_EQ(AfterDecryptText(-1), L"Prompt Me");

    EXPECT_EQ(AfterDecryptFromText(L"Always"), 1);
    EXPECT_EQ(AfterDecryptFromText(L"Never"), 2);
    EXPECT_EQ(AfterDecryptFromText(L"Prompt Me"), 0);
    // Only the exact entry texts count; anything else is "Prompt Me".
    EXPECT_EQ(AfterDecryptFromText(L"always"), 0);
    EXPECT_EQ(AfterDecryptFromText(L"Never "), 0);
    EXPECT_EQ(AfterDecryptFromText(L""), 0);

    for (const auto& text : AfterDecryptChoices()) EXPECT_EQ(AfterDecryptText(AfterDecryptFromText(text)), text);
}

TEST(UserFormMapping, DefaultSelectionPairFollowsPromptMe) {
    EXPECT_TRUE(ShowsDefaultSelection(L"Prompt Me"));
    EXPECT_TRUE(ShowsDefaultSelection(L"PROMPT me"));
    EXPECT_FALSE(ShowsDefaultSelection(L"Always"));
    EXPECT_FALSE(ShowsDefaultSelection(L"Never"));
    EXPECT_FALSE(ShowsDefaultSelection(L""));
    EXPECT_FALSE(ShowsDefaultSelection(L"Prompt Me "));

    EXPECT_EQ(DefaultSelectionFromText(L"none"), L"NONE");
    EXPECT_EQ(DefaultSelectionFromText(L"All"), L"ALL");
    EXPECT_EQ(DefaultSelectionFromText(L""), L"");
}

TEST(UserFormMapping, RecordToWindowAndBack) {
    UserRecord user = NewUserRecord(L"Bob");
    user.Password = L"pw";
    user.AllowDecrypt = false;
    user.StartEasyDrop = true;
    user.AfterDecrypt = 2;
    user.DefaultSelection = L"NONE";
    const UserSettings shown = SettingsFromRecord(user);
    EXPECT_EQ(shown, (UserSettings{L"pw", 1, 0, 0, 1, L"Never", L"NONE"}));

    UserRecord back;
    back.UserName = L"Bob";
    StoreSettings(back, shown, Rights::Store);
    EXPECT_EQ(back, user);

    // Greyed boxes are not checked; the password is trimmed; the selection upper-cased.
    StoreSettings(back, {L"  new pw ", 2, 1, 2, 2, L"Always", L"all"}, Rights::Store);
    EXPECT_EQ(back.Password, L"new pw");
    EXPECT_FALSE(back.AllowEncrypt);
    EXPECT_TRUE(back.AllowDecrypt);
    EXPECT_FALSE(back.IsAdmin);
    EXPECT_FALSE(back.StartEasyDrop);
    EXPECT_EQ(back.AfterDecrypt, 1);
    EXPECT_EQ(back.DefaultSelection, L"ALL");

    // The own-account window stores preferences only, never rights.
    UserRecord admin = DefaultAdministrator();
    StoreSettings(admin, {L"x", 0, 0, 0, 1, L"Prompt Me", L"NONE"}, Rights::Keep);
    EXPECT_TRUE(admin.IsAdmin && admin.AllowEncrypt && admin.AllowDecrypt);
    EXPECT_TRUE(admin.StartEasyDrop);
    EXPECT_EQ(admin.DefaultSelection, L"NONE");
}

TEST(UserFormMapping, OnlyARealPasswordChangeNeedsConfirmation) {
    EXPECT_FALSE(NeedsConfirmation(L"", L"old"));        // clearing
    EXPECT_FALSE(NeedsConfirmation(L"SECRET", L"secret"));  // case only
    EXPECT_FALSE(NeedsConfirmation(L"same", L"same"));
    EXPECT_TRUE(NeedsConfirmation(L"new", L"old"));
    EXPECT_TRUE(NeedsConfirmation(L"new", L""));
    EXPECT_TRUE(NeedsConfirmation(L"secret2", L"secret"));
}

TEST(UserFormMapping, TextsTheStoreCannotHoldAreRefused) {
    EXPECT_EQ(StoreRefusal(StoreField::UserName, L"Bob Smith", true), std::nullopt);
    EXPECT_EQ(StoreRefusal(StoreField::Password, L"a,b\"c", true), std::nullopt);
    for (const wchar_t* bad : {L"a|b", L"a\rb", L"a\nb", L"|"}) {
        EXPECT_EQ(StoreRefusal(StoreField::UserName, bad, true),
                  L"Invalid User Name.\rA user name can not contain \"|\" or a line break.");
        EXPECT_EQ(StoreRefusal(StoreField::Password, bad, true),
                  L"Invalid Password.\rA password can not contain \"|\" or a line break.");
    }
    EXPECT_EQ(StoreRefusal(StoreField::UserName, L"x", false),
              L"Invalid User Name.\rA user name can only contain characters of this computer's code page.");
    EXPECT_EQ(StoreRefusal(StoreField::Password, L"x", false),
              L"Invalid Password.\rA password can only contain characters of this computer's code page.");
}

}  // namespace
}  // namespace kv
