// The action log KVL.txt: composing an entry, and the line encoding that keeps the log
// unreadable in a text editor.
//
// A plain entry is
//     stamp + "   " + user name + "   " + action word + " FILE: " + path
// and is stored as EncodeLogLine(entry) followed by CR LF.
//
// Stored form (bytes; the log is written and read as bytes, no code-page conversion):
//
//   * A character of code a in 0..127 is stored as the single byte 2*a. Every such byte is
//     even, so a line of plain ASCII has exactly one byte per character, no odd byte, no
//     blank (a blank becomes '@') and no CR or LF.
//   * Three ASCII control codes would break that: 0 doubles to NUL, 5 to LF and 16 to a
//     blank. Each is stored as the two bytes 0xFF, 0x80|a (0xFF 0x80, 0xFF 0x85, 0xFF 0x90).
//   * A character outside 0..127 (accented letters, non-Latin scripts) is stored as the byte
//     0xFF followed by its UTF-8 bytes. On a 16-bit wchar_t a surrogate pair is one character
//     (four UTF-8 bytes); an unpaired surrogate is kept as its own three-byte form so that
//     any file name round-trips. On a 32-bit wchar_t a value above 0x10FFFF is not a
//     character and is stored as U+FFFD.
//
// 0xFF is odd, so the doubling never produces it, and every byte after it is 0x80 or more:
// no stored line contains NUL, LF, CR or a blank, and DecodeLogLine(EncodeLogLine(t)) == t
// for every text t. After 0xFF a byte 0x80..0xBF (never the start of a UTF-8 sequence) names
// a control code; a UTF-8 lead byte starts a character.
//
// Decoding halves every byte (an odd byte loses its low bit), so lines written by the plain
// doubling rule alone, or never encoded at all, decode exactly as they always did. A 0xFF not
// followed by a well-formed escape is halved like any other byte (it gives 0x7F).
#pragma once

#include <string>
#include <string_view>

namespace kv {

inline constexpr std::wstring_view kActionEncrypted = L"ENCRYPTED";
inline constexpr std::wstring_view kActionDecrypted = L"DECRYPTED";

// The stamp of an entry from the user's short-date and long-time texts (already formatted
// under the regional settings): "date time", or the date alone when the time is exactly
// 00:00:00.
std::wstring FormatLogStamp(std::wstring_view shortDate, std::wstring_view longTime, bool timeIsMidnight);

// stamp, three blanks, user name, three blanks, action word, " FILE: ", path.
std::wstring ComposeLogEntry(std::wstring_view stamp, std::wstring_view userName, std::wstring_view action,
                             std::wstring_view path);

// The stored bytes of one entry, without the line's CR LF.
std::string EncodeLogLine(std::wstring_view entry);

// The entry held by one stored line (given without its CR LF).
std::wstring DecodeLogLine(std::string_view stored);

// Appends the decoded line to out. Needs at most stored.size() more characters, so a caller
// that reserves ahead decodes a whole log without reallocating.
void AppendDecodedLogLine(std::wstring& out, std::string_view stored);

// What AppendLogEntry writes to the end of the log: the encoded entry and CR LF.
std::string StoredLogLine(std::wstring_view entry);

}  // namespace kv
