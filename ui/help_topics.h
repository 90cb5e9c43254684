// The fixed words of the help window and the about box. The built-in help: five topics, each
// with the name shown in the topic list, the upper-case key the chosen name is matched by, and
// its text (line breaks as CR LF).
#pragma once

#include <span>
#include <string_view>

namespace kv {

struct HelpTopic {
    std::wstring_view title;
    std::wstring_view key;
    std::wstring_view text;
};

// The topics in list order; "Overview" first.
std::span<const HelpTopic> HelpTopics();

// The text for a chosen or typed topic name: the name in upper case (ASCII letters only)
// compared with the keys; empty text when nothing matches.
std::wstring_view HelpTextFor(std::wstring_view chosen);

// What the about box's labels say (the links and the hard version aside), in layout order.
struct AboutWords {
    std::wstring_view maker, titleCaption, title, virtualCaption, virtualVersion, hardCaption, websiteCaption,
        supportCaption;
};
inline constexpr AboutWords kAboutWords{
    L"Oranvel Software", L"Program Title:", L"Korvane", L"Virtual Version:", L"1.0", L"Hard Version:",
    L"Oranvel Website:", L"Questions, Comments, Tech Support:",
};

}  // namespace kv
