// One lock per data file, shared by every copy of Korvane on the computer (two sessions,
// or one user starting it twice): whoever changes KVU.txt or KVL.txt holds it, so no
// copy overwrites what another has just written.
#pragma once

#include <windows.h>

#include <string>

#include "win/handle.h"

namespace kv {

// The lock of a data file is a file beside it (its path + ".lock") held open without
// sharing. It is removed by the system when its holder closes it, or dies.
class DataFileLock {
public:
    // Waits up to `patienceMs` while another copy holds the lock.
    DataFileLock(const std::wstring& dataPath, DWORD patienceMs);
    ~DataFileLock();
    DataFileLock(const DataFileLock&) = delete;
    DataFileLock& operator=(const DataFileLock&) = delete;

    // False only when another copy held the lock for the whole of the patience. A lock
    // file that cannot be made at all (a read-only folder) holds nobody back: the data
    // file itself then cannot be changed either, and that failure is reported.
    bool Acquired() const { return acquired_; }

    static std::wstring LockPathOf(const std::wstring& dataPath) { return dataPath + L".lock"; }

private:
    win::UniqueFile handle_;
    bool acquired_ = false;
};

}  // namespace kv
