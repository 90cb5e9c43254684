// The folder chooser: a drive list and a folder list; Accept writes the folder into the
// options page.
#include "setup/AppFunctions.h"
#include "setup/forms.h"
#include "win/app.h"

namespace kv::setup {

win::FormDesign frmBrowseFolders::Design() const {
    return {.caption = L"Locate Folder", .clientWidth = 4680, .clientHeight = 4560,
            .border = win::BorderStyle::FixedToolWindow, .showInTaskbar = false};
}

void frmBrowseFolders::CreateControls() {
    const win::Container here{this, hwnd(), 0, 0};
    Label1.Create(here, L"Install Folder", {120, 120, 4440, 255});
    txtFolder.Create(here, L"", {120, 390, 4440, 315});
    Drive1.Create(here, {120, 840, 4440, 315});
    Drive1.Change = [this] { Drive1_Change(); };
    Dir1.Create(here, {120, 1260, 4440, 2640});
    Dir1.Change = [this] { Dir1_Change(); };
    Dir1.MouseDown = [this](int button, int shift, int x, int y) { Dir1_MouseDown(button, shift, x, y); };
    cmdAccept.Create(here, L"Accept", {1740, 4050, 1335, 375}, {}, true);
    cmdAccept.Click = [this] { cmdAccept_Click(); };
    cmdCancel.Create(here, L"Cancel", {3225, 4050, 1335, 375});
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    SetDefaultButton(&cmdAccept);
    SetCancelButton(&cmdCancel);
}

void frmBrowseFolders::Form_Load() {
    // Errors ignored: a drive that is not ready or a folder not there leaves the lists as they were.
    win::IgnoreErrors([this] {
        const std::wstring wanted = win::TheForm<frmSecond>().txtInstallPath.Text();
        if (wanted.empty()) return;
        const std::wstring drive = wanted.substr(0, wanted.find(L'\\'));
        // The folder list follows only when the drive could be chosen; a folder that does
        // not exist yet leaves it at the drive's current folder.
        if (!Drive1.SetDrive(drive)) return;
        Dir1.SetPath(wanted);
        // Neither list raises a change when it already stands where it is put (the drive
        // of the current folder, a folder that does not exist yet): the text box shows the
        // folder list's folder all the same.
        Dir1_Change();
    });
}

void frmBrowseFolders::Drive1_Change() {
    // Errors ignored: a drive that is not ready or a folder not there leaves the lists as they were.
    win::IgnoreErrors([this] {
        const std::wstring drive = Drive1.Drive();
        if (drive.size() >= 2) Dir1.SetPath(drive.substr(0, 2));
    });
}

void frmBrowseFolders::Dir1_Change() {
    // Errors ignored: a drive that is not ready or a folder not there leaves the lists as they were.
    win::IgnoreErrors([this] { txtFolder.SetText(Dir1.Path()); });
}

void frmBrowseFolders::Dir1_MouseDown(int button, int, int, int) {
    if (button != 2) return;
    POINT at{};
    ::GetCursorPos(&at);
    PopupMenu({win::MenuItem{L"mnuAccept", L"Accept Folder", [this] { mnuAccept_Click(); }}}, at);
}

void frmBrowseFolders::mnuAccept_Click() { cmdAccept_Click(); }

void frmBrowseFolders::cmdAccept_Click() {
    const std::wstring chosen = txtFolder.Text().empty() ? Dir1.Path() : txtFolder.Text();
    if (auto* options = win::LoadedForm<frmSecond>()) options->txtInstallPath.SetText(chosen);
    Unload();
}

void frmBrowseFolders::cmdCancel_Click() { Unload(); }

}  // namespace kv::setup
