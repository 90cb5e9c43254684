// Fuzz target: the uninstaller's reading of an install log (split, classify, header).
#include <cstddef>
#include <cstdint>
#include <string>

#include "shared/install_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    std::size_t total = 0;
    for (const std::wstring& line : kv::install::SplitLogLines(text)) {
        if (line.find(L'\n') != std::wstring::npos) __builtin_trap();
        total += line.size();
        if (kv::install::ClassifyLine(line) == kv::install::LineKind::Header) {
            const std::wstring folder = kv::install::HeaderFolder(line);
            if (folder.size() >= line.size()) __builtin_trap();
        }
    }
    if (total > text.size()) __builtin_trap();
    return 0;
}
