#include "shared/install_log.h"

#include <cwctype>

namespace kv::install {
namespace {

bool HasStop(std::wstring_view s) { return s.find(L'.') != std::wstring_view::npos; }

// The lower-case test of ".lnk": only the four letters matter, so ASCII folding is exact.
bool HasShortcutMark(std::wstring_view s) {
    std::wstring lower(s);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower.find(L".lnk") != std::wstring::npos;
}

}  // namespace

std::wstring InstallLogPath(const std::wstring& installPath) {
    return installPath + L"\\" + std::wstring(kInstallLogName);
}

std::vector<std::wstring> InstallLogLines(const std::wstring& installPath, const std::vector<std::wstring>& items) {
    std::vector<std::wstring> lines;
    lines.push_back(std::wstring(kHeaderKey) + installPath);
    for (const auto& item : items)  // program files
        if (!item.empty() && HasStop(item) && !HasShortcutMark(item)) lines.push_back(item);
    for (const auto& item : items)  // shortcuts
        if (!item.empty() && HasStop(item) && HasShortcutMark(item)) lines.push_back(item);
    for (const auto& item : items)  // folders
        if (!item.empty() && !HasStop(item)) lines.push_back(item);
    return lines;
}

LineKind ClassifyLine(std::wstring_view line) {
    if (line.substr(0, kHeaderKey.size()) == kHeaderKey) return LineKind::Header;
    if (line.empty()) return LineKind::Empty;
    if (HasStop(line)) return LineKind::File;
    return LineKind::Folder;
}

std::wstring HeaderFolder(std::wstring_view headerLine) {
    std::wstring out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t next = headerLine.find(kHeaderKey, at);
        if (next == std::wstring_view::npos) break;
        out.append(headerLine.substr(at, next - at));
        at = next + kHeaderKey.size();
    }
    out.append(headerLine.substr(at));
    return out;
}

std::vector<std::wstring> SplitLogLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == L'\r') --stop;
        lines.emplace_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace kv::install
