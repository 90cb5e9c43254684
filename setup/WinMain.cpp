// Setup.exe: the licence window first, then the message loop until the last page is gone.
#include <windows.h>

#include "setup/forms.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kv::win::RestrictLibrarySearch();
    ::SetProcessDPIAware();
    kv::win::InitializeWindowing();
    kv::win::SetAppTitle(L"Setup");
    try {
        kv::win::TheForm<kv::setup::frmLicense>().Show();
    } catch (...) {
        kv::win::MsgBox(L"Setup could not start.", kv::win::MsgButtons::OK, kv::win::MsgIcon::Critical);
        return 1;
    }
    if (kv::win::LoadedFormCount() == 0) return 0;
    kv::win::RunMessageLoop();
    return 0;
}
