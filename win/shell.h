// Handing a document or an address to the Windows shell.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>

#include "win/handle.h"

namespace kv::win {

// Runs the shell's "open" verb on a file, folder or address: no parameters, the program's
// folder as working folder, shown normally, no owner. Returns whether the shell took it.
bool ShellOpen(const std::wstring& target);

// A new shell link object with its file interface (to load or save a shortcut); both empty
// when the shell cannot make one.
struct ShellLink {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    explicit operator bool() const { return link && file; }
};
ShellLink NewShellLink();

}  // namespace kv::win
