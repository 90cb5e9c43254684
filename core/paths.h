// Where the data files live: always beside the program.
#pragma once

#include <string>

namespace kv {

// The folder of the program joined with a file name; a folder that already ends in a
// separator (a drive root such as "D:\") gets none added.
std::wstring FileInProgramFolder(const std::wstring& folder, const std::wstring& fileName);

// Where the file name of a path begins: after its last "\" or "/", else 0.
std::size_t NameStart(const std::wstring& path);

inline constexpr wchar_t kUsersFileName[] = L"KVU.txt";
inline constexpr wchar_t kLogFileName[] = L"KVL.txt";

}  // namespace kv
