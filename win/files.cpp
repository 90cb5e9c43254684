#include "win/files.h"

#include <algorithm>

#include "win/handle.h"
#include "win/text.h"

namespace kv::win {

FsStatus StatusOf(DWORD code, const std::wstring& what) {
    FsStatus s{FsErrorKind::kOther, {}, code};
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH: s.kind = FsErrorKind::kNotFound; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: s.kind = FsErrorKind::kAccessDenied; break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE: s.kind = FsErrorKind::kSharingViolation; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: s.kind = FsErrorKind::kDiskFull; break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: s.kind = FsErrorKind::kAlreadyExists; break;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW: s.kind = FsErrorKind::kNameTooLong; break;
        default: break;
    }
    // The system has no words of its own for a file over the size limit.
    const std::wstring words = code == ERROR_FILE_TOO_LARGE ? L"the file is larger than 1 GiB." : SystemErrorText(code);
    s.text = what.empty() ? words : what + L": " + words;
    return s;
}

std::wstring LongPath(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    std::wstring p = path;  // the long form takes back slashes only
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    if (p.size() > 2 && p[1] == L':' && p[2] == L'\\') return L"\\\\?\\" + p;
    if (p.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + p.substr(2);
    return path;  // relative: left to the system
}

bool FileExists(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FsStatus ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    UniqueFile file(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return StatusOf(::GetLastError(), L"could not be opened");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return StatusOf(::GetLastError(), L"could not be read");
    if (size.QuadPart > (1LL << 30)) return StatusOf(ERROR_FILE_TOO_LARGE, L"is too large");
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!::ReadFile(file.get(), bytes.data() + done, want, &got, nullptr))
            return StatusOf(::GetLastError(), L"could not be read");
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return {};
}

namespace {

// The delete-on-close mark of an open file: set, the system removes the file when its last
// handle closes, also when the program dies.
bool MarkForDeletion(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// The form a new name takes when it is given through a file's handle: the full path
// behind "\??\".
std::wstring HandleRenamePath(const std::wstring& path) {
    std::wstring full = LongPath(path);
    if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
    const DWORD n = ::GetFullPathNameW(full.c_str(), 0, nullptr, nullptr);
    if (n != 0) {
        std::wstring buffer(n, L'\0');
        const DWORD m = ::GetFullPathNameW(full.c_str(), n, buffer.data(), nullptr);
        if (m != 0 && m < n) full = buffer.substr(0, m);
    }
    if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

// Gives the open file the name `target` in one step, replacing a file of that name.
bool RenameOpenFile(HANDLE file, const std::wstring& target) {
    const std::wstring name = HandleRenamePath(target);
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

HANDLE CreateWorkingFile(const std::wstring& temp) {
    auto create = [&] {
        return ::CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE file = create();
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) {
        // Left by a program that died while writing before its working files carried the
        // mark; the caller's lock (or its program's one instance) keeps others from writing now.
        ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(temp.c_str());
        file = create();
    }
    return file;
}

}  // namespace

FsStatus WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes,
                             const std::wstring& tempPath) {
    const std::wstring temp = LongPath(tempPath.empty() ? path + L".kvtmp" : tempPath);
    UniqueFile file(CreateWorkingFile(temp));
    if (!file) return StatusOf(::GetLastError(), L"could not be written");
    // Marked from the first moment: whatever happens before the replace, the working file
    // does not outlive this handle.
    if (!MarkForDeletion(file.get(), true)) {
        const DWORD error = ::GetLastError();
        file.reset();
        ::DeleteFileW(temp.c_str());
        return StatusOf(error, L"could not be written");
    }
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!::WriteFile(file.get(), bytes.data() + done, want, &put, nullptr) || put == 0) {
            const DWORD error = ::GetLastError();
            return StatusOf(error ? error : ERROR_WRITE_FAULT, L"could not be written");
        }
        done += put;
    }
    if (!::FlushFileBuffers(file.get())) return StatusOf(::GetLastError(), L"could not be written");
    if (!MarkForDeletion(file.get(), false)) return StatusOf(::GetLastError(), L"could not be written");
    if (!RenameOpenFile(file.get(), path)) {
        DWORD error = ::GetLastError();
        if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
        MarkForDeletion(file.get(), true);  // still ours to remove
        return StatusOf(error, L"could not be replaced");
    }
    return {};
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ProgramName() {
    const std::wstring path = ProgramPath();
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    if (const size_t dot = name.find_last_of(L'.'); dot != std::wstring::npos) name.resize(dot);
    return name;
}

std::wstring ProgramFolder() {
    const std::wstring path = ProgramPath();
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

}  // namespace kv::win
