#include "core/working_files.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/paths.h"

namespace kv {
namespace {

std::wstring Hex8(std::uint32_t v) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring out(8, L'0');
    for (int i = 7; i >= 0; --i, v >>= 4) out[std::size_t(i)] = kDigits[v & 15];
    return out;
}

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }

// The end of a working file's name as earlier versions made it, after the document's
// new name: ".~kv", 1 to 8 hex digits, ".tmp".
bool IsLegacyWorkingName(std::wstring_view tail) {
    if (tail.size() < 9 || tail.size() > 16 || tail.substr(0, 4) != L".~kv" || tail.substr(tail.size() - 4) != L".tmp")
        return false;
    for (std::size_t i = 4; i < tail.size() - 4; ++i)
        if (!IsHexDigit(tail[i])) return false;
    return true;
}

}  // namespace

bool IsWorkingFileName(const std::wstring& path) {
    const std::wstring_view name = std::wstring_view(path).substr(NameStart(path));
    // A name of an earlier version: the document's new name, ".~kv", hex digits, ".tmp".
    for (std::size_t digits = 1; digits <= 8; ++digits) {
        const std::size_t tail = 8 + digits;
        if (name.size() > tail && IsLegacyWorkingName(name.substr(name.size() - tail))) return true;
    }
    // "~kv" 8 hex "-" 8 hex ".tmp": 24 characters.
    if (name.size() != 24 || name.substr(0, 3) != L"~kv" || name[11] != L'-' || name.substr(20) != L".tmp") return false;
    for (std::size_t i = 3; i < 20; ++i)
        if (i != 11 && !IsHexDigit(name[i])) return false;
    return true;
}

std::wstring WorkingFilePrefix(const std::wstring& plain_path) {
    // FNV-1a of the document's name with only the ASCII capitals A to Z made small, so that
    // the name typed in other capitals gives the same prefix. Every other character, accented
    // capitals included, is hashed as it stands, although the file system folds those too:
    // the names of working files already on disks depend on this hash, so it stays.
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : std::wstring_view(plain_path).substr(NameStart(plain_path))) {
        if (c >= L'A' && c <= L'Z') c = wchar_t(c - L'A' + L'a');
        hash = (hash ^ std::uint32_t(c)) * 16777619u;
    }
    return L"~kv" + Hex8(hash) + L"-";
}

FsStatus CreateWorkingFile(const std::wstring& target, const std::wstring& plain_path,
                           const std::function<FsStatus(const std::wstring& path)>& create, std::wstring* path) {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::wstring folder_part = target.substr(0, NameStart(target));
    const std::wstring prefix = WorkingFilePrefix(plain_path);
    FsStatus status;
    for (int attempt = 0; attempt < 32; ++attempt) {
        const std::uint64_t mixed = now ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
        *path = folder_part + prefix + Hex8(std::uint32_t(mixed ^ (mixed >> 32))) + L".tmp";
        status = create(*path);
        if (status.kind != FsErrorKind::kAlreadyExists) break;
    }
    return status;
}

void WorkingFileSweep::Sweep(FileSystem& fs, const std::wstring& folder) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!swept_.insert({&fs, folder}).second) return;
        if (swept_.size() > 4096) swept_.clear();  // bounded, whatever a run meets
    }
    SweepFolder(fs, folder);
}

void WorkingFileSweep::SweepFolder(FileSystem& fs, const std::wstring& folder) {
    // A working file of a run still going on in another copy of the program is open, and
    // open so that nobody else may remove it: its removal fails and it stays.
    try {
        // The folder's own separator joins it to the names (POSIX paths in native builds).
        const wchar_t separator = folder.find(L'\\') == std::wstring::npos && folder.find(L'/') != std::wstring::npos
                                      ? L'/'
                                      : L'\\';
        std::wstring folder_part = folder;
        if (!folder_part.empty() && folder_part.back() != L'\\' && folder_part.back() != L'/') folder_part += separator;
        if (folder == L".") folder_part.clear();
        for (const std::wstring& name : fs.FilesStartingWith(folder, L""))
            if (IsWorkingFileName(name)) fs.Remove(folder_part + name);
    } catch (...) {
    }
}

}  // namespace kv
