#include "core/paths.h"

namespace kv {

std::wstring FileInProgramFolder(const std::wstring& folder, const std::wstring& fileName) {
    if (!folder.empty() && folder.back() == L'\\') return folder + fileName;
    return folder + L"\\" + fileName;
}

}  // namespace kv
