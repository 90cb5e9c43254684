// Message boxes, the input box and the open-file dialog, all through one replaceable
// service so tests can state and answer every text the program shows.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kv::win {

enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgResult { OK, Cancel, Yes, No };

class DialogService {
public:
    virtual ~DialogService() = default;
    virtual MsgResult MessageBox(const std::wstring& text, MsgButtons buttons, MsgIcon icon,
                                 const std::wstring& title) = 0;
    // nullopt when the user cancels.
    virtual std::optional<std::wstring> InputBox(const std::wstring& prompt, const std::wstring& title,
                                                 const std::wstring& proposed) = 0;
    // The chosen file's full path, empty when the user cancels.
    virtual std::wstring OpenFileName(HWND owner) = 0;
};

// The service in use; the real one unless a test installed another.
DialogService& Dialogs();
// Installs a service (nullptr: back to the real one). Returns the previous override.
DialogService* SetDialogService(DialogService* service);

// The program's title, used as the caption of message boxes that set none.
const std::wstring& AppTitle();
void SetAppTitle(std::wstring title);

// The open-file dialog as a window holds it: no filter, no title; FileName is the chosen
// file's full path, empty when the user cancelled.
struct CommonDialog {
    std::wstring FileName;
    void ShowOpen(HWND owner) { FileName = Dialogs().OpenFileName(owner); }
};

// MsgBox as the program calls it: the app's title unless one is given.
MsgResult MsgBox(const std::wstring& text, MsgButtons buttons = MsgButtons::OK, MsgIcon icon = MsgIcon::None,
                 const std::wstring& title = {});
// Empty text when cancelled, like the classic input box.
std::wstring InputBox(const std::wstring& prompt, const std::wstring& title, const std::wstring& proposed);

// Carriage return, the line separator inside message texts.
inline constexpr wchar_t CR = L'\r';

}  // namespace kv::win
