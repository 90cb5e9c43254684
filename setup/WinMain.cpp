// Setup.exe: with /quiet the installation runs with no window; otherwise the licence window
// first, then the message loop until the last page is gone. The exit code tells how it ended.
#include <windows.h>

#include <exception>
#include <string>
#include <ole2.h>

#include "setup/AppFunctions.h"
#include "setup/forms.h"
#include "setup/quiet.h"
#include "setup/setup_rules.h"
#include "setup/setup_switches.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace kv::setup;
    kv::win::RestrictLibrarySearch();
    const wchar_t* commandLine = ::GetCommandLineW();
    const SetupSwitches switches = ParseSetupSwitches(SplitArguments(commandLine));
    if (switches.quiet) {
        // No window at all: COM for the shortcuts, nothing of the windowing.
        ::OleInitialize(nullptr);
        const int code = RunQuietInstallation(switches, commandLine);
        ::OleUninitialize();
        return code;
    }
    ::SetProcessDPIAware();
    kv::win::InitializeWindowing();
    kv::win::SetAppTitle(L"Setup");
    if (!switches.error.empty()) {
        kv::win::MsgBox(switches.error + L"\r\r" + SetupUsage(), kv::win::MsgButtons::OK, kv::win::MsgIcon::Exclamation);
        return kExitBadSwitch;
    }
    if (switches.usage) {
        kv::win::MsgBox(SetupUsage(), kv::win::MsgButtons::OK, kv::win::MsgIcon::Information);
        return kExitSuccess;
    }
    if (!TakeSetupLock()) {
        kv::win::MsgBox(AnotherSetupMessage(), kv::win::MsgButtons::OK, kv::win::MsgIcon::Exclamation);
        return kExitFailed;
    }
    try {
        kv::win::TheForm<frmLicense>().Show();
    } catch (...) {
        kv::win::MsgBox(L"Setup could not start." + std::wstring(1, kv::win::CR) +
                            kv::win::DescribeException(std::current_exception()),
                        kv::win::MsgButtons::OK, kv::win::MsgIcon::Critical);
        return kExitFailed;
    }
    if (kv::win::LoadedFormCount() != 0) kv::win::RunMessageLoop();
    return Module().ExitCode;
}
