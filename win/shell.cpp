#include "win/shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "win/files.h"

namespace kv::win {

bool ShellOpen(const std::wstring& target) {
    const std::wstring folder = ProgramFolder();
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

ShellLink NewShellLink() {
    ShellLink made;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  made.link.put_void())) ||
        !made.link)
        return made;
    if (FAILED(made.link->QueryInterface(IID_IPersistFile, made.file.put_void()))) (void)made.file.release();
    return made;
}

}  // namespace kv::win
