// The uninstaller deletes itself: "killmyself.bat" in the temporary folder keeps trying
// until the program file is gone, then deletes itself.
#include "uninstaller/AppFunctions.h"

#include <cstdint>

#include "uninstaller/frmMain.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"
#include "win/real_paths.h"
#include "win/text.h"

namespace kv::uninstall {

namespace {

bool StartBatchReal(const std::wstring& batch, const std::wstring& folder) {
    wchar_t system[MAX_PATH + 1] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    // The batch file's path in a second pair of quotes: cmd takes the outer pair away, so a
    // "&" or "(" of a user's name stays inside the path.
    std::wstring line = L"\"" + cmd + L"\" /c \"\"" + batch + L"\"\"";
    STARTUPINFOW si{sizeof(si)};
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          folder.c_str(), &si, &pi))
        return false;
    const win::KernelHandle thread(pi.hThread), process(pi.hProcess);  // neither is waited for
    return true;
}

// The short (8.3) form of a folder, for a batch line whose characters the OEM code page
// cannot hold; the folder as given when there is none.
std::wstring ShortForm(const std::wstring& folder) {
    const DWORD n = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
    if (n == 0) return folder;
    std::wstring out(n, L'\0');
    const DWORD got = ::GetShortPathNameW(folder.c_str(), out.data(), n);
    if (got == 0 || got >= n) return folder;
    out.resize(got);
    return out;
}

// The quiet first instance's program file, when the copy was told of one and it is what that
// instance moves: a file directly in the temporary folder named for this program. Nothing
// else named on a command line is ever deleted.
std::wstring FirstInstanceToDelete(const std::wstring& named) {
    const auto& m = Module();
    if (named.empty()) return {};
    const size_t cut = named.find_last_of(L'\\');
    if (cut == std::wstring::npos) return {};
    if (!IsMovedFirstInstanceName(named.substr(cut + 1), ProgramNameOfUninstaller())) return {};
    const std::wstring folder = win::RealPath(named.substr(0, cut)), temp = win::RealPath(m.TempFolder);
    if (folder.empty() || !SameName(folder, temp)) return {};
    return named;
}

// The batch file as cmd reads it: in the OEM code page, each line ended by CR LF.
std::string BatchText(const std::wstring& ownFolder, const std::wstring& name, const std::wstring& tempFolder,
                      const std::wstring& firstInstance) {
    auto join = [](const std::vector<std::wstring>& lines) {
        std::wstring text;
        for (const auto& line : lines) text += line + L"\r\n";
        return text;
    };
    const std::wstring text = join(KillMyselfLines(ownFolder, name, tempFolder, firstInstance));
    if (auto oem = win::ToOem(text)) return *oem;
    const std::wstring shortText =
        join(KillMyselfLines(ShortForm(ownFolder), name, ShortForm(tempFolder),
                             firstInstance.empty() ? firstInstance : ShortForm(firstInstance)));
    if (auto oem = win::ToOem(shortText)) return *oem;
    return win::ToAnsi(text);  // nothing better to offer: the batch file then leaves the copy behind
}

}  // namespace

void DeleteSelf() {
    auto& m = Module();
    if (IsFormLoaded(L"frmMain")) win::TheForm<frmMain>().Unload();
    const std::wstring batch = m.TempFolder + L"\\killmyself.bat";
    const std::string text = BatchText(ProgramFolderOfUninstaller(), ProgramNameOfUninstaller(), m.TempFolder,
                                       m.InstallationGone ? FirstInstanceToDelete(m.switches.firstInstance) : std::wstring());
    win::WriteFileAtomically(batch, std::vector<std::uint8_t>(text.begin(), text.end()));
    Pause(200);
    const std::wstring folder = m.TempFolder + L"\\";
    if (TheHost().startBatch) TheHost().startBatch(batch, folder);
    else StartBatchReal(batch, folder);
    EndProgram();
}

}  // namespace kv::uninstall
