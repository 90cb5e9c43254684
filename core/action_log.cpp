#include "core/action_log.h"

#include <cstdint>
#include <cstring>

namespace kv {
namespace {

constexpr unsigned char kEscape = 0xFF;

constexpr bool IsEscapedControl(std::uint32_t c) { return c == 0 || c == 5 || c == 16; }

constexpr bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
    }
    out += char(0x80 | (cp & 0x3F));
}

// Reads the escape whose body starts at p (just after the 0xFF byte) and writes the
// character(s) it stands for to dst. Returns the number of body bytes used, or 0 when p does
// not start a well-formed escape (the 0xFF is then an ordinary byte).
std::size_t ReadEscape(const unsigned char* p, const unsigned char* end, wchar_t*& dst) {
    if (p == end) return 0;
    const unsigned char lead = *p;
    if (IsContinuation(lead)) {
        *dst++ = wchar_t(lead & 0x3F);
        return 1;
    }
    std::size_t len;
    std::uint32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;  // no overlong forms; surrogates (ED A0..BF) are kept
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (std::size_t(end - p) < len) return 0;
    if (p[1] < lo || p[1] > hi) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if (!IsContinuation(p[k])) return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *dst++ = wchar_t(0xD800 + (cp >> 10));
            *dst++ = wchar_t(0xDC00 + (cp & 0x3FF));
            return len;
        }
    }
    *dst++ = wchar_t(cp);
    return len;
}

}  // namespace

std::wstring FormatLogStamp(std::wstring_view shortDate, std::wstring_view longTime, bool timeIsMidnight) {
    std::wstring stamp(shortDate);
    if (!timeIsMidnight) {
        stamp += L' ';
        stamp += longTime;
    }
    return stamp;
}

std::wstring ComposeLogEntry(std::wstring_view stamp, std::wstring_view userName, std::wstring_view action,
                             std::wstring_view path) {
    constexpr std::wstring_view kGap = L"   ";
    constexpr std::wstring_view kFile = L" FILE: ";
    std::wstring entry;
    entry.reserve(stamp.size() + userName.size() + action.size() + path.size() + 2 * kGap.size() + kFile.size());
    entry += stamp;
    entry += kGap;
    entry += userName;
    entry += kGap;
    entry += action;
    entry += kFile;
    entry += path;
    return entry;
}

std::string EncodeLogLine(std::wstring_view entry) {
    std::string out;
    out.reserve(entry.size());
    for (std::size_t i = 0; i < entry.size(); ++i) {
        std::uint32_t c;
        if constexpr (sizeof(wchar_t) == 2) {
            c = std::uint16_t(entry[i]);
        } else {
            // A negative wchar_t lands above 0x10FFFF and is replaced below.
            c = std::uint32_t(entry[i]);  // NOLINT(bugprone-signed-char-misuse)
        }
        if (c < 0x80) {
            if (IsEscapedControl(c)) {
                out += char(kEscape);
                out += char(0x80 | c);
            } else {
                out += char(c * 2);
            }
            continue;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < entry.size()) {
                const std::uint32_t low = std::uint16_t(entry[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        } else if (c > 0x10FFFF) {
            c = 0xFFFD;
        }
        out += char(kEscape);
        AppendUtf8(out, c);
    }
    return out;
}

void AppendDecodedLogLine(std::wstring& out, std::string_view stored) {
    const std::size_t base = out.size();
    out.resize(base + stored.size());
    wchar_t* dst = out.data() + base;
    const auto* p = reinterpret_cast<const unsigned char*>(stored.data());
    const auto* end = p + stored.size();
    while (p < end) {
        // Runs without an escape (all of a plain ASCII entry) in one tight loop.
        const void* found = std::memchr(p, kEscape, std::size_t(end - p));
        const auto* runEnd = found ? static_cast<const unsigned char*>(found) : end;
        for (; p < runEnd; ++p) *dst++ = wchar_t(*p >> 1);
        if (p == end) break;
        ++p;  // the escape byte
        const std::size_t used = ReadEscape(p, end, dst);
        if (used == 0) {
            *dst++ = wchar_t(kEscape >> 1);
        }
        p += used;
    }
    out.resize(std::size_t(dst - out.data()));
}

std::wstring DecodeLogLine(std::string_view stored) {
    std::wstring out;
    AppendDecodedLogLine(out, stored);
    return out;
}

std::string StoredLogLine(std::wstring_view entry) {
    std::string line = EncodeLogLine(entry);
    line += "\r\n";
    return line;
}

}  // namespace kv
