#include "shared/switches.h"

#include <cwctype>

namespace kv::install {

namespace {

bool StartsSwitch(const std::wstring& arg) { return arg.size() >= 2 && (arg[0] == L'/' || arg[0] == L'-'); }

}  // namespace

SwitchArg ReadSwitch(const std::vector<std::wstring>& args, size_t& i,
                     const std::vector<std::wstring>& valueMayFollow) {
    SwitchArg s;
    const std::wstring& arg = args[i];
    if (!StartsSwitch(arg)) return s;
    s.isSwitch = true;
    s.name = arg.substr(1);
    if (const size_t sep = s.name.find_first_of(L"=:"); sep != std::wstring::npos) {
        s.value = s.name.substr(sep + 1);
        s.name.resize(sep);
        s.hasValue = true;
    }
    for (auto& c : s.name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    bool mayFollow = false;
    for (const auto& n : valueMayFollow) mayFollow = mayFollow || n == s.name;
    if (mayFollow && !s.hasValue && i + 1 < args.size() && !args[i + 1].empty() && !StartsSwitch(args[i + 1])) {
        s.value = args[++i];
        s.hasValue = true;
    }
    return s;
}

}  // namespace kv::install
