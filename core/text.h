// Small text rules used across the program: blanks trimmed, names and passwords
// compared without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace kv {

// Leading and trailing blanks (spaces only, as the classic Trim) removed.
std::wstring TrimBlanks(std::wstring_view text);

// Upper case for comparisons: ASCII and the Latin-1 letters.
wchar_t UpperChar(wchar_t c);
std::wstring UpperCase(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// True when the text ends in exactly these characters (case-sensitive).
bool EndsWith(std::wstring_view text, std::wstring_view suffix);

}  // namespace kv
