// The pause between Setup's steps: a named waitable timer, messages handled while it runs,
// nothing left open afterwards.
#include <gtest/gtest.h>

#include <chrono>

#include "shared/clsWaitableTimer.h"
#include "win/app.h"

namespace {

int OpenHandles() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

TEST(WaitableTimer, NameIsTheProgramTimerAndMinuteSecond) {
    EXPECT_EQ(kv::WaitableTimerName(L"Setup", 7, 42), L"SetupTimer0742");
    EXPECT_EQ(kv::WaitableTimerName(L"KorvaneUninstaller", 59, 0), L"KorvaneUninstallerTimer5900");
}

TEST(WaitableTimer, PausesWhileMessagesAreHandledAndLeavesNoHandle) {
    kv::clsWaitableTimer timer;
    const int before = OpenHandles();
    // A zero pause returns after one pass of its loop.
    const std::int32_t zero = 0;
    timer.Wait(zero);
    EXPECT_EQ(timer.TimerHandle(), nullptr);

    // Messages posted before and during the pause are handled while it runs.
    static int ticks = 0;
    ticks = 0;
    const UINT_PTR id = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
    const std::int32_t ms = 600;
    const auto start = std::chrono::steady_clock::now();
    timer.Wait(ms);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ::KillTimer(nullptr, id);
    EXPECT_GE(took.count(), 550);  // the pause is not cut short by the messages
    EXPECT_LT(took.count(), 5000);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(ms, 600);  // the argument is not changed
    EXPECT_EQ(timer.TimerHandle(), nullptr);
    EXPECT_EQ(OpenHandles(), before);
}

TEST(WaitableTimer, ATimerOfTheSameNameIsSharedAndReArmed) {
    // Another program with this executable name pausing in the same second opens the same
    // timer; the pause still lasts its own length.
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring name = exe;
    name = name.substr(name.find_last_of(L'\\') + 1);
    name = name.substr(0, name.find_last_of(L'.'));
    HANDLE other = nullptr;
    // Hold timers for this second and the next, whichever the pause starts in.
    HANDLE next = nullptr;
    const std::wstring thisSecond = kv::WaitableTimerName(name, now.wMinute, now.wSecond);
    const int s2 = (now.wSecond + 1) % 60, m2 = s2 == 0 ? (now.wMinute + 1) % 60 : now.wMinute;
    const std::wstring nextSecond = kv::WaitableTimerName(name, m2, s2);
    std::string narrow(thisSecond.begin(), thisSecond.end()), narrow2(nextSecond.begin(), nextSecond.end());
    other = ::CreateWaitableTimerA(nullptr, TRUE, narrow.c_str());
    next = ::CreateWaitableTimerA(nullptr, TRUE, narrow2.c_str());
    ASSERT_NE(other, nullptr);
    kv::clsWaitableTimer timer;
    const std::int32_t ms = 200;
    const auto start = std::chrono::steady_clock::now();
    timer.Wait(ms);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(took.count(), 150);
    EXPECT_EQ(timer.TimerHandle(), nullptr);
    // Still signalled state of the shared timer: the pause armed it and it fired.
    EXPECT_EQ(::WaitForSingleObject(other, 0) == WAIT_OBJECT_0 || ::WaitForSingleObject(next, 0) == WAIT_OBJECT_0,
              true);
    ::CloseHandle(other);
    ::CloseHandle(next);
}

}  // namespace

namespace {

TEST(WaitableTimer, AQuitDuringAPauseIsKeptForTheProgramsLoop) {
    kv::clsWaitableTimer timer;
    ::PostQuitMessage(7);
    const std::int32_t ms = 100;
    timer.Wait(ms);
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(WaitableTimer, APauseInsideAPauseAndPostedTasksRun) {
    kv::clsWaitableTimer timer;
    const int before = OpenHandles();
    int tasks = 0;
    HANDLE innerTimer = nullptr, outerTimer = nullptr;
    // A task posted to the program runs during the pause, and pauses itself, as a click
    // handler of Setup's pages does.
    kv::win::PostToProgram([&] {
        ++tasks;
        outerTimer = timer.TimerHandle();
        const std::int32_t inner = 50;
        timer.Wait(inner);
        innerTimer = timer.TimerHandle();  // the outer pause's timer again
        kv::win::PostToProgram([&] { ++tasks; });
    });
    const std::int32_t ms = 300;
    timer.Wait(ms);
    EXPECT_EQ(tasks, 2);
    EXPECT_NE(outerTimer, nullptr);
    EXPECT_EQ(innerTimer, outerTimer);
    EXPECT_EQ(timer.TimerHandle(), nullptr);
    EXPECT_EQ(OpenHandles(), before);
}

}  // namespace
