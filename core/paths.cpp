#include "core/paths.h"

namespace kv {

std::wstring FileInProgramFolder(const std::wstring& folder, const std::wstring& fileName) {
    if (!folder.empty() && folder.back() == L'\\') return folder + fileName;
    return folder + L"\\" + fileName;
}

std::size_t NameStart(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

}  // namespace kv
