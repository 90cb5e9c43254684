// A failure in any handler reaches the user, with the running program's title, and never
// crosses into Windows: a subclassed control's handler, a picture's painting and a task
// posted to the program.
#include "fixture.h"

#include <stdexcept>

#include "shared/clsWaitableTimer.h"
#include "win/app.h"
#include "win/controls.h"
#include "win/form.h"
#include "win/text.h"

namespace kvtest {
namespace {

class Failing : public kv::win::Form {
public:
    kv::win::TextBox text;
    kv::win::PictureBox picture;
    bool breakPainting = false;

protected:
    kv::win::FormDesign Design() const override {
        kv::win::FormDesign d;
        d.caption = L"Failing window";
        return d;
    }
    void CreateControls() override {
        const kv::win::Container c{this, hwnd(), 0, 0};
        text.Create(c, L"", {120, 120, 2000, 285});
        text.MouseDown = [](int, int, int, int) { throw std::runtime_error("the click handler broke"); };
        picture.Create(c, {120, 600, 1000, 600}, RGB(0, 128, 0));
        picture.Paint = [this](HDC, const RECT&) {
            if (breakPainting) throw std::runtime_error("the painting broke");
        };
    }
};

TEST_F(Uninstall, EveryHandlersFailureReachesTheUserWithTheProgramsTitle) {
    Failing form;
    form.Show();
    PumpMessages();
    dialogs.ExpectMessage(L"Failing window: an unexpected error occurred.\rthe painting broke");
    form.breakPainting = true;
    ::RedrawWindow(form.picture.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages();
    form.breakPainting = false;
    dialogs.ExpectMessage(L"Failing window: an unexpected error occurred.\rthe click handler broke");
    ::SendMessageW(form.text.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(form.text.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpMessages();
    dialogs.ExpectMessage(L"KorvaneUninstaller: an unexpected error occurred.\rthe task broke");
    kv::win::PostToProgram([] { throw std::runtime_error("the task broke"); });
    PumpMessages();
    form.Unload();
    for (const auto& title : dialogs.TitlesShown()) EXPECT_EQ(title, L"KorvaneUninstaller");
}

// The words the boundary shows: system errors in the system's words after what failed, any
// other text read in the code page it is written in (the euro sign is one byte in most ANSI
// code pages and three in UTF-8: widening byte by byte garbles it either way).
TEST(FailureWords, AreTheSystemsWordsAndTheTextsOwnCharacters) {
    const std::wstring denied = kv::win::SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty());
    const std::string euro = kv::win::ToAnsi(L"\u20AC 5 due");
    struct Case {
        std::exception_ptr error;
        std::wstring words;
    } cases[] = {
        {std::make_exception_ptr(kv::TimerError(L" SetWaitableTimer", ERROR_ACCESS_DENIED)),
         L"[clsWaitableTimer.Wait] SetWaitableTimer: " + denied},
        {std::make_exception_ptr(kv::win::SystemError(L"CreateWindowEx", ERROR_ACCESS_DENIED)),
         L"CreateWindowEx: " + denied},
        {std::make_exception_ptr(std::system_error(ERROR_ACCESS_DENIED, std::system_category())), denied},
        {std::make_exception_ptr(std::runtime_error(euro)), L"\u20AC 5 due"},
    };
    for (const auto& c : cases) EXPECT_EQ(kv::win::DescribeException(c.error), c.words);
}

}  // namespace
}  // namespace kvtest
