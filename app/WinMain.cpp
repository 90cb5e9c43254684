// Korvane.exe: start-up, then the message loop until the last window is unloaded.
#include <windows.h>
#include <ole2.h>

#include <exception>
#include <string>

#include "app/Main.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kv::win::RestrictLibrarySearch();
    ::SetProcessDPIAware();
    kv::win::InitializeWindowing();
    kv::win::SetAppTitle(L"Korvane");
    try {
        // Documents dropped onto the program's icon or shortcut, sent to it or opened with it.
        kv::Globals::Main(kv::Globals::CommandLineDocuments(::GetCommandLineW()));
    } catch (...) {
        kv::win::MsgBox(L"Korvane could not start." + std::wstring(1, kv::win::CR) +
                            kv::win::DescribeException(std::current_exception()),
                        kv::win::MsgButtons::OK, kv::win::MsgIcon::Critical);
        return 1;
    }
    if (kv::win::LoadedFormCount() == 0) return 0;
    kv::win::RunMessageLoop();
    ::OleUninitialize();
    return 0;
}
