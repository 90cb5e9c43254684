// The uninstaller's rules that need no window or file system: which installation folder it
// may delete, which listed files and folders it may touch, the self-deleting batch file,
// and how the copy in the temporary folder recognises itself. Paths are Windows paths held
// as wide strings; letter case never matters.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/install_guard.h"
#include "shared/path_rules.h"
#include "shared/switches.h"

namespace kv::uninstall {

// The folders never taken whole and why: the same rule Setup asks before it installs.
using install::ProtectedFolder;
using install::ProtectedFolders;
using install::RefusalReason;
using install::SpecialFolders;

using install::IsInside;
using install::NormalPath;
using install::SameName;
using install::StartsWithName;

// Whether a file listed in the log may be deleted: it lies inside one of the installation
// folders, or it is a shortcut (".lnk") inside one of the four desktop and Start Menu
// folders.
bool MayDeleteListedFile(std::wstring_view file, const std::vector<std::wstring>& installFolders,
                         const SpecialFolders& folders);

// Whether a folder listed in the log may be removed once it is empty: the installation
// folder, a folder inside it or a level above it that Setup created, or the "Korvane"
// folder of a Start Menu's programs or one inside it, and never one of the folders the header may not name.
bool MayRemoveListedFolder(std::wstring_view folder, const std::vector<std::wstring>& installFolders,
                           const SpecialFolders& folders);

// The copy runs from the temporary folder: its own folder equals it, letter case ignored.
bool IsTempCopy(std::wstring_view ownFolder, std::wstring_view tempFolder);

// The temporary folder as reported (with its trailing "\"), or, when that folder does not
// exist, the drive of the program's own folder (its first two characters); without a
// trailing "\" either way.
std::wstring ChooseTempFolder(std::wstring_view reported, bool reportedExists, std::wstring_view ownFolder);

// The seven lines of "killmyself.bat" (without line ends) for the program in `ownFolder`
// named `exeName` & ".exe", the batch file lying in `tempFolder`. A path cmd would not read
// as one plain word (a blank, "&", "(", "%", "!"...) is put in double quotes, its "%" doubled;
// every other line is exactly as the batch file has always read.
// `firstInstance`, when given, is the quiet first instance's program file, moved into the
// temporary folder: three more lines after the fifth delete it once that instance has ended.
std::vector<std::wstring> KillMyselfLines(std::wstring_view ownFolder, std::wstring_view exeName,
                                          std::wstring_view tempFolder, std::wstring_view firstInstance = {});

// The name the quiet first instance moves its program file to in the temporary folder,
// "<exeName>-<process id>.exe", and whether a name is one of those (only such a file is
// deleted for it).
std::wstring MovedFirstInstanceName(std::wstring_view exeName, unsigned long processId);
bool IsMovedFirstInstanceName(std::wstring_view fileName, std::wstring_view exeName);

// The messages, word for word.
std::wstring NoInstallLogMessage(std::wstring_view logPath);
std::wstring CopyLogFailedMessage(std::wstring_view copyPath);
std::wstring CopyUninstallerFailedMessage(std::wstring_view copyPath);
std::wstring StartMessage();          // "This process will uninstall Korvane..."
std::wstring ConfirmQuestion();       // "Are you sure you want to uninstall Korvane?"
std::wstring SuccessMessage();
// The installation folder refused: names it and why; nothing was removed.
std::wstring RefusedMessage(std::wstring_view folder, std::wstring_view reason);
// The log names no installation folder at all.
std::wstring NoHeaderMessage(std::wstring_view logPath);

// The switches an administrator's deployment tool gives the uninstaller. Without any, it
// runs as the window everybody knows.
struct Switches {
    bool quiet = false;     // "/quiet": no window, no question; the exit code tells the outcome
    std::wstring logFile;   // "/log=<file>" or "/log <file>": what the messages would have said
    // "/first=<file>": given by a quiet first instance to its copy, its own program file moved
    // into the temporary folder (a running program file cannot be deleted, only moved).
    std::wstring firstInstance;
    std::wstring error;     // why the command line was refused; empty when it was understood
};
// Reads the arguments after the program's name. Switch names ignore case and may start with
// "/" or "-"; "/q" is "/quiet". A bad argument is named in `error`; /quiet and /log are
// still read from the others, so a quiet run can report it in its log.
Switches ParseSwitches(const std::vector<std::wstring>& args);
// The arguments that start the copy in the temporary folder the same way (none for the window).
std::wstring CopyArguments(const Switches& switches);
// The usage, for "/?" and after a bad switch.
std::wstring UsageText();

using install::kExitBadSwitch;
using install::kExitCancelled;
using install::kExitFailed;
using install::kExitSuccess;

// What was left behind, each with why.
struct Remaining {
    std::wstring path;
    std::wstring reason;
};
// When the installation itself remains (its folder, log and entry are kept so that another
// uninstall can finish the job), the last line says to uninstall again.
std::wstring IncompleteMessage(const std::vector<Remaining>& remaining, bool installationRemains);

}  // namespace kv::uninstall
