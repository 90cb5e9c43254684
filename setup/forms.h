// Setup's windows, one after the other: the licence, the welcome page, the options page
// (with the folder chooser), the progress page and the completion window.
#pragma once

#include <functional>
#include <string>

#include "win/controls.h"
#include "win/folder_lists.h"
#include "win/form.h"

namespace kv::setup {

// The licence agreement page, Setup's first window.
class frmLicense : public win::Form {
public:
    win::Label lblTop, lblCheckLeft;
    win::TextBox txtLicense;
    win::CheckBox chkAccept;
    win::CommandButton cmdContinue, cmdCancel;

    void chkAccept_Click();
    void cmdContinue_Click();
    void cmdCancel_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload() override;
};

// The welcome page.
class frmFirst : public win::Form {
public:
    win::Frame Frame1;
    win::Label Label1, lblWizzard, lblMain;
    win::PictureBox Image1;
    win::CommandButton cmdContinue, cmdCancel;

    void cmdContinue_Click();
    void cmdCancel_Click();
    void EnsureInstallerRequirements();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
};

// The options page: installation folder, Start Menu and desktop shortcuts.
class frmSecond : public win::Form {
public:
    win::Frame frameInstallPath, frameStartMenu, frameDesktop;
    win::TextBox txtInstallPath;
    win::CommandButton cmdBrowse, cmdContinue, cmdCancel;
    win::OptionButton optStartAllUsers, optStartThisUser, optStartNone;
    win::OptionButton optIconAllUsers, optIconThisUser, optIconNone;

    void txtInstallPath_Change();
    void cmdBrowse_Click();
    void cmdContinue_Click();
    void cmdCancel_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
};

// The progress page: status line and bar while the installation runs.
class frmThird : public win::Form {
public:
    win::Frame frameStatus, frameProgress;
    win::Label lblStatus;
    win::PictureBox Picture1, Picture2;

    void SetStatus(const std::wstring& text);  // Status
    void SetScrollBarPercent(int value);       // ScrollBarPercent
    int ScrollBarPercent() const { return percent_; }
    // The installation run; Setup ends with it.
    void StartInstall();
    void FinishScrollingProgressBar();
    void FormatAndCreateIcon(const std::wstring& targetFolder, const std::wstring& linkName,
                             const std::wstring& sourceFileName, const std::wstring& description,
                             const std::wstring& iconName);
    // Raised after every write of ScrollBarPercent with the value written.
    std::function<void(int value)> BarMoved;

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;

private:
    int percent_ = 0;
};

// The completion window, closing itself after two seconds.
class frmMessage : public win::Form {
public:
    win::PictureBox Picture1;
    win::Label Label1;
    win::Timer Timer1;

    void Timer1_Timer();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
};

// The folder chooser: a drive list and a folder list.
class frmBrowseFolders : public win::Form {
public:
    win::Label Label1;
    win::TextBox txtFolder;
    win::DriveListBox Drive1;
    win::DirListBox Dir1;
    win::CommandButton cmdAccept, cmdCancel;

    void Drive1_Change();
    void Dir1_Change();
    void Dir1_MouseDown(int button, int shift, int x, int y);
    void mnuAccept_Click();
    void cmdAccept_Click();
    void cmdCancel_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
};

// The wizard's pages: "Oranvel Installer", one fixed size across, minimizable.
win::FormDesign WizardPage(int clientHeight);

// Draws one of Setup's pictures (resource icon id) centred in a picture box.
void PaintPicture(HDC dc, const RECT& area, int iconId);
inline constexpr int kBeaconIcon = 2;
inline constexpr int kLicenseText = 101;

}  // namespace kv::setup
