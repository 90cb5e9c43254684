// Shared pieces of the Windows tests: a fresh data folder per test, program state reset,
// and driving controls through the messages a user's actions produce.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scripted_dialogs.h"

namespace kvtest {

// A new empty folder under the temporary folder, removed with its content at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::vector<std::uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
bool Exists(const std::wstring& path);
// The lines of a file ended by CR LF, each without it; with `halve` every byte is halved, as
// the log's plain rule decodes. Fails the test when the file does not end in CR LF.
std::vector<std::string> CrLfLines(const std::wstring& path, bool halve = false);
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// User actions as window messages.
void Click(HWND button);                          // BM_CLICK
void TypeText(HWND control, const std::wstring& text);  // WM_SETTEXT
void PressKey(HWND control, UINT key);            // WM_KEYDOWN / WM_KEYUP
void ChooseComboItem(HWND combo, int index);      // CB_SETCURSEL + CBN_SELCHANGE
std::wstring WindowText(HWND hwnd);
std::wstring WindowClass(HWND hwnd);
void Pump();                                      // lets pending messages run
// Saves the whole screen as a BMP into the folder named by KV_SHOTS, when it is set; used to
// look at the windows under Xvfb.
void SaveScreenForReview(const std::wstring& name);

// Each test starts with no forms loaded, a fresh data folder set as the program folder,
// an empty user store in memory and CurrentUser 0; the scripted dialogs are in place.
class KorvaneTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempFolder folder;
    ScriptedDialogs dialogs;
    int lastFormUnloads = 0;  // how many times the last window went away
};

}  // namespace kvtest
