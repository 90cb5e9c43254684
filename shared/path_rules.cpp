#include "shared/path_rules.h"

#include <vector>

namespace kv::install {

namespace {

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// One part of a path between backslashes that the rules accept: not "." or "..", no
// wildcard or stream separator, and no trailing dot or blank (Windows drops those, so
// "Windows." would name the Windows folder).
bool GoodPart(std::wstring_view part) {
    if (part.empty() || part == L"." || part == L"..") return false;
    if (part.find_first_of(L"*?\"<>|:") != std::wstring_view::npos) return false;
    for (wchar_t c : part)
        if (c < 32) return false;
    const wchar_t last = part.back();
    return last != L'.' && last != L' ';
}

}  // namespace

// Splits at backslashes, dropping empty parts.
std::vector<std::wstring_view> PathParts(std::wstring_view text) {
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\\', start);
        if (end == std::wstring_view::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::wstring WithoutTrailingBackslash(std::wstring_view path) {
    if (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    return std::wstring(path);
}

std::wstring NormalPath(std::wstring_view path) {
    std::wstring p(path);
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    std::wstring out;
    if (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\') {
        if (p.size() >= 3 && (p[2] == L'?' || p[2] == L'.')) return {};  // \\?\ and \\.\ forms
        const auto parts = PathParts(std::wstring_view(p).substr(2));
        if (parts.size() < 2) return {};
        for (auto part : parts)
            if (!GoodPart(part)) return {};
        out = L"\\";
        for (auto part : parts) out += L"\\" + std::wstring(part);
        return out;
    }
    if (p.size() < 2 || !IsLetter(p[0]) || p[1] != L':') return {};
    if (p.size() > 2 && p[2] != L'\\') return {};  // "C:name" is relative to the drive's current folder
    out = p.substr(0, 2);
    for (auto part : PathParts(std::wstring_view(p).substr(2))) {
        if (!GoodPart(part)) return {};
        out += L"\\" + std::wstring(part);
    }
    return out;
}

bool IsInside(std::wstring_view path, std::wstring_view folder) {
    if (path.empty() || folder.empty() || path.size() <= folder.size() + 1) return false;
    return path[folder.size()] == L'\\' && SameName(path.substr(0, folder.size()), folder);
}

}  // namespace kv::install
