#include "shared/clsWaitableTimer.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace kv {
namespace {

std::string Narrow(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring ExeNameWithoutExtension() {
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    std::wstring path(buffer, n);
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}

[[noreturn]] void Fail(const char* what, DWORD code) {
    char text[512] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                     sizeof(text), nullptr);
    std::string description = std::string("[clsWaitableTimer.Wait]") + what + ": " + text;
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r'))
        description.pop_back();
    throw TimerError(description, code);
}

}  // namespace

TimerError::TimerError(const std::string& description, unsigned long code)
    : std::runtime_error(description), code_(code) {}

std::wstring WaitableTimerName(const std::wstring& exeNameWithoutExtension, int minute, int second) {
    wchar_t digits[8] = {};
    std::swprintf(digits, 8, L"%02d%02d", minute % 100, second % 100);
    return exeNameWithoutExtension + L"Timer" + digits;
}

clsWaitableTimer::~clsWaitableTimer() {
    if (timer_) ::CloseHandle(timer_);
    timer_ = nullptr;
}

void clsWaitableTimer::Wait(const std::int32_t& ms) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string name = Narrow(WaitableTimerName(ExeNameWithoutExtension(), now.wMinute, now.wSecond));
    timer_ = ::CreateWaitableTimerA(nullptr, TRUE, name.c_str());
    if (!timer_) Fail(" CreateWaitableTimer", ::GetLastError());
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    auto close = [this] {
        ::CloseHandle(timer_);
        timer_ = nullptr;
    };
    if (!existed) {
        LARGE_INTEGER first{};
        first.QuadPart = -1;  // one unit of 100 ns
        if (!::SetWaitableTimer(timer_, &first, 0, nullptr, nullptr, FALSE)) {
            const DWORD code = ::GetLastError();
            close();
            Fail(" SetWaitableTimer", code);
        }
    }
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
    if (!::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
        const DWORD code = ::GetLastError();
        close();
        Fail(" SetWaitableTimer", code);
    }
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &timer_, FALSE, INFINITE, 255);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (root && ::IsDialogMessageW(root, &msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_FAILED) {
            const DWORD code = ::GetLastError();
            close();
            Fail(" MsgWaitForMultipleObjects", code);
        }
    }
    close();
}

clsWaitableTimer& PauseTimer() {
    static clsWaitableTimer timer;
    return timer;
}

}  // namespace kv
