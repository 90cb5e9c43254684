#include "win/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "win/files.h"

namespace kv::win {

bool ShellOpen(const std::wstring& target) {
    const std::wstring folder = ProgramFolder();
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace kv::win
