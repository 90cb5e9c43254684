#include "core/DataLock.h"

#include "win/files.h"

namespace kv {

DataFileLock::DataFileLock(const std::wstring& dataPath, DWORD patienceMs) {
    const std::wstring path = win::LongPath(LockPathOf(dataPath));
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        handle_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (handle_) {
            acquired_ = true;
            return;
        }
        const DWORD err = ::GetLastError();
        // Held: a sharing violation; just released: the file is still on its way out and
        // refuses access until it is gone.
        const bool held = err == ERROR_SHARING_VIOLATION ||
                          (err == ERROR_ACCESS_DENIED && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!held) {
            acquired_ = true;  // nobody can hold it; see Acquired()
            return;
        }
        if (::GetTickCount64() - start >= patienceMs) return;
        ::Sleep(5);
    }
}

DataFileLock::~DataFileLock() = default;

}  // namespace kv
