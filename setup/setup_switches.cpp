#include "setup/setup_switches.h"

#include <cwctype>

#include "shared/switches.h"

namespace kv::setup {

namespace {

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view line) {
    std::vector<std::wstring> words;
    size_t i = 0;
    bool program = true;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::wstring word;
        bool quoted = false;
        for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
            if (line[i] == L'"') quoted = !quoted;
            else word += line[i];
        }
        if (program) program = false;  // the program's own name
        else words.push_back(word);
    }
    return words;
}

SetupSwitches ParseSetupSwitches(const std::vector<std::wstring>& args) {
    SetupSwitches s;
    s.any = !args.empty();
    auto refuse = [&s](const std::wstring& why) {
        if (s.error.empty()) s.error = why;
    };
    auto place = [&](const std::wstring& arg, const std::wstring& value, ShortcutPlace& out) {
        const std::wstring v = Lower(value);
        if (v == L"allusers") out = ShortcutPlace::AllUsers;
        else if (v == L"thisuser") out = ShortcutPlace::ThisUser;
        else if (v == L"none") out = ShortcutPlace::None;
        else refuse(L"The value of " + arg + L" must be allusers, thisuser or none.");
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        // A folder or a file may also be the next argument: /dir "C:\Apps\Korvane".
        const install::SwitchArg sw = install::ReadSwitch(args, i, {L"dir", L"log"});
        if (!sw.isSwitch) {
            refuse(L"Not a switch: " + arg);
            continue;
        }
        const std::wstring& name = sw.name;
        const std::wstring& value = sw.value;
        const bool hasValue = sw.hasValue;
        const bool flag = name == L"quiet" || name == L"q" || name == L"acceptlicense" ||
                          name == L"allownonempty" || name == L"?" || name == L"help";
        if (flag && hasValue) {
            refuse(L"The switch /" + name + L" takes no value: " + arg);
        } else if (name == L"quiet" || name == L"q") {
            s.quiet = true;
        } else if (name == L"acceptlicense") {
            s.acceptLicense = true;
        } else if (name == L"allownonempty") {
            s.allowNonEmpty = true;
        } else if (name == L"?" || name == L"help") {
            s.usage = true;
        } else if (name == L"dir") {
            s.folderGiven = true;
            s.folder = value;
            if (value.find_first_not_of(L' ') == std::wstring::npos) refuse(L"/dir needs a folder: " + arg);
        } else if (name == L"log") {
            s.logFile = value;
            if (value.find_first_not_of(L' ') == std::wstring::npos) refuse(L"/log needs a file name: " + arg);
        } else if (name == L"startmenu") {
            place(L"/startmenu", value, s.startMenu);
        } else if (name == L"desktop") {
            place(L"/desktop", value, s.desktop);
        } else {
            refuse(L"Unknown switch: " + arg);
        }
    }
    if (s.error.empty() && !s.quiet && !s.usage && s.any && (s.acceptLicense || s.allowNonEmpty || s.folderGiven ||
                                                            s.startMenu != ShortcutPlace::Unchosen ||
                                                            s.desktop != ShortcutPlace::Unchosen ||
                                                            !s.logFile.empty()))
        refuse(L"The choices are taken only with /quiet; without it Setup asks for them.");
    return s;
}

ShortcutPlace ResolvePlace(ShortcutPlace chosen, bool allUsersFolderExists, bool thisUserFolderExists) {
    switch (chosen) {
    case ShortcutPlace::Unchosen:
        if (allUsersFolderExists) return ShortcutPlace::AllUsers;
        return thisUserFolderExists ? ShortcutPlace::ThisUser : ShortcutPlace::None;
    case ShortcutPlace::AllUsers:
        return allUsersFolderExists ? chosen : ShortcutPlace::Unchosen;
    case ShortcutPlace::ThisUser:
        return thisUserFolderExists ? chosen : ShortcutPlace::Unchosen;
    case ShortcutPlace::None:
        break;
    }
    return ShortcutPlace::None;
}

std::wstring SetupUsage() {
    return L"Setup.exe /quiet /acceptlicense [/dir=<folder>] [/startmenu=...] [/desktop=...] "
           L"[/allownonempty] [/log=<file>]\r"
           L"\r"
           L"/quiet - installs with no window and no question, and does not start Korvane.\r"
           L"/acceptlicense - accepts the licence agreement; a quiet installation needs it.\r"
           L"/dir=<folder> - the installation folder; like the options page's, it ends in \"Korvane\", "
           L"which is added when it does not (default: Korvane in the program-files folder).\r"
           L"/startmenu=allusers|thisuser|none - the Start Menu shortcuts.\r"
           L"/desktop=allusers|thisuser|none - the desktop shortcut.\r"
           L"(Default for both: all users, else this user, as the options page preselects them.)\r"
           L"/allownonempty - installs into a folder that already holds other files; uninstalling "
           L"removes that folder with everything in it.\r"
           L"/log=<file> - what the quiet installation did, or why it stopped "
           L"(default: KorvaneSetup.log in the temporary folder).\r"
           L"/? - this text.\r"
           L"\r"
           L"Switch names ignore case; \"-\" may stand for \"/\", and \":\" for \"=\".\r"
           L"Exit codes: 0 installed; 1603 not installed, or not completely; 1602 cancelled; "
           L"87 a switch or value not understood.";
}

}  // namespace kv::setup
