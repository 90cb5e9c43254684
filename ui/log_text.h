// What the action log viewer does with the bytes of KVL.txt: split them into stored lines,
// decode them into the text shown in the box, decide whether to offer a truncation, and
// produce the truncated log. Works on the raw file content in memory; reading and writing the
// files is the window's business.
//
// Lines are read as a sequential text reader reads them: a line ends at CR LF, at a lone CR,
// or (for logs touched by other tools) at a lone LF; a last line without an ending still
// counts; an empty file has no lines, and a file ending in a line break has no empty line
// after it. An empty line in the middle is an (empty) entry like any other.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// More entries than this bring the truncation offer when the log is opened.
inline constexpr std::size_t kLogOfferThreshold = 1000;
// A truncation keeps this many of the newest entries.
inline constexpr std::size_t kLogKeptEntries = 300;

inline constexpr std::wstring_view kLogLoadingText = L"Loading Log File...Please Be Patient\r\n";
inline constexpr std::wstring_view kNoLogFileFound = L"No Log File Found.";
inline constexpr std::wstring_view kLogTruncationOffer =
    L"There is more than 1000 entries in your log file.\r"
    L"It is recommended that you truncate your log file now.\r"
    L"This process will delete all old data in the log file, except for the most recent 300 actions.\r"
    L"\r"
    L"Would you like to truncate the log file now?";
inline constexpr std::wstring_view kLogTruncateConfirm =
    L"This process will delete all but the most recent 300 actions.\rWould you like to continue?";
inline constexpr std::wstring_view kNoTruncationNecessary = L"Less than 300 entries.  No truncation was necessary.";
inline constexpr std::wstring_view kTruncationComplete = L"Truncation Complete.";
inline constexpr std::wstring_view kLogFilePrinted = L"Log File Printed.";
inline constexpr std::wstring_view kLogPrintTitle = L"Kor-Vane Log File";
inline constexpr std::wstring_view kLogPrintedPrefix = L"Printed: ";
// First lines of the messages for a print or truncation that did not happen and a log that
// could not be read; the reason follows on the next line.
inline constexpr std::wstring_view kLogNotPrinted = L"The log file could not be printed.";
inline constexpr std::wstring_view kLogNotTruncated = L"The log file could not be truncated. It was left as it was.";
inline constexpr std::wstring_view kLogNotRead = L"The log file could not be read.";

// The stored lines of the log, without their line endings, oldest first. The views point
// into raw.
std::vector<std::string_view> SplitLogLines(std::string_view raw);

// A NUL decoded from a damaged line (bytes 0 and 1 halve to it) is shown as this.
inline constexpr wchar_t kLogNulShownAs = L'\uFFFD';

struct LogView {
    std::wstring text;        // every entry decoded, each followed by CR LF
    std::size_t entries = 0;  // number of lines read
};

// The viewer's text for the whole log. Linear in the size of the log.
LogView BuildLogView(std::string_view raw);

// Whether opening a log of this many entries offers the truncation (1000 itself does not).
constexpr bool OffersTruncation(std::size_t entries) { return entries > kLogOfferThreshold; }

// The content of the log after a truncation: the 300 newest lines exactly as stored, each
// followed by CR LF. Empty when the log has 300 lines or fewer and nothing needs doing.
std::optional<std::string> TruncatedLogContent(std::string_view raw);

// The temporary file a truncation writes before it replaces the log: every ".txt" of the
// file name (case-sensitive) becomes "TEMP.txt", so ...\KVL.txt gives ...\KVLTEMP.txt in the
// same folder. The folders of the path are never touched; a name without ".txt" gets
// "TEMP.txt" appended, so the temporary path never equals the log's own.
std::wstring LogTempPath(std::wstring_view logPath);

}  // namespace kv
