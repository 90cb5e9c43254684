#include "shared/clsWaitableTimer.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "win/app.h"
#include "win/files.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {
namespace {

[[noreturn]] void Fail(const wchar_t* what, DWORD code) { throw TimerError(what, code); }

}  // namespace

TimerError::TimerError(const std::wstring& what, unsigned long code)
    : win::SystemError(L"[clsWaitableTimer.Wait]" + what, static_cast<DWORD>(code)) {}

std::wstring WaitableTimerName(const std::wstring& exeNameWithoutExtension, int minute, int second) {
    wchar_t digits[8] = {};
    std::swprintf(digits, 8, L"%02d%02d", minute % 100, second % 100);
    return exeNameWithoutExtension + L"Timer" + digits;
}

void clsWaitableTimer::Wait(const std::int32_t& ms) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string name = win::ToAnsi(WaitableTimerName(win::ProgramName(), now.wMinute, now.wSecond));
    // A pause inside a handler that runs during another pause has a timer of its own; the
    // outer pause's timer is the member again once the inner one has finished.
    HANDLE outer = timer_;
    win::KernelHandle timer(::CreateWaitableTimerA(nullptr, TRUE, name.c_str()));
    if (!timer) Fail(L" CreateWaitableTimer", ::GetLastError());
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    timer_ = timer.get();
    struct Restore {
        HANDLE& member;
        HANDLE outer;
        ~Restore() { member = outer; }
    } restore{timer_, outer};
    if (!existed) {
        LARGE_INTEGER first{};
        first.QuadPart = -1;  // one unit of 100 ns
        if (!::SetWaitableTimer(timer.get(), &first, 0, nullptr, nullptr, FALSE)) Fail(L" SetWaitableTimer", ::GetLastError());
    }
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
    if (!::SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) Fail(L" SetWaitableTimer", ::GetLastError());
    // Messages are handled once per wake (input, posted messages and tasks, timers, paint,
    // hot keys: mask 255) until the timer itself is signalled; a request to quit is kept for
    // the program's loop and the pause then only waits for its time.
    if (win::WaitHandlingMessages(timer.get(), 255, true) == WAIT_FAILED)
        Fail(L" MsgWaitForMultipleObjects", ::GetLastError());
}

clsWaitableTimer& PauseTimer() {
    static clsWaitableTimer timer;
    return timer;
}

}  // namespace kv
