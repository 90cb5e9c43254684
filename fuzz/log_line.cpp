// Stored action-log lines: decoding any bytes must be safe, and encoding any text must give a
// single stored line (no NUL, CR, LF or blank byte) that decodes back to the same text.
#include "core/action_log.h"
#include "ui/log_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);

    const std::wstring decoded = kv::DecodeLogLine(raw);
    if (decoded.size() > raw.size()) std::abort();
    const kv::LogView view = kv::BuildLogView(raw);
    if (view.entries != kv::SplitLogLines(raw).size()) std::abort();

    // The same bytes read as text: three bytes per character, taken as a code point in
    // 0..0x10FFFF (surrogates included), so every kind of character turns up.
    std::wstring text;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        const std::uint32_t v = std::uint32_t(data[i]) | std::uint32_t(data[i + 1]) << 8 | std::uint32_t(data[i + 2]) << 16;
        const std::uint32_t cp = data[i] & 1 ? v % 0x110000 : v % 0x80;
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            text += wchar_t(0xD800 + ((cp - 0x10000) >> 10));
            text += wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            text += wchar_t(cp);
        }
    }
    const std::string stored = kv::EncodeLogLine(text);
    for (char b : stored) {
        if (b == '\0' || b == '\r' || b == '\n' || b == ' ') std::abort();
    }
    if (kv::DecodeLogLine(stored) != text) std::abort();
    if (kv::SplitLogLines(kv::StoredLogLine(text)).size() != 1) std::abort();
    return 0;
}
