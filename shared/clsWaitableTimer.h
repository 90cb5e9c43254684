// The pause that keeps the windows alive: waits on a named waitable timer and lets window
// messages run whenever any arrive. Used by Setup and the uninstaller between their steps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "win/app.h"

namespace kv {

// A failure inside Wait: its description starts with "[clsWaitableTimer.Wait]", then what
// failed and the system's words; code() holds the system's error number.
class TimerError : public win::SystemError {
public:
    TimerError(const std::wstring& what, unsigned long code);
};

class clsWaitableTimer {
public:
    clsWaitableTimer() = default;
    clsWaitableTimer(const clsWaitableTimer&) = delete;
    clsWaitableTimer& operator=(const clsWaitableTimer&) = delete;

    // Returns when `ms` milliseconds have passed (0 to 214748), window messages handled
    // meanwhile. A failure is thrown as kv::TimerError whose description starts with
    // "[clsWaitableTimer.Wait]".
    void Wait(const std::int32_t& ms);

    // The open timer, nullptr between pauses; the pause that waits on it owns it.
    HANDLE TimerHandle() const { return timer_; }

private:
    HANDLE timer_ = nullptr;
};

// The timer's name: the executable's name without extension, "Timer", then minute and
// second as four digits ("SetupTimer0742" at 10:07:42).
std::wstring WaitableTimerName(const std::wstring& exeNameWithoutExtension, int minute, int second);

// The program-wide instance (created on first use).
clsWaitableTimer& PauseTimer();

}  // namespace kv
