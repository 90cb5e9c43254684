// Writing the action log KVL.txt: one entry per document encrypted or decrypted.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kv {

struct LogWriteResult {
    bool written = true;
    std::wstring reason;  // the system's words when the entry could not be written
};

// How long an append or a truncation waits for the log's lock (DataFileLock) while
// another copy of the program holds it.
inline constexpr DWORD kLogLockPatienceMs = 10000;

// Appends one entry (stamp, user, action word, path) for the logged-in user to
// LogFilePath, opening the file for this one write only, under the log's lock so that
// no truncation running meanwhile can drop it. A log held by another program is tried
// again for a moment. The entry is written whole or not at all; a failure is returned so
// the caller can tell the user, and otherwise changes nothing. No entry is ever written
// without a user name.
LogWriteResult AppendLogEntry(std::wstring_view action, std::wstring_view path);
// The same for the user named, who was logged in when the action began.
LogWriteResult AppendLogEntry(std::wstring_view userName, std::wstring_view action, std::wstring_view path);

// The stamp of an entry taken at `time` (local): the user's short date, a blank and the
// user's long time; the date alone at exactly 00:00:00.
std::wstring LogStampFor(const SYSTEMTIME& time);

}  // namespace kv
