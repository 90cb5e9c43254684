// The options page: the installation folder and where shortcuts go.
#include "setup/AppFunctions.h"
#include "setup/forms.h"
#include "setup/setup_rules.h"
#include "win/app.h"
#include "win/dialogs.h"

namespace kv::setup {

win::FormDesign frmSecond::Design() const { return WizardPage(3600); }

void frmSecond::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    frameInstallPath.Create(here, L"Installation Folder", {120, 60, 6960, 735});
    const win::Container path = frameInstallPath.Inside();
    txtInstallPath.Create(path, L"", {120, 300, 6180, 315});
    txtInstallPath.Change = [this] { txtInstallPath_Change(); };
    cmdBrowse.Create(path, L"...", {6360, 285, 480, 345});
    cmdBrowse.Click = [this] { cmdBrowse_Click(); };

    frameStartMenu.Create(here, L"Add to Start Menu", {120, 900, 3420, 1455});
    const win::Container menu = frameStartMenu.Inside();
    optStartAllUsers.Create(menu, L"All Users", {240, 300, 3000, 300}, {}, true);
    optStartThisUser.Create(menu, L"This User Only", {240, 660, 3000, 300});
    optStartNone.Create(menu, L"Do not add to the Start Menu", {240, 1020, 3000, 300});

    frameDesktop.Create(here, L"Create Desktop Icon", {3660, 900, 3420, 1455});
    const win::Container desk = frameDesktop.Inside();
    optIconAllUsers.Create(desk, L"All Users", {240, 300, 3000, 300}, {}, true);
    optIconThisUser.Create(desk, L"This User Only", {240, 660, 3000, 300});
    optIconNone.Create(desk, L"Do not add a Desktop Icon", {240, 1020, 3000, 300});

    cmdContinue.Create(here, L"Continue >", {5745, 3000, 1335, 375}, {}, true);
    cmdContinue.Click = [this] { cmdContinue_Click(); };
    cmdCancel.Create(here, L"Cancel", {4245, 3000, 1335, 375});
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    SetDefaultButton(&cmdContinue);
    SetCancelButton(&cmdCancel);
}

void frmSecond::Form_Load() {
    const auto& f = Module().Folders;
    txtInstallPath.SetText(DefaultInstallFolder());
    optStartAllUsers.SetEnabled(FolderExists(f.CommonProgramsFolder));
    optStartThisUser.SetEnabled(FolderExists(f.ProgramsFolder));
    optIconAllUsers.SetEnabled(FolderExists(f.CommonDesktopFolder));
    optIconThisUser.SetEnabled(FolderExists(f.DesktopFolder));
    // The first enabled of "All Users" and "This User Only", else the third option.
    auto choose = [](win::OptionButton& all, win::OptionButton& mine, win::OptionButton& none) {
        switch (ResolvePlace(ShortcutPlace::Unchosen, all.Enabled(), mine.Enabled())) {
        case ShortcutPlace::AllUsers: all.SetValue(true); break;
        case ShortcutPlace::ThisUser: mine.SetValue(true); break;
        default: none.SetValue(true); break;
        }
    };
    choose(optStartAllUsers, optStartThisUser, optStartNone);
    choose(optIconAllUsers, optIconThisUser, optIconNone);
}

void frmSecond::txtInstallPath_Change() {
    // Errors ignored: the rule only ever appends to what was typed.
    win::IgnoreErrors([this] {
        const std::wstring text = txtInstallPath.Text();
        const std::wstring changed = InstallPathAfterChange(text);
        if (changed == text) return;
        // Where the user was typing before the product folder was added.
        DWORD caret = 0;
        ::SendMessageW(txtInstallPath.hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
        txtInstallPath.SetText(changed);
        ::SendMessageW(txtInstallPath.hwnd(), EM_SETSEL, caret, caret);
    });
}

void frmSecond::cmdBrowse_Click() { win::TheForm<frmBrowseFolders>().Show(this); }

void frmSecond::cmdContinue_Click() {
    txtInstallPath.SetText(TrimBlanks(txtInstallPath.Text()));
    const auto accepted = AcceptInstallFolder(txtInstallPath.Text(), [](const std::wstring& folder) {
        return win::MsgBox(OccupiedFolderQuestion(folder), win::MsgButtons::YesNo, win::MsgIcon::Exclamation) ==
               win::MsgResult::Yes;
    });
    if (!accepted) return;  // told why; the page stays
    const std::wstring& folder = *accepted;
    auto& m = Module();
    m.InstallPath = folder;
    m.StartMenuAllUsers = optStartAllUsers.Value();
    m.StartMenuThisUser = optStartThisUser.Value();
    m.DesktopAllUsers = optIconAllUsers.Value();
    m.DesktopThisUser = optIconThisUser.Value();
    win::SetBusyPointer(true);
    win::DoEvents(3);
    if (auto* chooser = win::LoadedForm<frmBrowseFolders>()) chooser->Unload();
    Hide();
    auto& progress = win::TheForm<frmThird>();
    progress.Show();
    win::DoEvents(6);
    progress.StartInstall();
}

void frmSecond::cmdCancel_Click() {
    Unload();
    EndSetup();
}

}  // namespace kv::setup
