// Starting the installed program as the user at the desktop, not as elevated Setup.
//
// Setup runs elevated; a program it starts itself inherits that token, so it could not take
// files dragged from Explorer and its first settings would belong to the elevated token.
// The desktop's shell runs with the user's ordinary token: its folder view's Application
// object (IShellDispatch2) starts a program as if the user had opened it there.
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "setup/AppFunctions.h"
#include "win/handle.h"
#include "win/process.h"

namespace kv::setup {

namespace {

// CLSID_ShellWindows and SID_STopLevelBrowser, written out so that no GUID data symbol of
// an import library is needed.
constexpr GUID kShellWindows = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

struct Bstr {
    BSTR b;
    explicit Bstr(const std::wstring& s) : b(::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b); }
};

struct Variant {
    VARIANT v;
    Variant() { ::VariantInit(&v); }
    explicit Variant(const Bstr& text) : Variant() {
        v.vt = VT_BSTR;
        v.bstrVal = text.b;  // borrowed: cleared before it is freed
    }
    explicit Variant(int number) : Variant() {
        v.vt = VT_I4;
        v.lVal = number;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() {
        if (v.vt != VT_BSTR) ::VariantClear(&v);
    }
};

// The desktop's shell, asked step by step; false when any step is not there.
bool StartThroughDesktopShell(const std::wstring& exe, const std::wstring& folder) {
    win::ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                  windows.put_void())) ||
        !windows)
        return false;
    Variant location, root;
    location.v.vt = VT_I4;
    location.v.lVal = CSIDL_DESKTOP;
    long desktopWindow = 0;
    win::ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&location.v, &root.v, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop)
        return false;
    win::ComPtr<IServiceProvider> services;
    if (FAILED(desktop->QueryInterface(__uuidof(IServiceProvider), services.put_void())) || !services) return false;
    win::ComPtr<IShellBrowser> browser;
    if (FAILED(services->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser), browser.put_void())) || !browser)
        return false;
    win::ComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return false;
    win::ComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.put_void())) || !background)
        return false;
    win::ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.put_void())) || !folderView)
        return false;
    win::ComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.put())) || !application)
        return false;
    win::ComPtr<IShellDispatch2> shell;
    if (FAILED(application->QueryInterface(__uuidof(IShellDispatch2), shell.put_void())) || !shell) return false;
    const Bstr file(exe), dir(folder), verb(L"open"), none(L"");
    Variant arguments(none), directory(dir), operation(verb), show(SW_SHOWNORMAL);
    return SUCCEEDED(shell->ShellExecute(file.b, arguments.v, directory.v, operation.v, show.v));
}

}  // namespace

StartedThrough StartAsDesktopUser(const std::wstring& exe, const std::wstring& folder, bool askShell) {
    if (askShell && StartThroughDesktopShell(exe, folder)) return StartedThrough::DesktopShell;
    const auto outcome = win::StartProcess(L"\"" + exe + L"\"", SW_SHOWNORMAL, folder, exe);
    return outcome.started ? StartedThrough::Directly : StartedThrough::NotStarted;
}

}  // namespace kv::setup
