// Setup's command line for unattended installation: the switches an administrator's
// deployment tool passes, the usage text and the exit codes. Without any switch Setup is the
// wizard everybody knows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shared/switches.h"

namespace kv::setup {

using install::kExitBadSwitch;
using install::kExitCancelled;
using install::kExitFailed;
using install::kExitSuccess;

// Where one kind of shortcut goes. Unchosen: where the options page would preselect it.
enum class ShortcutPlace { Unchosen, AllUsers, ThisUser, None };

struct SetupSwitches {
    bool any = false;            // at least one argument was given
    bool quiet = false;          // /quiet: no window, no question
    bool acceptLicense = false;  // /acceptlicense
    bool allowNonEmpty = false;  // /allownonempty: install into a folder that holds other files
    bool usage = false;          // /?
    bool folderGiven = false;
    std::wstring folder;         // /dir=<folder>
    ShortcutPlace startMenu = ShortcutPlace::Unchosen, desktop = ShortcutPlace::Unchosen;
    std::wstring logFile;        // /log=<file>
    std::wstring error;          // the first argument not understood, and why; empty if none
};

// The arguments after the program's name, as Windows programs without a C runtime of their
// own read them: blanks separate, double quotes group (and are removed) wherever they
// stand, and a backslash is always just a backslash, so /dir="C:\Apps\" keeps its last
// backslash.
std::vector<std::wstring> SplitArguments(std::wstring_view commandLine);

// Reads every argument, even after one that is not understood, so that /quiet and /log
// still hold when another switch is wrong. Names ignore case and start with "/" or "-";
// a value follows "=" or ":" (or, for /dir and /log, is the next argument).
SetupSwitches ParseSetupSwitches(const std::vector<std::wstring>& args);

// Where one kind of shortcut goes on this computer: an unchosen place becomes the first of
// all users and this user whose folder exists, else none (as the options page preselects);
// a chosen place whose folder does not exist gives Unchosen (it cannot be had).
ShortcutPlace ResolvePlace(ShortcutPlace chosen, bool allUsersFolderExists, bool thisUserFolderExists);

// What `Setup.exe /?` shows, with a carriage return between lines.
std::wstring SetupUsage();

}  // namespace kv::setup
