// The path rules Setup and the uninstaller agree on: which spellings name a folder without
// any doubt, and how two such paths compare. Setup installs only into a folder whose
// written form passes NormalPath, so the uninstaller can always take that form back.
// Paths are Windows paths held as wide strings; letter case never matters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "win/text_rules.h"

namespace kv::install {

using win::SameName;
using win::StartsWithName;
using win::TrimBlanks;

// The path in the form the rules compare: "/" read as "\", runs of "\" made one (except a
// leading "\\" of a network path), no trailing "\". Empty when the path is not a full path
// ("C:\..." or "\\server\share\..."), names a device ("\\?\", "\\.\"), or holds a "." or ".."
// part, a wildcard, a part ending in a blank or a dot (Windows drops those), or a ":" after
// its drive: such a path is never touched.
std::wstring NormalPath(std::wstring_view path);

// The path without one trailing backslash.
std::wstring WithoutTrailingBackslash(std::wstring_view path);

// The parts of a path between backslashes, empty ones dropped.
std::vector<std::wstring_view> PathParts(std::wstring_view text);

// True when `path` lies strictly below `folder` (both normal).
bool IsInside(std::wstring_view path, std::wstring_view folder);

}  // namespace kv::install
