#include "ui/frmAbout.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "ui/help_topics.h"
#include "win/app.h"
#include "win/handle.h"
#include "win/system_library.h"
#include "win/files.h"

namespace kv {

namespace {

using PenHandle = win::unique_handle<win::GdiObjectTraits<HPEN>>;

constexpr COLORREF kBackColor = RGB(16, 32, 72);
constexpr COLORREF kCaptionColor = RGB(240, 200, 96);
constexpr COLORREF kValueColor = RGB(235, 235, 245);

ShellExecuteHandler& ShellHandler() {
    static ShellExecuteHandler handler;
    return handler;
}

void Execute(const std::wstring& verb, const std::wstring& url, int windowStyle) {
    if (ShellHandler()) return ShellHandler()(verb, url, windowStyle);
    // No parameters, no working folder; the outcome is not reported.
    ::ShellExecuteW(nullptr, verb.empty() ? nullptr : verb.c_str(), url.c_str(), nullptr, nullptr, windowStyle);
}

// Our picture: a page of a document held shut by a gold padlock.
void PaintPicture(HDC dc, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int s = std::min(w, h);
    const int ox = r.left + (w - s) / 2, oy = r.top + (h - s) / 2;
    auto X = [&](int permille) { return ox + s * permille / 1000; };
    auto Y = [&](int permille) { return oy + s * permille / 1000; };
    const int saved = ::SaveDC(dc);

    // The page, with its top-right corner folded over.
    PenHandle outline(::CreatePen(PS_SOLID, std::max(1, s / 80), RGB(150, 160, 190)));
    win::BrushHandle paper(::CreateSolidBrush(RGB(250, 250, 252)));
    ::SelectObject(dc, outline.get());
    ::SelectObject(dc, paper.get());
    const POINT page[] = {{X(140), Y(60)}, {X(560), Y(60)}, {X(720), Y(220)}, {X(720), Y(820)}, {X(140), Y(820)}};
    ::Polygon(dc, page, 5);
    win::BrushHandle fold(::CreateSolidBrush(RGB(210, 215, 230)));
    ::SelectObject(dc, fold.get());
    const POINT corner[] = {{X(560), Y(60)}, {X(720), Y(220)}, {X(560), Y(220)}};
    ::Polygon(dc, corner, 3);

    // Lines of text on the page.
    PenHandle ink(::CreatePen(PS_SOLID, std::max(1, s / 60), RGB(120, 130, 160)));
    ::SelectObject(dc, ink.get());
    for (int line = 0; line < 6; ++line) {
        const int y = Y(300 + line * 80);
        const int right = line == 5 ? 420 : (line < 2 ? 500 : 640);
        ::MoveToEx(dc, X(220), y, nullptr);
        ::LineTo(dc, X(right), y);
    }

    // The padlock: a shackle (half ring on two legs) and a body with a keyhole.
    PenHandle shackle(::CreatePen(PS_SOLID | PS_GEOMETRIC | PS_ENDCAP_FLAT, std::max(2, s / 16), RGB(170, 175, 185)));
    ::SelectObject(dc, shackle.get());
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Arc(dc, X(560), Y(400), X(860), Y(700), X(860), Y(550), X(560), Y(550));
    ::MoveToEx(dc, X(560), Y(550), nullptr);
    ::LineTo(dc, X(560), Y(640));
    ::MoveToEx(dc, X(860), Y(550), nullptr);
    ::LineTo(dc, X(860), Y(640));

    PenHandle rim(::CreatePen(PS_SOLID, std::max(1, s / 70), RGB(140, 100, 20)));
    win::BrushHandle gold(::CreateSolidBrush(RGB(232, 182, 48)));
    ::SelectObject(dc, rim.get());
    ::SelectObject(dc, gold.get());
    ::RoundRect(dc, X(490), Y(620), X(930), Y(950), s / 10, s / 10);
    win::BrushHandle hole(::CreateSolidBrush(RGB(60, 40, 10)));
    ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    ::SelectObject(dc, hole.get());
    ::Ellipse(dc, X(675), Y(700), X(745), Y(770));
    const POINT slot[] = {{X(690), Y(750)}, {X(730), Y(750)}, {X(745), Y(870)}, {X(675), Y(870)}};
    ::Polygon(dc, slot, 4);

    ::RestoreDC(dc, saved);  // deselects our pens and brushes before they are deleted
}

}  // namespace

LRESULT LinkLabel::OnSubclassMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
    case WM_NCHITTEST:  // a plain label lets the mouse through to the window below
        handled = true;
        return HTCLIENT;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        handled = true;
        return TRUE;
    case WM_MOUSEMOVE:
        if (MouseMove) {
            auto handler = MouseMove;
            handler();
        }
        break;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        break;
    case WM_LBUTTONUP:
        if (pressed_ && Click) {
            pressed_ = false;
            auto handler = Click;
            handler();
        }
        pressed_ = false;
        break;
    default:
        break;
    }
    return Label::OnSubclassMessage(msg, wp, lp, handled);
}

void SetAboutShellHandler(ShellExecuteHandler handler) { ShellHandler() = std::move(handler); }

std::wstring ProgramHardVersion() {
    const std::wstring path = win::ProgramPath();
    if (path.empty()) return {};
    // The version functions live in version.dll, which is not a known DLL: taken from the
    // system folder on demand rather than imported, so no file beside the program is loaded.
    const auto getSize = win::SystemProc<decltype(&::GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    const auto getInfo = win::SystemProc<decltype(&::GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    const auto queryValue = win::SystemProc<decltype(&::VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    if (!getSize || !getInfo || !queryValue) return {};
    DWORD ignored = 0;
    const DWORD size = getSize(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!getInfo(path.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!queryValue(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return {};
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
           L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

win::FormDesign frmAbout::Design() const {
    return {.caption = L"About...", .clientWidth = 6360, .clientHeight = 4440, .border = win::BorderStyle::FixedDialog,
            .backColor = kBackColor, .showInTaskbar = false};
}

void frmAbout::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    const win::FontDesc title{L"Palatino Linotype", 15.75, true};
    const win::FontDesc caption{L"Palatino Linotype", 9.75, true};
    const win::FontDesc value{L"Palatino Linotype", 9.75};

    Image1.Create(form, {240, 240, 1560, 1560}, kBackColor);
    Image1.Paint = [](HDC dc, const RECT& r) { PaintPicture(dc, r); };

    Label1.Create(form, std::wstring(kAboutWords.maker), {2040, 240, 4080, 480}, title);
    Label2.Create(form, std::wstring(kAboutWords.titleCaption), {2040, 900, 1800, 300}, caption);
    lblAppName.Create(form, L"SampleApp", {3900, 900, 2220, 300}, value);
    Label3.Create(form, std::wstring(kAboutWords.virtualCaption), {2040, 1260, 1800, 300}, caption);
    lblVirtualVersion.Create(form, L"", {3900, 1260, 2220, 300}, value);
    Label5.Create(form, std::wstring(kAboutWords.hardCaption), {2040, 1620, 1800, 300}, caption);
    lblHardVersion.Create(form, L"", {3900, 1620, 2220, 300}, value);

    Label7.Create(form, std::wstring(kAboutWords.websiteCaption), {240, 2100, 4000, 300}, caption);
    lblWebsite.Create(form, kWebsiteShown, {480, 2400, 2600, 300}, value);
    Label9.Create(form, std::wstring(kAboutWords.supportCaption), {240, 2820, 4000, 300}, caption);
    lblEmail.Create(form, kSupportEmail, {480, 3120, 2600, 300}, value);

    cmdClose.Create(form, L"Close", {4905, 3780, 1215, 420}, {}, true);

    for (win::Label* label : {&Label1, &Label2, &Label3, &Label5, &Label7, &Label9})
        label->SetColors(kCaptionColor, CLR_INVALID);
    for (win::Label* label : {&lblAppName, &lblVirtualVersion, &lblHardVersion})
        label->SetColors(kValueColor, CLR_INVALID);
    lblWebsite.SetColors(kLinkColor, CLR_INVALID);  // the links' design colour
    lblEmail.SetColors(kLinkColor, CLR_INVALID);

    lblWebsite.Click = [this] { lblWebsite_Click(); };
    lblWebsite.MouseMove = [this] { lblWebsite_MouseMove(); };
    lblEmail.Click = [this] { lblEmail_Click(); };
    lblEmail.MouseMove = [this] { lblEmail_MouseMove(); };
    cmdClose.Click = [this] { cmdClose_Click(); };
}

void frmAbout::Form_Load() {
    // Every handler of the about box ignores errors.
    win::IgnoreErrors([&] {
        SetCaption(L"About " + std::wstring(kAboutWords.title) + L"...");
        lblAppName.SetText(std::wstring(kAboutWords.title));
        lblVirtualVersion.SetText(std::wstring(kAboutWords.virtualVersion));
        lblHardVersion.SetText(ProgramHardVersion());
        NormalLinkColor = lblWebsite.ForeColor();
    });
}

LRESULT frmAbout::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_MOUSEMOVE) Form_MouseMove();
    return Form::OnMessage(msg, wp, lp);
}

void frmAbout::OpenInternet(const std::wstring& URL, int WindowStyle) {
    // Every handler of the about box ignores errors.
    win::IgnoreErrors([&] { Execute(L"Open", URL, WindowStyle); });
}

// The shell takes the host name as written and hands it to the browser.
void frmAbout::lblWebsite_Click() { OpenInternet(kWebsiteShown, SW_SHOWNORMAL); }

void frmAbout::lblEmail_Click() {
    // Every handler of the about box ignores errors.
    win::IgnoreErrors([&] { Execute(L"", kSupportMailUrl, SW_SHOWNORMAL); });
}

void frmAbout::lblEmail_MouseMove() {
    if (lblEmail.ForeColor() != kLinkHoverColor) lblEmail.SetColors(kLinkHoverColor, CLR_INVALID);
}

void frmAbout::lblWebsite_MouseMove() {
    if (lblWebsite.ForeColor() != kLinkHoverColor) lblWebsite.SetColors(kLinkHoverColor, CLR_INVALID);
}

void frmAbout::Form_MouseMove() {
    // The pointer is on the window but off the links: both take the normal colour again.
    for (LinkLabel* link : {&lblEmail, &lblWebsite})
        if (link->ForeColor() != NormalLinkColor) link->SetColors(NormalLinkColor, CLR_INVALID);
}

void frmAbout::cmdClose_Click() { Unload(); }

}  // namespace kv
