// Setup's rules that need no window: the installation folder's change rule, the test
// that a folder is absolute and the spellings refused, the levels a folder path is created in, the default folder,
// the progress bar's panel position, the registration command line, the shortcut name
// rule and the texts of Setup's messages.
#pragma once

#include <string>
#include <vector>

#include "shared/path_rules.h"

namespace kv::setup {

// The product folder name every installation folder ends in.
inline constexpr const wchar_t* kProductFolder = L"Korvane";

// txtInstallPath's change rule: an empty text, or one that ends in "Korvane" (case
// matters), is left alone; otherwise "Korvane" is appended after a trailing "\" and
// "\Korvane" after anything else.
std::wstring InstallPathAfterChange(const std::wstring& text);

// A folder that names where it is without a current folder: a drive letter, colon and
// backslash ("C:\..."), or a network share ("\\server\share..."). "D\Korvane", "D:Korvane"
// and "\Korvane" are not.
bool IsAbsoluteFolder(const std::wstring& path);

// The paths CreateFolderPath tests and creates, in order: the first piece of the path
// (the drive, "C:"), then each further level. A network path starts at its share
// ("\\server\share"), which can be tested but never created.
std::vector<std::wstring> FolderLevels(const std::wstring& path);

// The options page's default folder, by which of the candidates exists.
std::wstring DefaultInstallPath(const std::wstring& programFilesFolder, bool programFilesExists,
                                bool cProgramFilesExists, bool cRootExists, const std::wstring& setupFolder);

// Picture2.Left for a bar value: Picture1's width / 100 x value, to the nearest twip,
// for a value above 0; else 0.
int ScrollBarLeft(int trackWidth, int value);

// "regsvr32 /s " and the quoted path.
std::wstring RegisterCommandLine(const std::wstring& componentPath);

// A link path ends in ".lnk" or ".url" (any case); ".lnk" is appended otherwise.
std::wstring ShortcutFileName(const std::wstring& linkPath);

// Removes blanks at both ends (the installers' one rule).
using install::TrimBlanks;

// A folder text Setup refuses outright: a device form ("\\?\...", "\\.\...") or a part
// (other than "." and "..") that ends in a blank or a full stop. Windows drops such endings
// when it makes the folder, so the folder made would not be the folder named, and the
// uninstaller would never take it back.
bool RefusedFolderText(const std::wstring& text);

// Message texts, with a carriage return between lines as the message boxes show them.
std::wstring NoFolderMessage();
std::wstring FolderNotCreatedMessage(const std::wstring& folder);
std::wstring UnusableFolderMessage(const std::wstring& folder);
// The folder is one the uninstaller would refuse to take back whole, for `reason`.
std::wstring GuardedFolderMessage(const std::wstring& folder, const std::wstring& reason);
// The folder's path is longer than the uninstaller can be started from.
std::wstring FolderTooLongMessage(const std::wstring& folder);
// Another Setup of Korvane is running.
std::wstring AnotherSetupMessage();
// Asked (Yes/No) before installing into a folder that already holds other files.
std::wstring OccupiedFolderQuestion(const std::wstring& folder);
// What could not be installed, one line each, when an installation ends incomplete.
std::wstring IncompleteInstallationMessage(const std::vector<std::wstring>& notInstalled);
std::wstring ScriptingRuntimeMessage(const std::wstring& systemFolder);
std::wstring InstallRightsMessage();

}  // namespace kv::setup
