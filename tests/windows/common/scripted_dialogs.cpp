#include "scripted_dialogs.h"

#include <gtest/gtest.h>

namespace kvtest {

using kv::win::MsgButtons;
using kv::win::MsgResult;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r') out += "\\r";
        else if (c == L'\n') out += "\\n";
        else if (c < 128) out += static_cast<char>(c);
        else out += "?";
    }
    return out;
}

ScriptedDialogs::ScriptedDialogs() { previous_ = kv::win::SetDialogService(this); }

ScriptedDialogs::~ScriptedDialogs() {
    kv::win::SetDialogService(previous_);
    for (const auto& e : expected_) ADD_FAILURE() << "expected but never shown: " << Narrow(e.text);
}

ScriptedDialogs& ScriptedDialogs::ExpectMessage(const std::wstring& text, MsgResult answer) {
    Expected e;
    e.text = text;
    e.answer = answer;
    expected_.push_back(e);
    prefixOnly_.push_back(false);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectQuestion(const std::wstring& text, MsgButtons buttons, MsgResult answer) {
    Expected e;
    e.text = text;
    e.answer = answer;
    e.buttons = buttons;
    e.checkButtons = true;
    expected_.push_back(e);
    prefixOnly_.push_back(false);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectMessageStartingWith(const std::wstring& prefix) {
    Expected e;
    e.text = prefix;
    expected_.push_back(e);
    prefixOnly_.push_back(true);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectInput(const std::wstring& prompt, const std::wstring& title,
                                              const std::wstring& reply, bool cancel) {
    Expected e;
    e.kind = Expected::Kind::Input;
    e.text = prompt;
    e.title = title;
    e.reply = reply;
    e.cancel = cancel;
    expected_.push_back(e);
    prefixOnly_.push_back(false);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectOpenFile(const std::wstring& chosen) {
    Expected e;
    e.kind = Expected::Kind::OpenFile;
    e.reply = chosen;
    expected_.push_back(e);
    prefixOnly_.push_back(false);
    return *this;
}

MsgResult ScriptedDialogs::MessageBox(const std::wstring& text, MsgButtons buttons, kv::win::MsgIcon,
                                      const std::wstring& title) {
    shown_.push_back(text);
    titles_.push_back(title);
    if (expected_.empty() || expected_.front().kind != Expected::Kind::Message) {
        ADD_FAILURE() << "unexpected message box: " << Narrow(text);
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::OK;
    }
    Expected e = expected_.front();
    const bool prefix = prefixOnly_.front();
    expected_.pop_front();
    prefixOnly_.erase(prefixOnly_.begin());
    if (prefix) {
        EXPECT_EQ(Narrow(text.substr(0, e.text.size())), Narrow(e.text));
    } else {
        EXPECT_EQ(Narrow(text), Narrow(e.text));
    }
    if (e.checkButtons) {
        EXPECT_EQ(static_cast<int>(buttons), static_cast<int>(e.buttons)) << Narrow(text);
    }
    if (!e.title.empty()) {
        EXPECT_EQ(Narrow(title), Narrow(e.title));
    }
    return e.answer;
}

std::optional<std::wstring> ScriptedDialogs::InputBox(const std::wstring& prompt, const std::wstring& title,
                                                      const std::wstring& proposed) {
    shown_.push_back(prompt);
    titles_.push_back(title);
    lastProposed = proposed;
    if (expected_.empty() || expected_.front().kind != Expected::Kind::Input) {
        ADD_FAILURE() << "unexpected input box: " << Narrow(prompt);
        return std::nullopt;
    }
    Expected e = expected_.front();
    expected_.pop_front();
    prefixOnly_.erase(prefixOnly_.begin());
    EXPECT_EQ(Narrow(prompt), Narrow(e.text));
    if (!e.title.empty()) {
        EXPECT_EQ(Narrow(title), Narrow(e.title));
    }
    if (e.cancel) return std::nullopt;
    return e.reply;
}

std::wstring ScriptedDialogs::OpenFileName(HWND) {
    shown_.push_back(L"<open file>");
    titles_.push_back(L"");
    if (expected_.empty() || expected_.front().kind != Expected::Kind::OpenFile) {
        ADD_FAILURE() << "unexpected open-file dialog";
        return {};
    }
    Expected e = expected_.front();
    expected_.pop_front();
    prefixOnly_.erase(prefixOnly_.begin());
    return e.reply;
}

}  // namespace kvtest
