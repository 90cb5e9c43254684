// KorvaneUninstaller.exe: its one window, then the message loop until that window is gone;
// or, with /quiet, the whole removal without a window, its outcome in the exit code.
#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "uninstaller/AppFunctions.h"
#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/handle.h"
#include "win/system_library.h"

namespace {

std::vector<std::wstring> Arguments() {
    int argc = 0;
    const kv::win::LocalMemory<wchar_t**> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv.get()[i]);
    return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kv::win::RestrictLibrarySearch();
    ::SetProcessDPIAware();
    kv::win::InitializeWindowing();
    kv::win::SetAppTitle(L"KorvaneUninstaller");
    namespace un = kv::uninstall;
    const std::vector<std::wstring> args = Arguments();
    auto& m = un::Module();
    m.switches = un::ParseSwitches(args);
    if (!m.switches.error.empty()) {
        const bool help = m.switches.error == L"usage";
        const std::wstring text = help ? un::UsageText()
                                       : L"The command line was not understood: " + m.switches.error + L"\r\r" +
                                             un::UsageText();
        if (m.switches.quiet) un::WriteRunLog(text);
        else kv::win::MsgBox(text);
        return help ? un::kExitSuccess : un::kExitBadSwitch;
    }
    if (m.switches.quiet) return un::RunQuiet();
    try {
        kv::win::TheForm<un::frmMain>().Show();
    } catch (...) {
        kv::win::MsgBox(L"KorvaneUninstaller could not start." + std::wstring(1, kv::win::CR) +
                            kv::win::DescribeException(std::current_exception()),
                        kv::win::MsgButtons::OK, kv::win::MsgIcon::Critical);
        return un::kExitFailed;
    }
    if (kv::win::LoadedFormCount() != 0) kv::win::RunMessageLoop();
    return m.ExitCode;
}
