#include "win/process.h"

#include <vector>

#include "win/app.h"
#include "win/handle.h"

namespace kv::win {
namespace {

ProcessOutcome Start(const std::wstring& commandLine, int show, const std::wstring& folder,
                     const std::wstring& application, KernelHandle* process) {
    ProcessOutcome outcome;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());  // CreateProcessW may write to it
    line.push_back(L'\0');
    if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        outcome.error = ::GetLastError();
        return outcome;
    }
    const KernelHandle thread(pi.hThread);  // never waited for
    process->reset(pi.hProcess);
    outcome.started = true;
    return outcome;
}

}  // namespace

ProcessOutcome StartProcess(const std::wstring& commandLine, int show, const std::wstring& folder,
                            const std::wstring& application) {
    KernelHandle process;
    return Start(commandLine, show, folder, application, &process);
}

ProcessOutcome RunAndWait(const std::wstring& commandLine, int show, const std::wstring& folder,
                          const std::wstring& application) {
    KernelHandle process;
    ProcessOutcome outcome = Start(commandLine, show, folder, application, &process);
    if (!outcome.started) return outcome;
    WaitHandlingMessages(process.get());
    ::GetExitCodeProcess(process.get(), &outcome.exitCode);
    return outcome;
}

}  // namespace kv::win
