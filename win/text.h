// Text conversions and system error texts for the Windows side.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kv::win {

// The ANSI code page (CP_ACP) in which the data files are written.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

// The OEM code page, in which the command interpreter reads batch files; nothing when a
// character has no form there.
std::optional<std::string> ToOem(std::wstring_view text);

std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view text);

// "Access is denied." and the like, without the trailing line end.
std::wstring SystemErrorText(DWORD code);

}  // namespace kv::win
