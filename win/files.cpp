#include "win/files.h"

#include "win/handle.h"
#include "win/text.h"

namespace kv::win {

std::wstring FileError::Describe() const {
    // The system has no words of its own for this one.
    if (code == ERROR_FILE_TOO_LARGE) return what + L": the file is larger than 1 GiB.";
    return what + L": " + SystemErrorText(code);
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

std::optional<FileError> ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    FileHandle file(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return FileError{::GetLastError(), L"could not be opened"};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return FileError{::GetLastError(), L"could not be read"};
    if (size.QuadPart > (1LL << 30)) return FileError{ERROR_FILE_TOO_LARGE, L"is too large"};
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!::ReadFile(file.get(), bytes.data() + done, want, &got, nullptr))
            return FileError{::GetLastError(), L"could not be read"};
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return std::nullopt;
}

std::optional<FileError> WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes,
                                             const std::wstring& tempPath) {
    const std::wstring temp = LongPath(tempPath.empty() ? path + L".kvtmp" : tempPath);
    {
        FileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) return FileError{::GetLastError(), L"could not be written"};
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD put = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
            if (!::WriteFile(file.get(), bytes.data() + done, want, &put, nullptr) || put == 0) {
                const DWORD error = ::GetLastError();
                file.reset();
                ::DeleteFileW(temp.c_str());
                return FileError{error ? error : ERROR_WRITE_FAULT, L"could not be written"};
            }
            done += put;
        }
        if (!::FlushFileBuffers(file.get())) {
            const DWORD error = ::GetLastError();
            file.reset();
            ::DeleteFileW(temp.c_str());
            return FileError{error, L"could not be written"};
        }
    }
    if (!::MoveFileExW(temp.c_str(), LongPath(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return FileError{error, L"could not be replaced"};
    }
    return std::nullopt;
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
