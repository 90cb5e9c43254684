// Setup.exe /quiet: the installation with no window and no question.
#pragma once

#include <string>

#include "setup/setup_switches.h"

namespace kv::setup {

// Where the log goes without /log: KorvaneSetup.log in the temporary folder.
std::wstring DefaultQuietLogPath();

// Installs as the switches say, writing what it does and every message to the log, and
// returns the exit code. Korvane is not started.
int RunQuietInstallation(const SetupSwitches& switches, const std::wstring& commandLine);

}  // namespace kv::setup
