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
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))) ||
        !link)
        return made;
    made.link = ComPtr<IShellLinkW>(link);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file)
        made.file = ComPtr<IPersistFile>(file);
    return made;
}

}  // namespace kv::win
