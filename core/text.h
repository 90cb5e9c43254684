// Small text rules used across the program: blanks trimmed, names and passwords
// compared without regard to case.
#pragma once

#include <string>
#include <string_view>

#include "win/text_rules.h"

namespace kv {

using win::SameName;
using win::TrimBlanks;

// The text in upper case (ASCII and the Latin-1 letters), as stored words are compared.
std::wstring UpperCase(std::wstring_view text);

// True when the text ends in exactly these characters (case-sensitive).
bool EndsWith(std::wstring_view text, std::wstring_view suffix);

}  // namespace kv
