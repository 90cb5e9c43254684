#include "core/action_log_writer.h"

#include <string>

#include "core/DataLock.h"
#include "core/Globals.h"
#include "core/action_log.h"
#include "win/files.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {
namespace {

constexpr int kSharingRetries = 5;
constexpr DWORD kSharingPauseMs = 40;

std::wstring DateText(const SYSTEMTIME& time) {
    wchar_t buffer[128] = {};
    const int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, 128, nullptr);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n - 1)) : std::wstring();
}

std::wstring TimeText(const SYSTEMTIME& time) {
    wchar_t buffer[128] = {};
    const int n = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, buffer, 128);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n - 1)) : std::wstring();
}

HANDLE OpenLog(const std::wstring& path) {
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0;; ++attempt) {
        // Others may read the log meanwhile, nobody may write it: seeking to the end and
        // writing there is then one step.
        h = ::CreateFileW(win::LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        const DWORD err = ::GetLastError();
        if ((err != ERROR_SHARING_VIOLATION && err != ERROR_LOCK_VIOLATION) || attempt >= kSharingRetries) break;
        ::Sleep(kSharingPauseMs);
    }
    return h;
}

}  // namespace

std::wstring LogStampFor(const SYSTEMTIME& time) {
    const bool midnight = time.wHour == 0 && time.wMinute == 0 && time.wSecond == 0;
    return FormatLogStamp(DateText(time), TimeText(time), midnight);
}

LogWriteResult AppendLogEntry(std::wstring_view action, std::wstring_view path) {
    return AppendLogEntry(Globals::CurrentUserRecord().UserName, action, path);
}

LogWriteResult AppendLogEntry(std::wstring_view userName, std::wstring_view action, std::wstring_view path) {
    LogWriteResult result;
    if (userName.empty()) {
        result.written = false;
        result.reason = L"No user is logged in.";
        return result;
    }
    auto fail = [&](DWORD err) {
        result.written = false;
        result.reason = win::SystemErrorText(err);
        return result;
    };
    try {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        const std::wstring entry = ComposeLogEntry(LogStampFor(now), userName, action, path);
        const std::string line = StoredLogLine(entry);

        const DataFileLock lock(Globals::LogFilePath, kLogLockPatienceMs);
        if (!lock.Acquired()) return fail(ERROR_LOCK_VIOLATION);
        win::UniqueFile file(OpenLog(Globals::LogFilePath));
        if (!file) return fail(::GetLastError());
        LARGE_INTEGER end{};
        if (!::SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END)) return fail(::GetLastError());
        DWORD written = 0;
        if (!::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size()) {
            const DWORD err = written != line.size() && ::GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL
                                                                                          : ::GetLastError();
            // A half-written line would run into the next entry: cut it off again.
            ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
            ::SetEndOfFile(file.get());
            return fail(err);
        }
    } catch (...) {
        result.written = false;
        result.reason.clear();
    }
    return result;
}

}  // namespace kv
