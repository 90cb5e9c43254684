#include "shared/install_log.h"

#include <cwctype>

#include "shared/path_rules.h"

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

std::vector<std::wstring> CarriedOverItems(const std::vector<std::wstring>& earlierLog, const std::wstring& installPath,
                                           const std::vector<std::wstring>& items,
                                           const std::vector<std::wstring>& startMenus,
                                           const std::vector<std::wstring>& desktops,
                                           bool (*exists)(const std::wstring& path)) {
    const std::wstring folder = NormalPath(installPath);
    if (folder.empty()) return {};
    // The earlier log must be this installation's: its header names the same folder.
    bool same = false;
    for (const auto& line : earlierLog)
        if (ClassifyLine(line) == LineKind::Header) same = SameName(NormalPath(TrimBlanks(HeaderFolder(line))), folder);
    if (!same) return {};
    std::vector<std::wstring> menus;
    for (const auto& m : startMenus)
        if (const std::wstring n = NormalPath(m); !n.empty()) menus.push_back(n + L"\\Korvane");
    auto inMenu = [&](const std::wstring& n, bool orSame) {
        for (const auto& m : menus)
            if ((orSame && SameName(n, m)) || IsInside(n, m)) return true;
        return false;
    };
    auto onDesktop = [&](const std::wstring& n) {
        const size_t cut = n.rfind(L'\\');
        for (const auto& d : desktops)
            if (cut != std::wstring::npos && !NormalPath(d).empty() && SameName(n.substr(0, cut), NormalPath(d)))
                return true;
        return false;
    };
    std::vector<std::wstring> carried;
    auto listed = [&](const std::wstring& line) {
        auto in = [&](const std::vector<std::wstring>& list) {
            for (const auto& item : list)
                if (SameName(NormalPath(item), NormalPath(line))) return true;
            return false;
        };
        return in(items) || in(carried);
    };
    for (const auto& line : earlierLog) {
        const LineKind kind = ClassifyLine(line);
        if (kind != LineKind::File && kind != LineKind::Folder) continue;
        const std::wstring n = NormalPath(line);
        if (n.empty()) continue;
        bool belongs = false;
        if (kind == LineKind::Folder)
            belongs = SameName(n, folder) || IsInside(n, folder) || IsInside(folder, n) || inMenu(n, true);
        else
            belongs = HasShortcutMark(n) && (inMenu(n, false) || onDesktop(n));
        if (belongs && !listed(line) && exists(line)) carried.push_back(line);
    }
    return carried;
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
