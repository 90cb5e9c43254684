#include "uninstaller/uninstall_rules.h"

namespace kv::uninstall {

namespace {

constexpr wchar_t kCR = L'\r';

// A path as a line of the batch file takes it: unchanged when cmd reads it as one plain
// word, otherwise in double quotes, and with every "%" doubled because cmd expands "%"
// even inside quotes.
std::wstring Quoted(const std::wstring& path) {
    if (path.find_first_of(L" &()[]{}^=;!'+,`~%") == std::wstring::npos) return path;
    std::wstring out = L"\"";
    for (wchar_t c : path) {
        out += c;
        if (c == L'%') out += L'%';
    }
    return out + L"\"";
}

}  // namespace

bool MayDeleteListedFile(std::wstring_view file, const std::vector<std::wstring>& installFolders,
                         const SpecialFolders& folders) {
    const std::wstring n = NormalPath(file);
    if (n.empty()) return false;
    for (const auto& folder : installFolders) {
        const std::wstring f = NormalPath(folder);
        if (!f.empty() && IsInside(n, f)) return true;
    }
    if (n.size() < 4 || !SameName(std::wstring_view(n).substr(n.size() - 4), L".lnk")) return false;
    for (const auto* place : {&folders.desktop, &folders.commonDesktop, &folders.programs, &folders.commonPrograms}) {
        const std::wstring f = NormalPath(*place);
        if (!f.empty() && IsInside(n, f)) return true;
    }
    return false;
}

bool MayRemoveListedFolder(std::wstring_view folder, const std::vector<std::wstring>& installFolders,
                           const SpecialFolders& folders) {
    if (RefusalReason(folder, folders)) return false;
    const std::wstring n = NormalPath(folder);
    for (const auto& install : installFolders) {
        const std::wstring f = NormalPath(install);
        if (f.empty()) continue;
        // The installation folder, a folder inside it, or a level Setup created above it.
        if (SameName(n, f) || IsInside(n, f) || IsInside(f, n)) return true;
    }
    for (const auto* programs : {&folders.programs, &folders.commonPrograms}) {
        const std::wstring p = NormalPath(*programs);
        if (!p.empty() && (SameName(n, p + L"\\Korvane") || IsInside(n, p + L"\\Korvane"))) return true;
    }
    return false;
}

bool IsTempCopy(std::wstring_view ownFolder, std::wstring_view tempFolder) {
    return SameName(ownFolder, tempFolder);
}

std::wstring ChooseTempFolder(std::wstring_view reported, bool reportedExists, std::wstring_view ownFolder) {
    std::wstring t(reportedExists ? reported : ownFolder.substr(0, 2));
    if (!t.empty() && t.back() == L'\\') t.pop_back();
    return t;
}

std::vector<std::wstring> KillMyselfLines(std::wstring_view ownFolder, std::wstring_view exeName,
                                          std::wstring_view tempFolder, std::wstring_view firstInstance) {
    const std::wstring P(ownFolder), E(exeName), T(tempFolder), F(firstInstance);
    std::vector<std::wstring> lines{
        L"@Echo off",
        L":S",
        L"cd " + Quoted(P + L"\\"),
        L"Del " + Quoted(E + L".exe"),
        L"If Exist " + Quoted(P + L"\\" + E + L".exe") + L" Goto S",
    };
    if (!F.empty()) lines.insert(lines.end(), {L":F", L"Del " + Quoted(F), L"If Exist " + Quoted(F) + L" Goto F"});
    lines.push_back(L"cd " + Quoted(T + L"\\"));
    lines.push_back(L"Del killmyself.bat");
    return lines;
}

std::wstring MovedFirstInstanceName(std::wstring_view exeName, unsigned long processId) {
    return std::wstring(exeName) + L"-" + std::to_wstring(processId) + L".exe";
}

bool IsMovedFirstInstanceName(std::wstring_view fileName, std::wstring_view exeName) {
    const std::wstring prefix = std::wstring(exeName) + L"-";
    if (fileName.size() <= prefix.size() + 4 || !StartsWithName(fileName, prefix)) return false;
    if (!SameName(fileName.substr(fileName.size() - 4), L".exe")) return false;
    const std::wstring_view digits = fileName.substr(prefix.size(), fileName.size() - prefix.size() - 4);
    return digits.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

Switches ParseSwitches(const std::vector<std::wstring>& args) {
    Switches s;
    // Every argument is read, so that /quiet and /log hold even beside a bad one.
    auto refuse = [&s](const std::wstring& why) {
        if (s.error.empty()) s.error = why;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const install::SwitchArg sw = install::ReadSwitch(args, i, {L"log", L"first"});
        if (!sw.isSwitch) {
            refuse(L"unexpected argument: " + arg);
            continue;
        }
        const std::wstring& name = sw.name;
        const std::wstring& value = sw.value;
        const bool hasValue = sw.hasValue;
        if ((name == L"quiet" || name == L"q") && !hasValue) {
            s.quiet = true;
        } else if (name == L"log") {
            if (value.empty()) refuse(L"/log needs a file name");
            else s.logFile = value;
        } else if (name == L"first") {
            if (value.empty()) refuse(L"/first needs a file name");
            else s.firstInstance = value;
        } else if (name == L"?" || name == L"help") {
            refuse(L"usage");
        } else {
            refuse(L"unknown switch: " + arg);
        }
    }
    return s;
}

std::wstring CopyArguments(const Switches& switches) {
    if (!switches.quiet) return {};
    std::wstring args = L"/quiet";
    if (!switches.logFile.empty()) args += L" \"/log=" + switches.logFile + L"\"";
    if (!switches.firstInstance.empty()) args += L" \"/first=" + switches.firstInstance + L"\"";
    return args;
}

std::wstring UsageText() {
    return std::wstring(L"KorvaneUninstaller.exe [/quiet] [/log=<file>]") + kCR + kCR +
           L"/quiet      removes Korvane with no window and no question, and returns when the removal is finished" +
           kCR + L"/log=<file> adds what the removal reports to <file>" + kCR + kCR +
           L"Exit codes: 0 removed, 1603 not removed or not completely, 87 a bad switch.";
}

std::wstring NoInstallLogMessage(std::wstring_view logPath) {
    return L"No Install Log Found." + std::wstring(1, kCR) + L"Expected location: " + std::wstring(logPath) + kCR +
           L"The uninstallation can not continue.";
}

std::wstring CopyLogFailedMessage(std::wstring_view copyPath) {
    return L"Unable to copy log to temp folder." + std::wstring(1, kCR) + std::wstring(copyPath);
}

std::wstring CopyUninstallerFailedMessage(std::wstring_view copyPath) {
    return L"Unable to copy uninstaller to temp folder." + std::wstring(1, kCR) + std::wstring(copyPath);
}

std::wstring StartMessage() { return L"This process will uninstall " + std::wstring(L"Korvane") + L"..."; }

std::wstring ConfirmQuestion() { return L"Are you sure you want to uninstall " + std::wstring(L"Korvane") + L"?"; }

std::wstring SuccessMessage() {
    return L"Korvane" + std::wstring(L" was successfully uninstalled.") + kCR + kCR +
           L"You may need to restart your computer before all changes take effect.";
}

std::wstring RefusedMessage(std::wstring_view folder, std::wstring_view reason) {
    return L"The install log names this installation folder:" + std::wstring(1, kCR) + std::wstring(folder) + kCR +
           L"It will not be removed because " + std::wstring(reason) + L"." + kCR + kCR +
           L"Nothing was uninstalled.";
}

std::wstring NoHeaderMessage(std::wstring_view logPath) {
    return L"The install log names no installation folder:" + std::wstring(1, kCR) + std::wstring(logPath) + kCR +
           kCR + L"Nothing was uninstalled.";
}

std::wstring IncompleteMessage(const std::vector<Remaining>& remaining, bool installationRemains) {
    constexpr size_t kShown = 12;
    std::wstring text = L"Korvane was not completely uninstalled. These items remain:";
    text += kCR;
    for (size_t i = 0; i < remaining.size() && i < kShown; ++i)
        text += std::wstring(1, kCR) + remaining[i].path + L" (" + remaining[i].reason + L")";
    if (remaining.size() > kShown)
        text += std::wstring(1, kCR) + L"and " + std::to_wstring(remaining.size() - kShown) + L" more";
    text += std::wstring(1, kCR) + kCR +
            (installationRemains ? L"Close any program that uses them, then uninstall Korvane again to finish."
                                 : L"Close any program that uses them, then delete them yourself.");
    return text;
}

}  // namespace kv::uninstall
