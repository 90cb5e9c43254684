#include "core/text.h"

namespace kv {

std::wstring UpperCase(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) c = win::UpperLetter(c);
    return out;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace kv
