#include "win/dialogs.h"

#include <commdlg.h>

#include "win/app.h"
#include "win/controls.h"
#include "win/form.h"

namespace kv::win {
namespace {

std::wstring& Title() {
    static std::wstring title = L"Korvane";
    return title;
}

// The classic input box: a prompt, one line of text, OK and Cancel.
class InputBoxForm : public Form {
public:
    std::wstring prompt, title, proposed;
    std::optional<std::wstring> answer;

protected:
    FormDesign Design() const override {
        FormDesign design;
        design.caption = title;
        design.clientWidth = 6000;
        design.clientHeight = 1800;
        design.border = BorderStyle::FixedDialog;
        design.showInTaskbar = false;
        return design;
    }
    void CreateControls() override {
        const Container c{this, hwnd(), 0, 0};
        lblPrompt.Create(c, prompt, {120, 120, 4500, 1080});
        cmdOK.Create(c, L"OK", {4800, 120, 1080, 375}, {}, true);
        cmdCancel.Create(c, L"Cancel", {4800, 600, 1080, 375});
        cmdCancel.SetCancel();
        txtAnswer.Create(c, proposed, {120, 1320, 5760, 315});
        cmdOK.Click = [this] {
            answer = txtAnswer.Text();
            Unload();
        };
        cmdCancel.Click = [this] { Unload(); };
        txtAnswer.KeyDown = [this](UINT key) {
            if (key == VK_RETURN) {
                cmdOK.Click();
                return true;
            }
            if (key == VK_ESCAPE) {
                Unload();
                return true;
            }
            return false;
        };
    }
    void Form_Load() override {
        txtAnswer.SetFocus();
        ::SendMessageW(txtAnswer.hwnd(), EM_SETSEL, 0, -1);
    }

private:
    Label lblPrompt;
    TextBox txtAnswer;
    CommandButton cmdOK, cmdCancel;
};

class RealDialogService : public DialogService {
public:
    MsgResult MessageBox(const std::wstring& text, MsgButtons buttons, MsgIcon icon,
                         const std::wstring& title) override {
        UINT type = 0;
        switch (buttons) {
        case MsgButtons::OK: type |= MB_OK; break;
        case MsgButtons::OKCancel: type |= MB_OKCANCEL; break;
        case MsgButtons::YesNo: type |= MB_YESNO; break;
        case MsgButtons::YesNoCancel: type |= MB_YESNOCANCEL; break;
        }
        switch (icon) {
        case MsgIcon::None: break;
        case MsgIcon::Information: type |= MB_ICONINFORMATION; break;
        case MsgIcon::Exclamation: type |= MB_ICONEXCLAMATION; break;
        case MsgIcon::Critical: type |= MB_ICONERROR; break;
        case MsgIcon::Question: type |= MB_ICONQUESTION; break;
        }
        // Modal to the whole program: owned by its active window, every other window of it
        // disabled while the box is up (the box itself disables and enables its owner).
        HWND owner = ActiveProgramWindow();
        if (!owner) type |= MB_TASKMODAL;
        const std::vector<HWND> disabled = DisableProgramWindows(owner);
        const int answer = ::MessageBoxW(owner, text.c_str(), title.c_str(), type | MB_SETFOREGROUND);
        for (HWND w : disabled)
            if (::IsWindow(w)) ::EnableWindow(w, TRUE);
        switch (answer) {
        case IDYES: return MsgResult::Yes;
        case IDNO: return MsgResult::No;
        case IDCANCEL: return MsgResult::Cancel;
        default: return MsgResult::OK;
        }
    }

    std::optional<std::wstring> InputBox(const std::wstring& prompt, const std::wstring& title,
                                         const std::wstring& proposed) override {
        InputBoxForm box;
        box.prompt = prompt;
        box.title = title;
        box.proposed = proposed;
        box.ShowModal();
        return box.answer;
    }

    std::wstring OpenFileName(HWND owner) override {
        std::wstring buffer(32768, L'\0');
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof(ofn);
        if (!owner) owner = ActiveProgramWindow();
        ofn.hwndOwner = owner;
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        const std::vector<HWND> disabled = DisableProgramWindows(owner);
        const BOOL chosen = ::GetOpenFileNameW(&ofn);
        for (HWND w : disabled)
            if (::IsWindow(w)) ::EnableWindow(w, TRUE);
        if (!chosen) return {};
        buffer.resize(wcslen(buffer.c_str()));
        return buffer;
    }
};

RealDialogService& Real() {
    static RealDialogService real;
    return real;
}

DialogService* g_override = nullptr;

}  // namespace

DialogService& Dialogs() {
    if (g_override) return *g_override;
    return Real();
}

DialogService* SetDialogService(DialogService* service) { return std::exchange(g_override, service); }

const std::wstring& AppTitle() { return Title(); }
void SetAppTitle(std::wstring title) { Title() = std::move(title); }

MsgResult MsgBox(const std::wstring& text, MsgButtons buttons, MsgIcon icon, const std::wstring& title) {
    return Dialogs().MessageBox(text, buttons, icon, title.empty() ? AppTitle() : title);
}

std::wstring InputBox(const std::wstring& prompt, const std::wstring& title, const std::wstring& proposed) {
    return Dialogs().InputBox(prompt, title.empty() ? AppTitle() : title, proposed).value_or(L"");
}

}  // namespace kv::win
