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

// Appends one entry (stamp, user, action word, path) for the logged-in user to
// LogFilePath, opening the file for this one write only. A log held by another program
// is tried again for a moment. The entry is written whole or not at all; a failure is
// returned so the caller can tell the user, and otherwise changes nothing.
LogWriteResult AppendLogEntry(std::wstring_view action, std::wstring_view path);

// The stamp of an entry taken at `time` (local): the user's short date, a blank and the
// user's long time; the date alone at exactly 00:00:00.
std::wstring LogStampFor(const SYSTEMTIME& time);

}  // namespace kv
