#include "ui/easydrop_position.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace kv {

std::int32_t SettingToWhole(std::wstring_view text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return 0;
    size_t last = text.find_last_not_of(L' ');
    const std::wstring trimmed(text.substr(first, last - first + 1));
    // Digits, one optional sign and one optional decimal point; nothing else.
    size_t i = 0;
    if (trimmed[i] == L'+' || trimmed[i] == L'-') ++i;
    bool digits = false, point = false;
    for (; i < trimmed.size(); ++i) {
        if (trimmed[i] >= L'0' && trimmed[i] <= L'9') digits = true;
        else if (trimmed[i] == L'.' && !point) point = true;
        else return 0;
    }
    if (!digits) return 0;
    const double value = std::wcstod(trimmed.c_str(), nullptr);
    const double rounded = std::nearbyint(value);  // the default rounding mode: half to even
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return 0;
    return static_cast<std::int32_t>(rounded);
}

TwipsPoint EasyDropPosition(std::wstring_view savedX, std::wstring_view savedY, std::int32_t screenWidth,
                            std::int32_t screenHeight) {
    const std::int32_t x = SettingToWhole(savedX);
    const std::int32_t y = SettingToWhole(savedY);
    if (x > 0 && y > 0 && x < screenWidth && y < screenHeight) return {x, y};
    return {kEasyDropDefault, kEasyDropDefault};
}

TwipsPoint EasyDropPosition(std::wstring_view savedX, std::wstring_view savedY, std::int32_t screenWidth,
                            std::int32_t screenHeight, const std::vector<TwipsRect>& monitors) {
    const TwipsPoint onPrimary = EasyDropPosition(savedX, savedY, screenWidth, screenHeight);
    if (onPrimary != TwipsPoint{kEasyDropDefault, kEasyDropDefault}) return onPrimary;
    const std::int32_t x = SettingToWhole(savedX);
    const std::int32_t y = SettingToWhole(savedY);
    // 0 is what a value that is not a number reads as: never a place of its own.
    if (x == 0 || y == 0) return onPrimary;
    for (const TwipsRect& m : monitors)
        if (x >= m.left && x < m.right && y >= m.top && y < m.bottom) return {x, y};
    return onPrimary;
}

std::wstring EasyDropKeyX(const std::wstring& userName) { return userName + L" X"; }
std::wstring EasyDropKeyY(const std::wstring& userName) { return userName + L" Y"; }

}  // namespace kv
