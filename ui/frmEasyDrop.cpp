#include "ui/frmEasyDrop.h"

#include "core/Globals.h"
#include "core/Navigation.h"
#include "ui/easydrop_position.h"
#include "ui/frmAbout.h"
#include "ui/frmHelp.h"
#include "ui/frmMain.h"
#include "ui/frmViewLogFile.h"
#include "win/app.h"
#include "win/settings.h"

#include <vector>

namespace kv {

using namespace Globals;

namespace {
const wchar_t kApplication[] = L"Korvane";
const wchar_t kSection[] = L"EasyDrop";
}  // namespace

win::FormDesign frmEasyDrop::Design() const {
    return {.caption = L"Korvane", .clientWidth = 1320, .clientHeight = 1035,
            .border = win::BorderStyle::FixedToolWindow, .centered = false};
}

void frmEasyDrop::CreateControls() {
    Picture1.Create({this, hwnd(), 0, 0}, {-240, -120, 2775, 2175}, kDropAreaGreen);
    drop_.Register(Picture1.hwnd(), [this](IDataObject* data) { Picture1_OLEDragDrop(data); });
    SetMenuBar({
        {L"mnuOptions", L"Options", nullptr,
         {
             {L"mnuUsers", L"Users...", [this] { mnuUsers_Click(); }},
             {L"mnuUser", L"User", [this] { mnuUser_Click(); }},
             {L"mnuViewLogFile", L"View Log File", [this] { mnuViewLogFile_Click(); }},
             {L"mnuD1", L"-"},
             {L"mnuH", L"Help", nullptr,
              {
                  {L"mnuHelp", L"Show Help", [this] { mnuHelp_Click(); }},
                  {L"mnuAbout", L"About", [this] { mnuAbout_Click(); }},
              }},
             {L"mnuD2", L"-"},
             {L"mnuExitEasyDrop", L"Exit Easy-Drop Mode", [this] { mnuExitEasyDrop_Click(); }},
             {L"mnuQuit", L"Quit", [this] { mnuQuit_Click(); }},
         }},
    });
}

void frmEasyDrop::Form_Load() {
    // Every error of the load is ignored: what cannot be set leaves the window usable.
    win::IgnoreErrors([&] { ShowAdministrationMenus(*this); });
    win::IgnoreErrors([&] {
        const std::wstring& name = CurrentUserRecord().UserName;
        const std::wstring x = win::GetSetting(kApplication, kSection, EasyDropKeyX(name), L"100");
        const std::wstring y = win::GetSetting(kApplication, kSection, EasyDropKeyY(name), L"100");
        // The monitors present now: a place left on a second monitor is kept while it is there.
        std::vector<TwipsRect> monitors;
        struct Collect {
            const frmEasyDrop* form;
            std::vector<TwipsRect>* monitors;
        } collect{this, &monitors};
        ::EnumDisplayMonitors(
            nullptr, nullptr,
            [](HMONITOR monitor, HDC, LPRECT, LPARAM p) -> BOOL {
                auto* c = reinterpret_cast<Collect*>(p);
                MONITORINFO info{sizeof(info)};
                if (::GetMonitorInfoW(monitor, &info)) {
                    const RECT& r = info.rcMonitor;
                    c->monitors->push_back({c->form->Twips(r.left), c->form->Twips(r.top), c->form->Twips(r.right),
                                            c->form->Twips(r.bottom)});
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&collect));
        const TwipsPoint at = EasyDropPosition(x, y, Twips(::GetSystemMetrics(SM_CXSCREEN)),
                                               Twips(::GetSystemMetrics(SM_CYSCREEN)), monitors);
        Move(at.x, at.y);
    });
}

LRESULT frmEasyDrop::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (OpensMenuBar(msg, wp)) ShowAdministrationMenus(*this);
    return Form::OnMessage(msg, wp, lp);
}

void frmEasyDrop::Form_Activate() {
    ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool frmEasyDrop::Form_QueryUnload(int unloadMode) {
    if (unloadMode == win::vbFormControlMenu && !CurrentUserRecord().StartEasyDrop) win::TheForm<frmMain>().Show();
    return false;  // closing is never cancelled
}

void frmEasyDrop::Form_Unload() {
    drop_.Revoke();
    // A position that cannot be written must not keep the window open.
    const std::wstring& name = CurrentUserRecord().UserName;
    win::IgnoreErrors([&] {
        win::SaveSetting(kApplication, kSection, EasyDropKeyX(name), std::to_wstring(Left()));
        win::SaveSetting(kApplication, kSection, EasyDropKeyY(name), std::to_wstring(Top()));
    });
}

void frmEasyDrop::Picture1_OLEDragDrop(IDataObject* data) { Navigate().HandleFileDrop(data); }

void frmEasyDrop::mnuUsers_Click() { Navigate().ShowUserAdministration(); }
void frmEasyDrop::mnuUser_Click() { Navigate().ShowOwnAccount(); }
void frmEasyDrop::mnuViewLogFile_Click() { ShowLogViewer(); }
void frmEasyDrop::mnuHelp_Click() { win::TheForm<frmHelp>().Show(); }
void frmEasyDrop::mnuAbout_Click() { win::TheForm<frmAbout>().ShowModal(); }

void frmEasyDrop::mnuExitEasyDrop_Click() {
    win::TheForm<frmMain>().Show();
    Unload();
}

void frmEasyDrop::mnuQuit_Click() { Unload(); }

}  // namespace kv
