#include "fixture.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <functional>

#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"

namespace kvtest {

namespace {

// Wine's name of a Windows path in the Unix file system; empty outside Wine.
std::wstring UnixName(const std::wstring& path) {
    using Fn = char*(__cdecl*)(const wchar_t*);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return {};
    char* name = fn(path.c_str());
    if (!name) return {};
    std::wstring out;
    for (const char* c = name; *c; ++c) out += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
}

std::wstring Quote(const std::wstring& text) { return L"\"" + text + L"\""; }

// Starts a Unix program (Wine starts those too; it hands back no process to wait for), then
// waits until `done` says its work is visible.
bool RunUnix(const std::wstring& program, const std::wstring& args, const std::function<bool()>& done) {
    std::wstring line = program + L" " + args;
    std::wstring exe = L"Z:" + program;
    for (auto& c : exe)
        if (c == L'/') c = L'\\';
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    for (int i = 0; i < 100 && !done(); ++i) ::Sleep(20);
    return done();
}

bool Present(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool Uninstall::MakeLink(const std::wstring& link, const std::wstring& target) {
    const std::wstring unixTarget = UnixName(target), unixLink = UnixName(link);
    if (!unixTarget.empty() && !unixLink.empty())
        RunUnix(L"/bin/ln", L"-s " + Quote(unixTarget) + L" " + Quote(unixLink), [&] { return Present(link); });
    else
        ::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                              (FolderThere(target) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2 /* unprivileged */);
    if (!Present(link)) return false;
    links.push_back(link);
    return true;
}

std::wstring Uninstall::ThroughDriveZ(const std::wstring& path) {
    std::wstring name = UnixName(path);
    if (name.empty()) return {};
    for (auto& c : name)
        if (c == L'/') c = L'\\';
    // The prefix's drive C: is reached through dosdevices\c:, a link to drive_c.
    const std::wstring viaDevices = L"\\dosdevices\\c:\\";
    if (const size_t at = name.find(viaDevices); at != std::wstring::npos)
        name.replace(at, viaDevices.size(), L"\\drive_c\\");
    return L"Z:" + name;
}

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

void Uninstall::SetUp() {
    wchar_t cwd[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    startFolder = cwd;
    root = FreshTempPath(L"kvuninst");
    install = root + L"\\Program Files\\Korvane";
    temp = root + L"\\Users\\ann\\AppData\\Local\\Temp";
    programs = root + L"\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    commonPrograms = root + L"\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    startMenuFolder = commonPrograms + L"\\Korvane";
    desktop = root + L"\\Users\\ann\\Desktop";
    commonDesktop = root + L"\\Users\\Public\\Desktop";
    for (const auto& f : {install, temp, programs, commonPrograms, desktop, commonDesktop, root + L"\\Windows\\system32",
                          root + L"\\Users\\ann\\Documents"})
        MakeFolder(f);

    folders = {};
    folders.windows = root + L"\\Windows";
    folders.system = root + L"\\Windows\\system32";
    folders.programFiles = {root + L"\\Program Files"};
    folders.usersRoot = root + L"\\Users";
    folders.userProfile = root + L"\\Users\\ann";
    folders.desktop = desktop;
    folders.commonDesktop = commonDesktop;
    folders.programs = programs;
    folders.commonPrograms = commonPrograms;
    folders.other = {root + L"\\Users\\ann\\Documents"};

    kv::uninstall::ResetModule();
    auto& host = kv::uninstall::TheHost();
    host = {};
    host.programFolder = install;
    host.programName = L"KorvaneUninstaller";
    host.tempPath = [this] { return temp + L"\\"; };
    host.specialFolders = folders;
    host.startCopy = [this](const std::wstring& exe, const std::wstring& args, const std::wstring& folder,
                            bool wait) -> std::optional<DWORD> {
        copiesStarted.emplace_back(exe, folder);
        copyArguments.push_back(args);
        if (!wait) return 0;
        if (copyDoes) copyDoes();
        ::DeleteFileW(exe.c_str());  // as the copy's batch file does once it has ended
        return copyExitCode;
    };
    host.startBatch = [this](const std::wstring& batch, const std::wstring& folder) {
        batchesStarted.emplace_back(batch, folder);
        return true;
    };
    host.pause = [this](int ms) {
        pauses.push_back(ms);
        kv::win::DoEvents(1);
    };
    host.entryRoot = HKEY_CURRENT_USER;
    host.entryKey = kEntryKey;
    kv::win::SetAppTitle(L"KorvaneUninstaller");
}

void Uninstall::TearDown() {
    ::SetCurrentDirectoryW(startFolder.c_str());
    for (const auto& link : links) {
        if (const std::wstring name = UnixName(link); !name.empty())
            RunUnix(L"/bin/rm", L"-f " + Quote(name), [&] { return !Present(link); });
        else if (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            ::RemoveDirectoryW(link.c_str());
        else
            ::DeleteFileW(link.c_str());
    }
    kv::win::ResetAllForms();
    kv::win::SetBusyPointer(false);
    kv::win::SetAppTitle(L"Korvane");
    kv::uninstall::TheHost() = {};
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KorvaneTests");
    RemoveAll(root);
    EXPECT_TRUE(dialogs.AllConsumed()) << "a scripted message was never shown";
}

std::vector<std::wstring> Uninstall::StandardLogLines() const {
    return {L"INSTALLPATH=" + install,
            install + L"\\Korvane.exe",
            install + L"\\Beacon.ico",
            install + L"\\KorvaneUninstaller.exe",
            install + L"\\Skull.ico",
            startMenuFolder + L"\\Korvane.lnk",
            startMenuFolder + L"\\Uninstall Korvane.lnk",
            desktop + L"\\Korvane.lnk",
            startMenuFolder};
}

void Uninstall::WriteLog(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const auto& line : lines) text += Narrow(line) + "\r\n";
    WriteAll(install + L"\\KORVANE-InstallLog.txt", text);
}

void Uninstall::Install() {
    MakeFolder(install);
    for (const wchar_t* name : {L"Korvane.exe", L"Beacon.ico", L"KorvaneUninstaller.exe", L"Skull.ico"})
        WriteAll(install + L"\\" + name, "MZ program file");
    WriteAll(install + L"\\KVU.txt", "users\r\n");
    WriteAll(install + L"\\KVL.txt", "log\r\n");
    ::SetFileAttributesW((install + L"\\KVU.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeFolder(startMenuFolder);
    MakeShortcut(startMenuFolder + L"\\Korvane.lnk", install + L"\\Korvane.exe");
    MakeShortcut(startMenuFolder + L"\\Uninstall Korvane.lnk", install + L"\\KorvaneUninstaller.exe");
    MakeShortcut(desktop + L"\\Korvane.lnk", install + L"\\Korvane.exe");
    WriteLog(StandardLogLines());
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t name[] = L"Korvane";
    ::RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
    ::RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(install.c_str()),
                     static_cast<DWORD>((install.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

void Uninstall::MakeShortcut(const std::wstring& link, const std::wstring& target) {
    IShellLinkW* shell = nullptr;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                             reinterpret_cast<void**>(&shell))));
    shell->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    EXPECT_TRUE(SUCCEEDED(file->Save(link.c_str(), TRUE))) << Narrow(link);
    file->Release();
    shell->Release();
}

void Uninstall::MakeCopy(const std::wstring& asFolder) {
    ::CopyFileW((install + L"\\KORVANE-InstallLog.txt").c_str(), (temp + L"\\KORVANE-InstallLog.txt").c_str(), FALSE);
    WriteAll(temp + L"\\KorvaneUninstaller.exe", "MZ copy");
    kv::uninstall::TheHost().programFolder = asFolder.empty() ? temp : asFolder;
}

void Uninstall::StartProgram() {
    kv::win::TheForm<kv::uninstall::frmMain>().Show();
    PumpMessages();
}

void Uninstall::ClickContinue() {
    auto* form = kv::win::LoadedForm<kv::uninstall::frmMain>();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->cmdContinue.Enabled());
    ::SendMessageW(form->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
}

void Uninstall::UninstallAnswering(const std::wstring& messageStart) {
    MakeCopy();
    StartProgram();
    dialogs.ExpectQuestion(L"Are you sure you want to uninstall Korvane?", kv::win::MsgButtons::YesNo,
                           kv::win::MsgResult::Yes);
    dialogs.ExpectMessageStartingWith(messageStart);
    ClickContinue();
}

bool Uninstall::EntryThere() const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

}  // namespace kvtest
