// The about box: the program's name and versions, links to the maker's website and to
// support by e-mail, and a picture. Opened modally by the working windows' About items.
#pragma once

#include <functional>
#include <string>

#include "win/controls.h"
#include "win/form.h"

namespace kv {

// A label that acts as a link: it takes the mouse (hand pointer), reports the pointer
// moving over it and raises Click when clicked.
class LinkLabel : public win::Label {
public:
    std::function<void()> MouseMove;

protected:
    LRESULT OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

private:
    bool pressed_ = false;
};

inline constexpr wchar_t kWebsiteShown[] = L"www.korvane.example";
inline constexpr wchar_t kSupportEmail[] = L"support@korvane.example";
inline constexpr wchar_t kSupportMailUrl[] = L"mailto:support@korvane.example?subject=Korvane";
inline constexpr COLORREF kLinkColor = RGB(128, 200, 255);
inline constexpr COLORREF kLinkHoverColor = RGB(255, 255, 255);

// How the about box hands an address to the shell: verb (empty: the default verb), address
// and window style. The real one calls ShellExecute; tests install their own.
using ShellExecuteHandler = std::function<void(const std::wstring& verb, const std::wstring& url, int windowStyle)>;
void SetAboutShellHandler(ShellExecuteHandler handler);  // empty: the real shell

// The running program's version from its own version resource, as major.minor.revision
// (the fourth number being the revision); empty when the program carries none.
std::wstring ProgramHardVersion();

// The about box.
class frmAbout : public win::Form {
public:
    win::Label Label1, Label2, lblAppName, Label3, lblVirtualVersion, Label5, lblHardVersion, Label7, Label9;
    LinkLabel lblWebsite, lblEmail;
    win::PictureBox Image1;
    win::CommandButton cmdClose;

    // The colour of a link when the pointer is not on it, taken from lblWebsite at load.
    COLORREF NormalLinkColor = CLR_INVALID;

    // Asks the shell to perform "Open" on the address, shown with the window style.
    void OpenInternet(const std::wstring& URL, int WindowStyle);

    void Form_MouseMove();
    void lblEmail_Click();
    void lblEmail_MouseMove();
    void lblWebsite_Click();
    void lblWebsite_MouseMove();
    void cmdClose_Click();

protected:
    win::FormDesign Design() const override;
    void CreateControls() override;
    void Form_Load() override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace kv
