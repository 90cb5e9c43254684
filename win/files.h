// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/file_status.h"

namespace kv::win {

// The status of a failed Win32 call: its kind, its code, and the system's words for it,
// after `what` ("could not be read: ...") when one is given.
FsStatus StatusOf(DWORD code, const std::wstring& what = {});

// The path as the file functions take it: long absolute paths get the \\?\ form.
std::wstring LongPath(const std::wstring& path);

// A regular file (not a folder) exists at the path; hidden and system files count.
bool FileExists(const std::wstring& path);

// Reads the whole file into memory; never writes.
FsStatus ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);

// The one writer of the programs' data files: the bytes go to a working file beside `path`
// (`tempPath`, or path + ".kvtmp" when empty) that carries the delete-on-close mark from
// its creation, are flushed to disk, and the file then takes the place of `path` in one
// step. On failure, a full disk or the program's death, the old file is untouched and no
// working file remains.
FsStatus WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes,
                             const std::wstring& tempPath = {});

// Folder of the running program file; a drive root keeps its separator ("C:\").
std::wstring ProgramFolder();
// The running program file's full path, and its name without folder and extension.
std::wstring ProgramPath();
std::wstring ProgramName();

}  // namespace kv::win
