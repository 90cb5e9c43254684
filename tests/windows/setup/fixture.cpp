#include "fixture.h"

#include <shlobj.h>

#include "shared/install_guard.h"

#include "setup/forms.h"
#include "win/app.h"
#include "win/dialogs.h"
#include "win/form.h"

namespace kvtest {

std::wstring UsersFolder() {
    wchar_t profile[MAX_PATH + 1] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile);
    const std::wstring p = profile;
    return p.substr(0, p.rfind(L'\\'));
}

std::wstring TooLong(const std::wstring& root) {
    const size_t fill = kv::install::kMaxInstallFolderLength + 1 - root.size() - 1 - std::wstring(L"\\Korvane").size();
    return root + L"\\" + std::wstring(fill, L'x') + L"\\Korvane";
}


void SetupTest::SetUp() {
    root = FreshTempPath(L"kvsetup");
    package = root + L"\\Package";
    support = package + L"\\Support";
    system = root + L"\\Windows\\system32";
    programFiles = root + L"\\Program Files";
    desktop = root + L"\\Users\\ann\\Desktop";
    programs = root + L"\\Users\\ann\\Start Menu\\Programs";
    commonDesktop = root + L"\\Users\\Public\\Desktop";
    commonPrograms = root + L"\\ProgramData\\Start Menu\\Programs";
    for (const auto& f : {support, system, programFiles, desktop, programs, commonDesktop, commonPrograms}) MakeFolder(f);
    for (const wchar_t* name : {L"Korvane.exe", L"KorvaneUninstaller.exe", L"Beacon.ico", L"Skull.ico", L"MSINET.ocx",
                                L"RICHTX32.ocx", L"COMDLG32.OCX", L"scrrun.dll"})
        WriteAll(support + L"\\" + name, "content of " + Narrow(name));

    folders = {system, programFiles, desktop, programs, commonDesktop, commonPrograms};
    kv::setup::ResetModule();
    auto& host = kv::setup::TheHost();
    host = {};
    host.setupFolder = package;
    host.specialFolders = folders;
    host.runAndWait = [this](const std::wstring& line) {
        registered.push_back(line);
        return true;
    };
    host.startProgram = [this](const std::wstring& exe) {
        started.push_back(exe);
        return true;
    };
    host.pause = [this](int ms) {
        pauses.push_back(ms);
        kv::win::DoEvents(1);
    };
    host.beep = [this] { ++beeps; };
    host.entryRoot = HKEY_CURRENT_USER;
    host.entryKey = kEntryKey;
    kv::win::SetAppTitle(L"Setup");
    kv::win::SetLastFormUnloadedHandler([this] { ++lastUnloads; });
}

void SetupTest::TearDown() {
    kv::win::ResetAllForms();
    kv::win::SetBusyPointer(false);
    kv::win::SetAppTitle(L"Korvane");
    kv::win::SetLastFormUnloadedHandler([] {});
    kv::setup::TheHost() = {};
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KorvaneTests");
    RemoveAll(root);
    EXPECT_TRUE(dialogs.AllConsumed()) << "a scripted message was never shown";
}

void SetupTest::StartAndAcceptLicence() {
    using namespace kv::setup;
    auto& licence = kv::win::TheForm<frmLicense>();
    licence.Show();
    PumpMessages();
    licence.chkAccept.SetValue(1);
    ::SendMessageW(licence.cmdContinue.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
}

void SetupTest::ContinueWelcome() {
    auto* first = kv::win::LoadedForm<kv::setup::frmFirst>();
    ASSERT_NE(first, nullptr);
    ::SendMessageW(first->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    PumpMessages();
}

void SetupTest::ContinueOptions() {
    auto* second = kv::win::LoadedForm<kv::setup::frmSecond>();
    ASSERT_NE(second, nullptr);
    // The completion window closes itself on its timer; let it go at once.
    kv::win::SetModalHook([](kv::win::Form& form) {
        if (auto* done = dynamic_cast<kv::setup::frmMessage*>(&form)) done->Timer1.SetInterval(10);
    });
    ::SendMessageW(second->cmdContinue.hwnd(), BM_CLICK, 0, 0);
    kv::win::SetModalHook(nullptr);
    PumpMessages();
}

void SetupTest::InstallInto(const std::wstring& folder) {
    StartAndAcceptLicence();
    ContinueWelcome();
    if (!folder.empty()) {
        auto* second = kv::win::LoadedForm<kv::setup::frmSecond>();
        ASSERT_NE(second, nullptr);
        second->txtInstallPath.SetText(folder);
    }
    ContinueOptions();
}

}  // namespace kvtest
