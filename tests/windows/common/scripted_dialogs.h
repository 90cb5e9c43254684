// A dialog service for tests: every message box, input box and file dialog the program
// shows must have been expected, with its exact text, and is answered as scripted.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "win/dialogs.h"

namespace kvtest {

struct Expected {
    enum class Kind { Message, Input, OpenFile } kind = Kind::Message;
    std::wstring text;   // message text or input prompt
    std::wstring title;  // checked when not empty
    kv::win::MsgResult answer = kv::win::MsgResult::OK;
    std::wstring reply;  // input box answer or chosen file
    bool cancel = false;
    kv::win::MsgButtons buttons = kv::win::MsgButtons::OK;
    bool checkButtons = false;
};

class ScriptedDialogs : public kv::win::DialogService {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Expect a message box with exactly this text (and the program title unless given).
    ScriptedDialogs& ExpectMessage(const std::wstring& text, kv::win::MsgResult answer = kv::win::MsgResult::OK);
    ScriptedDialogs& ExpectQuestion(const std::wstring& text, kv::win::MsgButtons buttons,
                                    kv::win::MsgResult answer);
    // Expect a message box whose text starts with this prefix (for texts holding system
    // error wording).
    ScriptedDialogs& ExpectMessageStartingWith(const std::wstring& prefix);
    ScriptedDialogs& ExpectInput(const std::wstring& prompt, const std::wstring& title, const std::wstring& reply,
                                 bool cancel = false);
    ScriptedDialogs& ExpectOpenFile(const std::wstring& chosen);

    // Everything that was shown, in order (message texts, input prompts, "<open file>").
    const std::vector<std::wstring>& Shown() const { return shown_; }
    std::vector<std::wstring> TitlesShown() const { return titles_; }
    bool AllConsumed() const { return expected_.empty(); }

    kv::win::MsgResult MessageBox(const std::wstring& text, kv::win::MsgButtons buttons, kv::win::MsgIcon icon,
                                  const std::wstring& title) override;
    std::optional<std::wstring> InputBox(const std::wstring& prompt, const std::wstring& title,
                                         const std::wstring& proposed) override;
    std::wstring OpenFileName(HWND owner) override;

    std::wstring lastProposed;

private:
    std::deque<Expected> expected_;
    std::vector<std::wstring> shown_;
    std::vector<std::wstring> titles_;
    std::vector<bool> prefixOnly_;
    kv::win::DialogService* previous_ = nullptr;
};

// Narrow text for test failure output.
std::string Narrow(const std::wstring& text);

}  // namespace kvtest
