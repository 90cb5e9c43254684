#include "ui/log_text.h"

#include "core/action_log.h"

namespace kv {

std::vector<std::string_view> SplitLogLines(std::string_view raw) {
    std::vector<std::string_view> lines;
    const char* p = raw.data();
    const char* const end = p + raw.size();
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n') ++q;
        lines.emplace_back(p, std::size_t(q - p));
        if (q == end) break;
        q += (*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1;
        p = q;
    }
    return lines;
}

LogView BuildLogView(std::string_view raw) {
    const std::vector<std::string_view> lines = SplitLogLines(raw);
    LogView view;
    view.entries = lines.size();
    // A stored byte never decodes to more than one character, so this is enough room for
    // the whole text: one reservation, no copying as it grows.
    std::size_t room = 0;
    for (std::string_view line : lines) room += line.size() + 2;
    view.text.reserve(room);
    for (std::string_view line : lines) {
        const std::size_t from = view.text.size();
        AppendDecodedLogLine(view.text, line);
        // A text box ends its text at a NUL; one decoded from a damaged line would hide
        // every later entry.
        for (std::size_t i = from; i < view.text.size(); ++i)
            if (view.text[i] == L'\0') view.text[i] = kLogNulShownAs;
        view.text += L"\r\n";
    }
    return view;
}

std::optional<std::string> TruncatedLogContent(std::string_view raw) {
    const std::vector<std::string_view> lines = SplitLogLines(raw);
    if (lines.size() <= kLogKeptEntries) return std::nullopt;
    std::string kept;
    std::size_t room = 0;
    for (std::size_t i = lines.size() - kLogKeptEntries; i < lines.size(); ++i) room += lines[i].size() + 2;
    kept.reserve(room);
    for (std::size_t i = lines.size() - kLogKeptEntries; i < lines.size(); ++i) {
        kept += lines[i];
        kept += "\r\n";
    }
    return kept;
}

std::wstring LogTempPath(std::wstring_view logPath) {
    constexpr std::wstring_view kTxt = L".txt";
    constexpr std::wstring_view kTempTxt = L"TEMP.txt";
    const std::size_t sep = logPath.find_last_of(L"\\/:");
    const std::size_t nameStart = sep == std::wstring_view::npos ? 0 : sep + 1;

    std::wstring temp(logPath.substr(0, nameStart));
    const std::wstring_view name = logPath.substr(nameStart);
    std::size_t from = 0;
    bool replaced = false;
    for (std::size_t at; (at = name.find(kTxt, from)) != std::wstring_view::npos; from = at + kTxt.size()) {
        temp += name.substr(from, at - from);
        temp += kTempTxt;
        replaced = true;
    }
    temp += name.substr(from);
    if (!replaced) temp += kTempTxt;
    return temp;
}

}  // namespace kv
