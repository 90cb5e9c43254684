// The package's stand-in for one of the four component files that Setup places into the
// system folder when they are missing ("MSINET.ocx", "RICHTX32.ocx", "COMDLG32.OCX",
// "scrrun.dll"). Korvane uses none of them; Setup only copies and registers them.
//
// The file is ours, so its registration must not claim anything that belongs to the real
// component of the same name: no class id, program id, type library or interface is written.
// Registration succeeds and writes nothing, unregistration likewise, and no class can be
// created from it. Its version resource is 0.0.0.1, the lowest there is, so that the installer
// of the real component always counts its own file as newer and replaces this one.
#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() { return S_OK; }

__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_OK; }

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // extern "C"
