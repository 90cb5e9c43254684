// The command line of Setup and the uninstaller for deployment tools: how a switch is
// written and the exit codes they return, in the conventions administrators know from other
// installers. Without any switch both programs are the windows everybody knows.
#pragma once

#include <string>
#include <vector>

namespace kv::install {

// Exit codes in the Windows installer convention.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadSwitch = 87;    // a switch or value that is not understood
inline constexpr int kExitCancelled = 1602;  // the user cancelled
inline constexpr int kExitFailed = 1603;     // nothing done, or not completely

// One argument read as a switch: "/name", "/name=value" or "/name:value", "-" also starting
// it; the name in lower case.
struct SwitchArg {
    bool isSwitch = false;  // false: not a switch at all
    std::wstring name;
    std::wstring value;
    bool hasValue = false;
};

// Reads args[i]. A switch among `valueMayFollow` written without a value takes the next
// argument as its value when that one is not a switch itself (i then moves past it):
// /dir "C:\Apps\Korvane".
SwitchArg ReadSwitch(const std::vector<std::wstring>& args, size_t& i,
                     const std::vector<std::wstring>& valueMayFollow);

}  // namespace kv::install
