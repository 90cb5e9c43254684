// The quiet installation: the wizard's work with no window and no question. The choices
// come from the switches, every message goes to the log, and the exit code tells the
// deployment tool how it went.
#include "setup/quiet.h"

#include <windows.h>

#include "setup/AppFunctions.h"
#include "setup/setup_rules.h"
#include "win/dialogs.h"
#include "win/files.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv::setup {

namespace {

// The quiet installation's log: UTF-8 lines, each flushed as it is written, so that what
// was done is there even when Setup is killed.
class QuietLog {
public:
    explicit QuietLog(const std::wstring& path) {
        file_.reset(::CreateFileW(win::LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file_) Write("\xEF\xBB\xBF");
    }
    bool Open() const { return static_cast<bool>(file_); }

    // A text whose lines are separated by carriage returns (as a message box shows them).
    void Line(const std::wstring& text) {
        std::wstring out;
        for (wchar_t c : text) {
            if (c == L'\r') out += L"\r\n";
            else if (c != L'\n') out += c;
        }
        out += L"\r\n";
        Write(win::ToUtf8(out));
    }

private:
    void Write(const std::string& bytes) {
        DWORD written = 0;
        ::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::FlushFileBuffers(file_.get());
    }
    win::UniqueFile file_;
};

// Every message box the wizard's code would show is written to the log instead; nobody is
// there to answer, so a question is answered with its refusing button.
class LoggedDialogs : public win::DialogService {
public:
    explicit LoggedDialogs(QuietLog& log) : log_(log) {}
    win::MsgResult MessageBox(const std::wstring& text, win::MsgButtons buttons, win::MsgIcon,
                              const std::wstring&) override {
        log_.Line(text);
        switch (buttons) {
        case win::MsgButtons::OK: return win::MsgResult::OK;
        case win::MsgButtons::YesNo: return win::MsgResult::No;
        default: return win::MsgResult::Cancel;
        }
    }
    std::optional<std::wstring> InputBox(const std::wstring&, const std::wstring&, const std::wstring&) override {
        return std::nullopt;
    }
    std::wstring OpenFileName(HWND) override { return {}; }

private:
    QuietLog& log_;
};

// The run's steps written as they start; no bar, and none of the wizard's paced pauses.
class LoggedProgress : public InstallProgress {
public:
    explicit LoggedProgress(QuietLog& log) : log_(log) {}
    void Status(const std::wstring& text) override { log_.Line(text); }
    void Bar(int) override {}
    void Pause(int) override {}
    void FinishBar() override {}

private:
    QuietLog& log_;
};

class ServiceInPlace {
public:
    explicit ServiceInPlace(win::DialogService* service) : previous_(win::SetDialogService(service)) {}
    ~ServiceInPlace() { win::SetDialogService(previous_); }
    ServiceInPlace(const ServiceInPlace&) = delete;
    ServiceInPlace& operator=(const ServiceInPlace&) = delete;

private:
    win::DialogService* previous_;
};

const wchar_t* PlaceName(bool allUsers, bool thisUser) {
    return allUsers ? L"all users" : thisUser ? L"this user" : L"none";
}

// One kind of shortcut: false, after the line saying why, when the chosen place has no
// folder on this computer.
bool ChoosePlace(QuietLog& log, const wchar_t* switchName, ShortcutPlace chosen, const std::wstring& allUsersFolder,
                 const std::wstring& thisUserFolder, bool& allUsers, bool& thisUser) {
    const ShortcutPlace place = ResolvePlace(chosen, FolderExists(allUsersFolder), FolderExists(thisUserFolder));
    if (place == ShortcutPlace::Unchosen) {
        const bool wantedAll = chosen == ShortcutPlace::AllUsers;
        const std::wstring& missing = wantedAll ? allUsersFolder : thisUserFolder;
        log.Line(std::wstring(switchName) + (wantedAll ? L"=allusers" : L"=thisuser") +
                 L" cannot be followed: the folder " + (missing.empty() ? L"for it" : missing) +
                 L" does not exist on this computer.");
        return false;
    }
    allUsers = place == ShortcutPlace::AllUsers;
    thisUser = place == ShortcutPlace::ThisUser;
    return true;
}

}  // namespace

std::wstring DefaultQuietLogPath() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = n > 0 && n <= MAX_PATH ? std::wstring(temp, n) : std::wstring(L"C:\\");
    if (folder.back() != L'\\') folder += L'\\';
    return folder + L"KorvaneSetup.log";
}

int RunQuietInstallation(const SetupSwitches& switches, const std::wstring& commandLine) {
    QuietLog log(switches.logFile.empty() ? DefaultQuietLogPath() : switches.logFile);
    if (!log.Open()) return kExitBadSwitch;  // the log asked for cannot be written: nothing is done
    LoggedDialogs dialogs(log);
    ServiceInPlace inPlace(&dialogs);
    log.Line(L"Korvane Setup, quiet installation: " + commandLine);

    if (!switches.error.empty()) {
        log.Line(switches.error + L"\rNothing was installed.\r\r" + SetupUsage());
        return kExitBadSwitch;
    }
    if (switches.usage) {
        log.Line(SetupUsage());
        return kExitSuccess;
    }
    if (!switches.acceptLicense) {
        log.Line(L"The licence agreement was not accepted: a quiet installation needs /acceptlicense.\r"
                 L"Nothing was installed.");
        return kExitFailed;
    }

    if (!TakeSetupLock()) {
        log.Line(AnotherSetupMessage());
        return kExitFailed;
    }
    auto& m = Module();
    PrepareInstallation();
    // The prerequisite phase writes its own message to the log when it fails.
    if (!RunPrerequisites()) {
        log.Line(L"Nothing was installed.");
        return kExitFailed;
    }
    const auto& f = m.Folders;
    bool startAll = false, startMine = false, iconAll = false, iconMine = false;
    if (!ChoosePlace(log, L"/startmenu", switches.startMenu, f.CommonProgramsFolder, f.ProgramsFolder, startAll,
                     startMine) ||
        !ChoosePlace(log, L"/desktop", switches.desktop, f.CommonDesktopFolder, f.DesktopFolder, iconAll,
                     iconMine)) {
        log.Line(L"Nothing was installed.");
        return kExitFailed;
    }

    // The folder as the options page takes it: trimmed, ending in the product folder. A
    // last backslash is no request for a folder below: C:\Apps\Korvane\ is C:\Apps\Korvane
    // (typed on the page, the backslash comes before the rest of a name).
    std::wstring typed = TrimBlanks(switches.folderGiven ? switches.folder : DefaultInstallFolder());
    while (typed.size() > 1 && (typed.back() == L'\\' || typed.back() == L'/')) typed.pop_back();
    const auto folder = AcceptInstallFolder(InstallPathAfterChange(typed), [&](const std::wstring& occupied) {
        if (switches.allowNonEmpty) {
            log.Line(L"The folder " + occupied + L" already holds other files; /allownonempty lets Korvane install there.");
            return true;
        }
        log.Line(L"The folder " + occupied + L" already holds other files, and uninstalling Korvane removes it with "
                 L"everything in it. Choose another folder, or add /allownonempty to install there anyway.");
        return false;
    });
    if (!folder) {
        log.Line(L"Nothing was installed.");
        return kExitFailed;
    }
    m.InstallPath = *folder;
    m.StartMenuAllUsers = startAll;
    m.StartMenuThisUser = startMine;
    m.DesktopAllUsers = iconAll;
    m.DesktopThisUser = iconMine;
    log.Line(L"Installing Korvane into " + m.InstallPath + L"; Start Menu: " + PlaceName(startAll, startMine) +
             L"; desktop: " + PlaceName(iconAll, iconMine) + L".");

    LoggedProgress progress(log);
    const std::vector<std::wstring> notInstalled = RunInstallSteps(progress);
    if (!notInstalled.empty()) {
        log.Line(IncompleteInstallationMessage(notInstalled));
        log.Line(L"Installation Incomplete");
        m.ExitCode = kExitFailed;
    } else {
        log.Line(L"Installation Complete");
        m.ExitCode = kExitSuccess;
    }
    return m.ExitCode;
}

}  // namespace kv::setup
