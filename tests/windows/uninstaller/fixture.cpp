#include "fixture.h"

#include "uninstaller/frmMain.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"

namespace kvtest {

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

void Uninstall::SetUp() {
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
    host.startCopy = [this](const std::wstring& exe) {
        copiesStarted.push_back(exe);
        return true;
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
    for (const wchar_t* name : {L"Korvane.exe", L"Beacon.ico", L"KorvaneUninstaller.exe", L"Skull.ico"})
        WriteAll(install + L"\\" + name, "MZ program file");
    WriteAll(install + L"\\KVU.txt", "users\r\n");
    WriteAll(install + L"\\KVL.txt", "log\r\n");
    ::SetFileAttributesW((install + L"\\KVU.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeFolder(startMenuFolder);
    WriteAll(startMenuFolder + L"\\Korvane.lnk", "link");
    WriteAll(startMenuFolder + L"\\Uninstall Korvane.lnk", "link");
    WriteAll(desktop + L"\\Korvane.lnk", "link");
    WriteLog(StandardLogLines());
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t name[] = L"Korvane";
    ::RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
    ::RegCloseKey(key);
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

bool Uninstall::EntryThere() const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kEntryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

}  // namespace kvtest
