// The text rules all three programs share: blanks trimmed, and names and paths compared
// without regard to case as the Windows file system compares them. Header only and free of
// window code, so the portable parts (built natively for tests and fuzzing) use them too.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kv::win {

// Leading and trailing blanks (spaces only, as the classic Trim) removed.
inline std::wstring TrimBlanks(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    return std::wstring(text.substr(first, text.find_last_not_of(L' ') - first + 1));
}

// Upper case of ASCII and the Latin-1 letters: the program's conversion of stored words
// ("ALL", "PROMPT ME", "TRUE").
constexpr wchar_t UpperLetter(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 32);
    if (c == 0xFF) return static_cast<wchar_t>(0x178);
    return c;
}

// Two names (of files, folders, accounts) or paths are the same when they differ only in the
// case of letters, as the file system decides it: character by character, through the
// system's own case table, for every script. Native builds, which have no such table, fold
// ASCII and Latin-1 letters.
inline bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
#ifdef _WIN32
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
#else
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperLetter(a[i]) != UpperLetter(b[i])) return false;
    return true;
#endif
}

// `text` begins with `prefix`, letter case aside.
inline bool StartsWithName(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

}  // namespace kv::win
