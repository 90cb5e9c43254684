#include "win/real_paths.h"

#include "win/files.h"

namespace kv::win {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share".
std::wstring WithoutLongPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring FinalPathOf(HANDLE h) {
    std::wstring out(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= out.size()) {
        out.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= out.size()) return {};
    out.resize(n);
    out = WithoutLongPrefix(out);
    if (out.size() > 3 && out.back() == L'\\') out.pop_back();
    return out;
}

UniqueFile OpenExisting(const std::wstring& path, DWORD access, DWORD flags) {
    return UniqueFile(::CreateFileW(LongPath(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
}

}  // namespace

std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) return {};
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    for (int tries = 0; size > 0 && tries < 3; ++tries) {
        std::wstring out(size, L'\0');
        const DWORD got = ::GetFullPathNameW(path.c_str(), size, out.data(), nullptr);
        if (got == 0) break;
        if (got < size) {
            out.resize(got);
            return WithoutLongPrefix(out);
        }
        size = got;  // the current folder changed meanwhile: once more with the room it needs
    }
    return {};
}

std::wstring RealPath(const std::wstring& path) {
    std::wstring current = FullPath(path);
    while (!current.empty() && current.back() == L'\\' && current.size() > 3) current.pop_back();
    std::wstring rest;
    while (!current.empty()) {
        if (UniqueFile h = OpenExisting(current, 0, 0)) {
            std::wstring real = FinalPathOf(h.get());
            if (real.empty()) return {};
            if (!rest.empty()) real += (real.back() == L'\\' ? L"" : L"\\") + rest;
            return real;
        }
        const size_t cut = current.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut + 1 == current.size()) return {};
        const std::wstring name = current.substr(cut + 1);
        rest = rest.empty() ? name : name + L"\\" + rest;
        // Stop at the drive ("C:\") or the share ("\\server\share").
        std::wstring parent = current.substr(0, cut);
        if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
        if (parent == current || parent.size() < 2 || parent == L"\\" || parent == L"\\\\") return {};
        current = parent;
    }
    return {};
}

std::wstring RealLocation(const std::wstring& path) {
    std::wstring full = FullPath(path);
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    const size_t cut = full.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut + 1 >= full.size()) return RealPath(full);
    std::wstring parent = full.substr(0, cut);
    if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
    std::wstring real = RealPath(parent);
    if (real.empty()) return {};
    return real + (real.back() == L'\\' ? L"" : L"\\") + full.substr(cut + 1);
}

std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    UniqueFile h = OpenExisting(path, 0, 0);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h || !::GetFileInformationByHandle(h.get(), &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool IsLink(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(LongPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool HoldsNothing(const std::wstring& folder) {
    bool any = false;
    ForEachEntry(folder, [&](const std::wstring&, const WIN32_FIND_DATAW&) {
        any = true;
        return false;
    });
    return !any;
}

void ForEachEntry(const std::wstring& folder,
                  const std::function<bool(const std::wstring& path, const WIN32_FIND_DATAW& data)>& fn) {
    WIN32_FIND_DATAW data{};
    FindHandle find(::FindFirstFileExW(LongPath(folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!fn(folder + L"\\" + name, data)) break;
    } while (::FindNextFileW(find.get(), &data));
}

DWORD DeleteEntry(const std::wstring& path, const std::function<bool(const std::wstring& real)>& mayDelete) {
    UniqueFile h = OpenExisting(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                FILE_FLAG_OPEN_REPARSE_POINT);
    if (!h) h = OpenExisting(path, DELETE | FILE_READ_ATTRIBUTES, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!h) return ::GetLastError();
    const std::wstring real = FinalPathOf(h.get());
    if (real.empty() || !mayDelete(real)) return kErrorOutsidePermitted;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(h.get(), FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!::SetFileInformationByHandle(h.get(), FileDispositionInfo, &disposition, sizeof disposition))
        return ::GetLastError();
    return 0;
}

std::vector<DeleteFailure> DeleteTree(const std::wstring& folder,
                                      const std::function<bool(const std::wstring& real)>& mayDelete,
                                      const std::function<bool(const std::wstring& path)>& keep) {
    std::vector<DeleteFailure> failures;
    bool kept = false;
    std::vector<std::wstring> subfolders, files;
    ForEachEntry(folder, [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
        const bool realFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        (realFolder ? subfolders : files).push_back(path);
        return true;
    });
    for (const auto& sub : subfolders) {
        auto below = DeleteTree(sub, mayDelete, keep);
        if (!below.empty() || ::GetFileAttributesW(LongPath(sub).c_str()) != INVALID_FILE_ATTRIBUTES) kept = true;
        failures.insert(failures.end(), below.begin(), below.end());
    }
    for (const auto& file : files) {
        if (keep && keep(file)) {
            kept = true;
            continue;
        }
        if (const DWORD error = DeleteEntry(file, mayDelete)) failures.push_back({file, error});
    }
    if (!kept && failures.empty()) {
        if (const DWORD error = DeleteEntry(folder, mayDelete)) failures.push_back({folder, error});
    }
    return failures;
}

}  // namespace kv::win
