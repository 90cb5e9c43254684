#include "ui/frmProgress.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "win/app.h"

namespace kv {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

constexpr int kFillTop = -50;
constexpr int kFillHeight = 475;  // taller than the 375 of its frame, which clips it
constexpr std::uint64_t kRefreshEveryMs = 30;

const win::FontDesc kBold{L"MS Sans Serif", 8.25, true};

// The Cancel button sits centred below the bars, where the window used to end; the window
// grows by the button and a margin as wide as the one above it.
constexpr int kClientWidth = 7290;
constexpr int kBarsHeight = 1980;  // the window's height without the button
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kButtonMargin = 165;
constexpr int ButtonGrowth() { return kButtonHeight + kButtonMargin; }

// Esc in any window of the program while a progress window is loaded. Seen in the program's
// own loops (a hook of the thread's messages would cost Wine a server call at every message).
bool EscFilter(frmProgress& target, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || (msg.lParam & (1 << 30)) != 0) return false;
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    wchar_t kind[16] = {};
    if (root) ::GetClassNameW(root, kind, 16);
    // One of the program's windows; a modal one opened meanwhile (the about box) keeps its
    // Esc, as message boxes do.
    const auto* form = std::wstring_view(kind) == L"KorvaneForm"
                           ? reinterpret_cast<const win::Form*>(::GetWindowLongPtrW(root, GWLP_USERDATA))
                           : nullptr;
    if (!form || form->IsModal()) return false;
    win::IgnoreErrors([&] { target.cmdCancel_Click(); });
    return true;
}

}  // namespace

win::FormDesign frmProgress::Design() const {
    return {.clientWidth = kClientWidth, .clientHeight = kBarsHeight + ButtonGrowth(), .border = win::BorderStyle::None,
            .centered = true, .backColor = kBlue, .showInTaskbar = false};
}

void frmProgress::CreateControls() {
    const win::Container form{this, hwnd(), 0, 0};
    Label1.Create(form, L"Kor-Vane", {2640, 120, 1815, 375}, {L"Times New Roman", 15.75, true});
    Label1.SetColors(kYellow, kBlue);
    lblCurrent.Create(form, L"", {240, 240, 2415, 255}, kBold);
    lblCurrent.SetColors(kWhite, kBlue);
    lblFile.Create(form, L"", {240, 480, 6855, 495}, kBold);
    lblFile.SetColors(kWhite, kBlue);

    picTopMaster.Create(form, {240, 960, 6735, 375}, kBlue);
    picTopMinor.Create(picTopMaster.Inside(), {0, kFillTop, 0, kFillHeight}, kGreen);
    picBottomMaster.Create(form, {240, 1440, 6735, 375}, kBlue);
    picBottomMinor.Create(picBottomMaster.Inside(), {0, kFillTop, 0, kFillHeight}, kGreen);

    cmdCancel.Create(form, L"Cancel", {(kClientWidth - kButtonWidth) / 2, kBarsHeight, kButtonWidth, kButtonHeight},
                     kBold);
    cmdCancel.SetCancel();
    cmdCancel.Click = [this] { cmdCancel_Click(); };
}

void frmProgress::Form_Load() {
    k_ = 0;
    n_ = 0;
    path_.clear();
    held_ = false;
    cancel_ = false;
    win::SetMessageFilter([this](const MSG& msg) { return EscFilter(*this, msg); });
}

void frmProgress::Form_Unload() {
    win::SetMessageFilter(nullptr);
}

void frmProgress::cmdCancel_Click() {
    if (cancel_.exchange(true)) return;
    // Taken once: the button says so until the run has stopped.
    cmdCancel.SetEnabled(false);
}

int frmProgress::FillWidth(int frameWidth, double value, double total) {
    if (!(total > 0) || !std::isfinite(value)) return 0;
    const double width = frameWidth * value / total;
    // Anything past the frame is clipped; keep the number within what a window takes.
    return static_cast<int>(std::clamp(width, 0.0, 2.0 * frameWidth));
}

void frmProgress::MaxFiles(std::int32_t n) {
    n_ = n;
    lblCurrent.SetText(L"Current File (1 of " + std::to_wstring(n) + L")");
    win::IgnoreErrors([&] {
        picTopMinor.Move({0, kFillTop, picTopMinor.Position().width, kFillHeight});
        picBottomMinor.Move({0, kFillTop, picBottomMinor.Position().width, kFillHeight});
        if (n == 1) {
            const win::Rect top = picTopMaster.Position();
            win::Rect bottom = picBottomMaster.Position();
            bottom.left = top.left;
            bottom.top = top.top;
            picBottomMaster.Move(bottom);
            picTopMaster.SetVisible(false);
            // The one-bar window, grown by the button as the two-bar one is.
            const int barsHeight = bottom.top + bottom.height + 200;
            win::Rect button = cmdCancel.Position();
            button.top = barsHeight;
            cmdCancel.Move(button);
            SetHeight(barsHeight + ButtonGrowth());
        }
    });
}

void frmProgress::StartNewFile(const std::wstring& path) {
    ++k_;
    path_ = path;
    // The first and the last document are shown at once, the others with the next repaint
    // (every 30 ms): a run of many small documents would otherwise spend more time setting
    // and painting their names than transforming them.
    const bool due = k_ <= 1 || k_ >= n_ || ::GetTickCount64() - lastRefresh_ >= kRefreshEveryMs;
    held_ = true;
    if (due) Refresh(true);
}

void frmProgress::ShowLatest() {
    if (held_) Refresh(true);
}

void frmProgress::ShowHeld() {
    held_ = false;
    lblCurrent.SetText(L"Current File (" + std::to_wstring(k_) + L" of " + std::to_wstring(n_) + L")");
    lblFile.SetText(path_);
    win::IgnoreErrors([&] {
        picTopMinor.Move({0, kFillTop, FillWidth(picTopMaster.Position().width, k_, n_), kFillHeight});
        MoveDocumentBar();
    });
}

void frmProgress::MoveDocumentBar() {
    const int width = FillWidth(picBottomMaster.Position().width, lastPercent_, 100);
    if (width != picBottomMinor.Position().width) picBottomMinor.Move({0, kFillTop, width, kFillHeight});
}

void frmProgress::FileProgress(std::int32_t m_Percent) { FileProgress(m_Percent, 1); }

void frmProgress::FileProgress(std::int32_t m_Percent, std::uint64_t times) {
    if (times == 0) return;
    reports_ += times;
    lastPercent_ = m_Percent;
    win::IgnoreErrors([&] {
        if (!held_) MoveDocumentBar();
        // Repainting and pumping at every report would cost more than the transform
        // itself on a large document: only a visible change, or a while without one,
        // lets the window system in.
        Refresh(false);
    });
}

void frmProgress::Refresh(bool force) {
    if (!hwnd()) return;
    const int shown = Px(picBottomMinor.Position().width);
    const std::uint64_t now = ::GetTickCount64();
    // While a document waits to be shown, only the time brings the next repaint: each
    // small document moves the document bar from empty to full.
    if (!force && (held_ || shown == shownWidth_) && now - lastRefresh_ < kRefreshEveryMs) return;
    if (held_) ShowHeld();
    shownWidth_ = Px(picBottomMinor.Position().width);
    lastRefresh_ = now;
    ++refreshes_;
    ::SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::UpdateWindow(hwnd());
    win::DoEvents(1);
}

}  // namespace kv
