// Which installation folders may be taken whole: the one rule Setup asks before it creates
// a folder and the uninstaller asks before it removes one, so that Setup installs only where
// its uninstaller can take the installation back. Portable part: the shell's folders as
// text, and the reasons a folder is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::install {

// The shell's folders that are never taken whole. Empty entries are unknown and ignored.
// All without a trailing backslash.
struct SpecialFolders {
    std::wstring windows;           // C:\Windows
    std::wstring system;            // C:\Windows\system32
    std::vector<std::wstring> programFiles;  // C:\Program Files, C:\Program Files (x86), common files...
    std::wstring usersRoot;         // C:\Users (the folder holding the profiles)
    std::wstring userProfile;       // C:\Users\name
    std::wstring desktop;           // the user's desktop
    std::wstring commonDesktop;     // the all users' desktop
    std::wstring programs;          // the user's Start Menu programs
    std::wstring commonPrograms;    // the all users' Start Menu programs
    std::vector<std::wstring> other;  // Start Menu, documents, application data... of both kinds
    std::wstring temp;              // the temporary folder
};

// The folders that are never taken whole, each normal, with its name for messages ("the
// system folder", "a desktop folder"...).
struct ProtectedFolder {
    std::wstring path;
    const wchar_t* name;
};
std::vector<ProtectedFolder> ProtectedFolders(const SpecialFolders& folders);

// Why the folder may not be taken whole, or nothing when it may: not a full path, a drive
// root or share, one of the special folders, a folder holding one of them (the users
// folder, a profile), a user profile, or the temporary folder.
std::optional<std::wstring> RefusalReason(std::wstring_view installFolder, const SpecialFolders& folders);

// The longest installation folder the uninstaller can be started from: its program file's
// path (folder & "\KorvaneUninstaller.exe", as the entry's command, the shortcut and cmd name
// it) must stay below the 260 characters of a path a program is started by: cmd, which runs
// the entry's command from a batch file, starts "<235 characters>\KorvaneUninstaller.exe" and
// fails with 9009 from 236 on.
inline constexpr size_t kMaxInstallFolderLength = 235;

}  // namespace kv::install
