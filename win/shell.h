// Handing a document or an address to the Windows shell.
#pragma once

#include <string>

namespace kv::win {

// Runs the shell's "open" verb on a file, folder or address: no parameters, the program's
// folder as working folder, shown normally, no owner. Returns whether the shell took it.
bool ShellOpen(const std::wstring& target);

}  // namespace kv::win
