#include "win/folder_lists.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

#include "win/files.h"
#include "win/text_rules.h"
#include "win/handle.h"

namespace kv::win {

namespace {

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool IsFolder(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(LongPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The subfolders of a folder, sorted without regard to case; hidden ones left out.
std::vector<std::wstring> Subfolders(const std::wstring& folder) {
    std::vector<std::wstring> names;
    std::wstring pattern = folder;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    const FindHandle find(::FindFirstFileExW(LongPath(pattern).c_str(), FindExInfoBasic, &data,
                                             FindExSearchLimitToDirectories, nullptr, 0));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) continue;
        names.push_back(name);
    } while (::FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return names;
}

std::wstring LastName(const std::wstring& folder) {
    if (folder.size() == 3 && folder[1] == L':') return folder;  // "C:\"
    const size_t slash = folder.find_last_of(L'\\');
    return slash == std::wstring::npos ? folder : folder.substr(slash + 1);
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
    return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

}  // namespace

std::vector<std::wstring> FolderChain(const std::wstring& folder) {
    std::vector<std::wstring> chain;
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    size_t start;
    if (path.rfind(L"\\\\", 0) == 0) {
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos) return {path};
        const size_t share = path.find(L'\\', server + 1);
        chain.push_back(path.substr(0, share));
        if (share == std::wstring::npos) return chain;
        start = share + 1;
    } else if (path.size() >= 2 && path[1] == L':') {
        chain.push_back(path.substr(0, 2) + L"\\");
        if (path.size() <= 3) return chain;
        start = 3;
    } else {
        return {path};
    }
    for (;;) {
        const size_t slash = path.find(L'\\', start);
        chain.push_back(path.substr(0, slash));
        if (slash == std::wstring::npos) break;
        start = slash + 1;
    }
    return chain;
}

// ---- DriveListBox -----------------------------------------------------------------

void DriveListBox::Create(const Container& where, const Rect& rect, const FontDesc& font) {
    ComboBox::Create(where, rect, false, font);
    Refresh();
    // Start at the drive of the current folder, as such lists do.
    wchar_t current[MAX_PATH] = {};
    if (::GetCurrentDirectoryW(MAX_PATH, current) && current[1] == L':') {
        const std::wstring prefix = Lower(std::wstring(current, 2));
        for (int i = 0; i < ListCount(); ++i)
            if (List(i).substr(0, 2) == prefix) ::SendMessageW(hwnd_, CB_SETCURSEL, i, 0);
    }
}

void DriveListBox::Refresh() {
    const std::wstring chosen = Drive();
    Clear();
    wchar_t buffer[512] = {};
    const DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer)), buffer);
    for (const wchar_t* root = buffer; n && n < std::size(buffer) && *root; root += wcslen(root) + 1) {
        std::wstring entry = Lower(std::wstring(root, 2));
        wchar_t label[MAX_PATH + 1] = {};
        // A removable drive without a medium would ask the user; keep such drives quiet.
        const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
        const UINT type = ::GetDriveTypeW(root);
        if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM && type != DRIVE_REMOTE &&
                   ::GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) && *label) {
            entry += L" [" + std::wstring(label) + L"]";
        }
        ::SetErrorMode(oldMode);
        AddItem(entry);
    }
    if (!chosen.empty()) {
        for (int i = 0; i < ListCount(); ++i)
            if (List(i).substr(0, 2) == chosen.substr(0, 2)) ::SendMessageW(hwnd_, CB_SETCURSEL, i, 0);
    }
}

std::wstring DriveListBox::Drive() const { return ListIndex() >= 0 ? List(ListIndex()) : std::wstring(); }

bool DriveListBox::SetDrive(const std::wstring& text) {
    if (text.size() < 2 || text[1] != L':') return false;
    const std::wstring prefix = Lower(text.substr(0, 2));
    for (int i = 0; i < ListCount(); ++i) {
        if (List(i).substr(0, 2) != prefix) continue;
        if (i != ListIndex()) {
            ::SendMessageW(hwnd_, CB_SETCURSEL, i, 0);
            if (Change) {
                auto handler = Change;
                handler();
            }
        }
        return true;
    }
    return false;
}

void DriveListBox::OnCommand(WORD code) {
    if (code == CBN_SELCHANGE && Change) {
        auto handler = Change;
        handler();
    }
}

// ---- DirListBox -------------------------------------------------------------------

void DirListBox::Create(const Container& where, const Rect& rect, const FontDesc& font) {
    ListBox::Create(where, rect, font);
    wchar_t current[MAX_PATH * 2] = {};
    if (::GetCurrentDirectoryW(static_cast<DWORD>(std::size(current)), current)) Fill(current);
}

bool DirListBox::SetPath(const std::wstring& folder) {
    std::wstring wanted = folder;
    if (wanted.size() == 2 && wanted[1] == L':') {
        // A bare drive opens that drive's current folder, as "C:" means to Windows.
        wchar_t full[MAX_PATH * 2] = {};
        if (!::GetFullPathNameW(wanted.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr)) return false;
        wanted = full;
    }
    if (wanted.empty() || !IsFolder(wanted)) return false;
    while (wanted.size() > 3 && wanted.back() == L'\\') wanted.pop_back();
    if (wanted.size() >= 2 && wanted[1] == L':') wanted[0] = static_cast<wchar_t>(std::towupper(wanted[0]));
    const bool changed = !SameName(wanted, path_);
    Fill(wanted);
    if (changed && Change) {
        auto handler = Change;
        handler();
    }
    return true;
}

void DirListBox::Fill(const std::wstring& folder) {
    if (!hwnd_) return;
    ::SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    Clear();
    folders_.clear();
    const auto chain = FolderChain(folder);
    int depth = 0;
    for (const auto& level : chain) {
        AddItem(std::wstring(static_cast<size_t>(depth) * 3, L' ') + LastName(level));
        folders_.push_back(level);
        ++depth;
    }
    for (const auto& name : Subfolders(folder)) {
        AddItem(std::wstring(static_cast<size_t>(depth) * 3, L' ') + name);
        folders_.push_back(Joined(folder, name));
    }
    path_ = chain.empty() ? folder : chain.back();
    ::SendMessageW(hwnd_, LB_SETCURSEL, chain.empty() ? 0 : chain.size() - 1, 0);
    ::SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

std::wstring DirListBox::FolderOfLine(int index) const {
    return index >= 0 && static_cast<size_t>(index) < folders_.size() ? folders_[static_cast<size_t>(index)]
                                                                      : std::wstring();
}

int DirListBox::ListIndex() const { return hwnd_ ? static_cast<int>(::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0)) : -1; }

void DirListBox::Highlight(int index) {
    const std::wstring folder = FolderOfLine(index);
    if (folder.empty() || folder == path_) return;
    path_ = folder;
    if (Change) {
        auto handler = Change;
        handler();
    }
}

void DirListBox::OnCommand(WORD code) {
    if (code == LBN_SELCHANGE) {
        Highlight(ListIndex());
    } else if (code == LBN_DBLCLK) {
        SetPath(FolderOfLine(ListIndex()));
    }
}

LRESULT DirListBox::OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    if (msg == WM_RBUTTONDOWN) {
        // A right click highlights the line under the pointer before anything acts on it.
        const LRESULT hit = ::SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, lp);
        if (HIWORD(hit) == 0) {
            ::SendMessageW(hwnd_, LB_SETCURSEL, LOWORD(hit), 0);
            Highlight(LOWORD(hit));
        }
    }
    if (msg == WM_GETDLGCODE && lp && reinterpret_cast<const MSG*>(lp)->message == WM_KEYDOWN &&
        reinterpret_cast<const MSG*>(lp)->wParam == VK_RETURN) {
        handled = true;
        return ::DefSubclassProc(hwnd_, msg, wp, lp) | DLGC_WANTMESSAGE;
    }
    if (msg == WM_KEYDOWN && wp == VK_RETURN) {
        handled = true;
        SetPath(FolderOfLine(ListIndex()));
        return 0;
    }
    if (msg == WM_CHAR && wp == VK_RETURN) {
        handled = true;
        return 0;
    }
    return ListBox::OnSubclassMessage(msg, wp, lp, handled);
}

}  // namespace kv::win
