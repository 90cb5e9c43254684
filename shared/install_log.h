// The install log, the one file Setup writes and the uninstaller reads: its name, its
// header, the order of its lines and the rules by which a reader tells files from folders.
// Portable: text is handled as wide strings; the Windows side converts to and from the
// ANSI code page and adds or splits the CR LF line ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv::install {

// "KORVANE-InstallLog.txt"
inline constexpr std::wstring_view kInstallLogName = L"KORVANE-InstallLog.txt";
// The uninstaller's program file, beside the log in the installation folder.
inline constexpr std::wstring_view kUninstallerName = L"KorvaneUninstaller.exe";
// The header key, at the very start of the first line.
inline constexpr std::wstring_view kHeaderKey = L"INSTALLPATH=";

// installPath & "\" & kInstallLogName
std::wstring InstallLogPath(const std::wstring& installPath);

// The lines the writer puts into the log, without their line ends: the header, then every
// non-empty item in three groups in this order, each group in the items' order:
//   1. contains "." and its lower-case form does not contain ".lnk"  (program files)
//   2. contains "." and its lower-case form contains ".lnk"          (shortcuts)
//   3. contains no "."                                               (folders)
std::vector<std::wstring> InstallLogLines(const std::wstring& installPath, const std::vector<std::wstring>& items);

// What an earlier install log of the same installation listed that a reinstall keeps: its
// folder lines that are the installation folder, lie in it or above it (levels an earlier
// Setup created), or are the "Korvane" folder of one of `startMenus` (or lie in it), and
// its shortcut lines in one of those "Korvane" folders or directly in one of `desktops`;
// each only while `exists` says it is there and when `items` does not hold it already.
// Nothing when the earlier log names another installation folder (or none).
std::vector<std::wstring> CarriedOverItems(const std::vector<std::wstring>& earlierLog, const std::wstring& installPath,
                                           const std::vector<std::wstring>& items,
                                           const std::vector<std::wstring>& startMenus,
                                           const std::vector<std::wstring>& desktops,
                                           bool (*exists)(const std::wstring& path));

// How the uninstaller reads one line.
enum class LineKind { Header, Empty, File, Folder };
// Header: starts with "INSTALLPATH=" (case-sensitive); Empty: ""; File: contains ".";
// Folder: anything else.
LineKind ClassifyLine(std::wstring_view line);

// The header's folder: the line with every "INSTALLPATH=" removed (not trimmed).
std::wstring HeaderFolder(std::wstring_view headerLine);

// Splits a whole log (already converted to wide text) into lines as a text stream reads
// them: a line ends at CR LF or LF; a last line without an end still counts; no line is
// produced after a final line end.
std::vector<std::wstring> SplitLogLines(std::wstring_view text);

}  // namespace kv::install
