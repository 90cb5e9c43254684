#include "setup/setup_rules.h"

#include "shared/install_guard.h"

#include <cmath>
#include <cwctype>

namespace kv::setup {

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

std::wstring InstallPathAfterChange(const std::wstring& text) {
    if (text.empty() || EndsWith(text, kProductFolder)) return text;
    if (text.back() == L'\\') return text + kProductFolder;
    return text + L"\\" + kProductFolder;
}

bool IsAbsoluteFolder(const std::wstring& path) {
    if (path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\') return true;
    // \\server\share: both names present.
    if (path.size() >= 5 && path[0] == L'\\' && path[1] == L'\\') {
        const size_t serverEnd = path.find(L'\\', 2);
        if (serverEnd == std::wstring::npos || serverEnd == 2) return false;
        const size_t shareEnd = path.find(L'\\', serverEnd + 1);
        const size_t shareLength = (shareEnd == std::wstring::npos ? path.size() : shareEnd) - serverEnd - 1;
        return shareLength > 0 && path[2] != L'?' && path[2] != L'.';
    }
    return false;
}

std::vector<std::wstring> FolderLevels(const std::wstring& path) {
    std::vector<std::wstring> pieces;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find(L'\\', start);
        pieces.push_back(path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
        if (slash == std::wstring::npos) break;
        start = slash + 1;
    }
    std::vector<std::wstring> levels;
    if (path.empty()) return levels;
    size_t next = 1;
    std::wstring current = pieces[0];
    if (path.rfind(L"\\\\", 0) == 0 && pieces.size() >= 4) {
        current = L"\\\\" + pieces[2] + L"\\" + pieces[3];
        next = 4;
    }
    levels.push_back(current);
    for (size_t i = next; i < pieces.size(); ++i) {
        current += L"\\" + pieces[i];
        levels.push_back(current);
    }
    return levels;
}

std::wstring DefaultInstallPath(const std::wstring& programFilesFolder, bool programFilesExists,
                                bool cProgramFilesExists, bool cRootExists, const std::wstring& setupFolder) {
    if (programFilesExists) return programFilesFolder + L"\\" + kProductFolder;
    if (cProgramFilesExists) return std::wstring(L"C:\\Program Files\\") + kProductFolder;
    if (cRootExists) return std::wstring(L"C:\\") + kProductFolder;
    return setupFolder + L"\\" + kProductFolder;
}

int ScrollBarLeft(int trackWidth, int value) {
    if (value <= 0) return 0;
    return static_cast<int>(std::lround(trackWidth / 100.0 * value));
}

std::wstring RegisterCommandLine(const std::wstring& componentPath) {
    return L"regsvr32 /s \"" + componentPath + L"\"";
}

std::wstring ShortcutFileName(const std::wstring& linkPath) {
    const std::wstring tail = Lower(linkPath.size() >= 4 ? linkPath.substr(linkPath.size() - 4) : linkPath);
    if (tail == L".lnk" || tail == L".url") return linkPath;
    return linkPath + L".lnk";
}

bool RefusedFolderText(const std::wstring& text) {
    std::wstring path = text;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return true;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (!part.empty() && part != L"." && part != L".." && (part.back() == L' ' || part.back() == L'.'))
            return true;
        start = end + 1;
    }
    return false;
}

std::wstring NoFolderMessage() { return L"Please select an Installation Folder"; }

std::wstring FolderNotCreatedMessage(const std::wstring& folder) {
    return L"The folder " + folder + L" could not be created.\rPlease select another folder";
}

std::wstring UnusableFolderMessage(const std::wstring& folder) {
    return L"The folder " + folder + L" cannot be used for the installation.\r"
           L"A folder name may not end in a blank or a full stop, and the folder must be named by its "
           L"drive (C:\\...) or its network share (\\\\server\\share\\...).\rPlease select another folder";
}

std::wstring GuardedFolderMessage(const std::wstring& folder, const std::wstring& reason) {
    return L"The folder " + folder + L" cannot be used for the installation: " + reason + L".\r"
           L"Uninstalling removes the installation folder with everything in it, and such a folder is never "
           L"removed, so Korvane could not be uninstalled again.\rPlease select another folder";
}

std::wstring FolderTooLongMessage(const std::wstring& folder) {
    return L"The folder " + folder + L" cannot be used for the installation: its path is " +
           std::to_wstring(folder.size()) + L" characters long.\r"
           L"The uninstaller can be started only from a folder whose path has at most " +
           std::to_wstring(install::kMaxInstallFolderLength) + L" characters.\rPlease select another folder";
}

std::wstring AnotherSetupMessage() {
    return L"Another Setup of Korvane is running on this computer.\r"
           L"Wait until it has ended, then start Setup again.\rNothing was installed.";
}

std::wstring OccupiedFolderQuestion(const std::wstring& folder) {
    return L"The folder " + folder + L" already holds other files.\r"
           L"Uninstalling Korvane removes this folder with everything in it, those files included.\r"
           L"Install Korvane into this folder anyway?";
}

std::wstring IncompleteInstallationMessage(const std::vector<std::wstring>& notInstalled) {
    std::wstring text = L"The installation of Korvane is incomplete. These could not be installed:";
    for (const auto& item : notInstalled) text += L"\r" + item;
    return text + L"\rPlease make room on the disk or close the programs using these files, and run Setup again.";
}

std::wstring ScriptingRuntimeMessage(const std::wstring& systemFolder) {
    return L"Unable to register required file.\r(" + systemFolder + L"\\scrrun.dll)";
}

std::wstring InstallRightsMessage() {
    return L"Invalid Installation Scenerio.\r\r"
           L"If you are attempting to perform this installation from a CD or other "
           L"write-protected drive, please move the installation package to the root folder "
           L"of the computer.  This is usually the C:\\\r\r"
           L"If the package is already on the local drive, make sure your computer administrator "
           L"has given you rights to create, edit, and delete files, as well as install programs "
           L"and register .dll and .ocx files";
}

}  // namespace kv::setup
