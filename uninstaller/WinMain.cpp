// KorvaneUninstaller.exe: its one window, then the message loop until that window is gone.
#include <windows.h>

#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kv::win::RestrictLibrarySearch();
    ::SetProcessDPIAware();
    kv::win::InitializeWindowing();
    kv::win::SetAppTitle(L"KorvaneUninstaller");
    try {
        kv::win::TheForm<kv::uninstall::frmMain>().Show();
    } catch (...) {
        kv::win::MsgBox(L"KorvaneUninstaller could not start.", kv::win::MsgButtons::OK, kv::win::MsgIcon::Critical);
        return 1;
    }
    if (kv::win::LoadedFormCount() == 0) return 0;
    kv::win::RunMessageLoop();
    return 0;
}
