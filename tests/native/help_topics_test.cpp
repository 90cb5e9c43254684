#include "ui/help_topics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The help word for word, misspellings and doubled blanks included; "\r\n\r\n" leaves one
// empty line between paragraphs.
constexpr const wchar_t* kParagraphBreak = L"\r\n\r\n";
const std::pair<std::wstring, std::wstring> kExpected[] = {
    {L"Overview",
     L"Kor-Vane is a document security system that uses encryption to "
     L"keep your sensitive documents secure.  Passwords are required to decrypt documents "
     L"and all encyption or decryption actions are recorded in a log.  Encrypted "
     L"files can not be opened, viewed, or printed.  Decrypting a document requires a password."},
    {L"Encrypting and Decrypting",
     std::wstring(L"To encrypt a file, open Kor-Vane and log in.  Then locate the file using "
                  L"Windows Explorer.  Drag and Drop the file onto the green box in the Kor-Vane screen.  "
                  L"The file will be encrypted automatically.") +
         kParagraphBreak +
         L"Decrypting a file works the same way.  Locate the encrypted file, "
         L"and Drag and Drop onto the green box." +
         kParagraphBreak +
         L"Kor-Vane automatically recognizes weather a file is encrypted or not.  "
         L"When a file that in not encrypted is dropped onto the green box, it will be encrypted.  When "
         L"a file that has already been encrypted is dropped onto the green box, it will be decrypted."},
    {L"Regular Vs. Quick-Drop Mode",
     std::wstring(
         L"Regular Mode -- The main screen has a built-in file locator and several buttons.  You can click the Browse button "
         L"to locate a file.  When you select a file, you can click the Encrypt\\Decrypt button to process the file you selected.  It "
         L"also has a green box where you can Drag and Drop files for processing.  It behaves like a regular window, and is best for "
         L"processing one file at a time.") +
         kParagraphBreak +
         L"Quick-Drop Mode -- The main screen is very small.  There is only a green box, "
         L"and an Options menu.  This window will always stay on top of other windows, making it ideal for processing multiple files "
         L"at a time, or files from multiple folders.  The window will not get 'burried' under other windows as you explore you computer "
         L"looking for files to encrypt or decrypt."},
    {L"Configuring Users",
     std::wstring(L"Initally, the program has one user named Admin with a blank password.  It is strongly recommended that "
                  L"you assign a password to the Admin user, and any other Kor-Vane user you create.") +
         kParagraphBreak +
         L"Creating Users -- First, log into Kor-Vane as an Administrator.  Find the menu item 'Users' and click it.  "
         L"The main Users screen will open.  At the top of this screen, click the 'File' menu, and choose 'Add New User'.  You will be "
         L"prompted to enter then name for the new user.  The new user account is now ready for you to configure." +
         kParagraphBreak +
         L"Changing a Password -- From the Users screen, change the password in the password box.  Click the 'Save' "
         L"button.  You will be prompted to confirm the new passord.  Once you re-type the password to confirm it, the password is changed." +
         kParagraphBreak +
         L"Is Administrator -- This option determines weather or not a user can preform administrative tasks, such as "
         L"makes changes to other user accounts, creating user accounts, and viewing the Action Log." +
         kParagraphBreak +
         L"Start in Easy-Drop Mode -- If this option is checked, the Easy-Drop screen is show after logging in, instead of the "
         L"Regular Mode screen." +
         kParagraphBreak +
         L"View Decrypted Files -- After files are decrypted, you can be automatically shown the files, or be prompted to select which files to view.  "
         L"If you choose to be prompted, you will also be asked to select your 'Default Selection'.  This feature is used when multiple files are decrypted at one time. "
         L"All files that were decrypted will appear in a list.  'ALL' will automatically select each file for viewing.  'NONE' will not select any files for viewing.  You can "
         L"select or unselect any files you wish, and the click 'OK'." +
         kParagraphBreak +
         L"NOTE: If a user is not an Administrator, they can make changes to thier own account, but not to ohter user accounts."},
    {L"The Action Log",
     L"Each time a file is encrypted or decrypted, an entry is made in the Action Log.  This is "
     L"a way for you to keep track of which users are decrypting and encrypting files.  To view the Action Log, you must log in to Kor-Vane as an "
     L"Administrator.  Then locate the 'View Log' menu item and click it.  The log will be displayed in a window.  For added security, the log is stored on the computer "
     L"using special encryption, and can not be viewed outside Kor-Vane, and can not be decrypted by Kor-Vane like other files.  You can print the Action Log by viewing the log "
     L"and using the 'File' then 'Print' menu item."},
};

std::wstring Cased(std::wstring_view s, bool upper) {
    std::wstring out(s);
    for (wchar_t& c : out) {
        if (upper && c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
        if (!upper && c >= L'A' && c <= L'Z') c = wchar_t(c - L'A' + L'a');
    }
    return out;
}

TEST(HelpTopics, EachTopicInListOrderWordForWordAndReachedByItsNameInAnyCase) {
    const auto topics = kv::HelpTopics();
    ASSERT_EQ(topics.size(), std::size(kExpected));
    for (std::size_t i = 0; i < topics.size(); ++i) {
        const auto& [title, text] = kExpected[i];
        SCOPED_TRACE(testing::PrintToString(title));
        EXPECT_EQ(std::wstring(topics[i].title), title);
        EXPECT_EQ(std::wstring(topics[i].text), text);
        // The window matches the chosen name in upper case against the key.
        EXPECT_EQ(std::wstring(topics[i].key), Cased(title, true));
        for (const std::wstring& chosen : {title, Cased(title, true), Cased(title, false)})
            EXPECT_EQ(std::wstring(kv::HelpTextFor(chosen)), text);
    }
}

TEST(HelpTopics, ANameThatMatchesNoKeyShowsNothing) {
    for (const wchar_t* chosen : {L"Overview ", L" Overview", L"Users", L"", L"OVERVIEWS"})
        EXPECT_TRUE(kv::HelpTextFor(chosen).empty()) << testing::PrintToString(std::wstring(chosen));
}

TEST(AboutWords, WordForWord) {
    const kv::AboutWords& w = kv::kAboutWords;
    const std::pair<std::wstring_view, std::wstring> words[] = {
        {w.maker, L"Oranvel Software"},          {w.titleCaption, L"Program Title:"},
        {w.title, L"Korvane"},                   {w.virtualCaption, L"Virtual Version:"},
        {w.virtualVersion, L"1.0"},              {w.hardCaption, L"Hard Version:"},
        {w.websiteCaption, L"Oranvel Website:"}, {w.supportCaption, L"Questions, Comments, Tech Support:"},
    };
    for (const auto& [shown, expected] : words) EXPECT_EQ(std::wstring(shown), expected);
}

}  // namespace
