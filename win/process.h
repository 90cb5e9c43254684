// Starting programs, and waiting for one to end while the windows stay responsive.
#pragma once

#include <windows.h>

#include <string>

namespace kv::win {

struct ProcessOutcome {
    bool started = false;
    DWORD error = 0;     // why it could not be started
    DWORD exitCode = 0;  // when it was waited for
};

// Starts `commandLine` (the program's path quoted by the caller when it holds blanks) in a
// window shown as `show` (SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_HIDE), with `folder` as its
// current folder (empty: ours). Does not wait. `application`, when given, is the full path
// of the program file to run, so that no folder is searched for it (a program of the
// system is taken from the system folder, never from a folder users can write).
ProcessOutcome StartProcess(const std::wstring& commandLine, int show, const std::wstring& folder = {},
                            const std::wstring& application = {});

// Starts it and waits until it has ended, handling window messages meanwhile.
ProcessOutcome RunAndWait(const std::wstring& commandLine, int show, const std::wstring& folder = {},
                          const std::wstring& application = {});

}  // namespace kv::win
