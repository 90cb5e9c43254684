// Where the Easy-Drop window opens: the user's saved position when it is sensible, else
// 100, 100 twips.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct TwipsPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const TwipsPoint&) const = default;
};

inline constexpr std::int32_t kEasyDropDefault = 100;

// A saved value as a 32-bit whole number: decimal text with optional blanks and sign, a
// fraction rounded half to even; 0 when it is not a number or does not fit.
std::int32_t SettingToWhole(std::wstring_view text);

// The position to open at, from the saved texts and the primary screen's size in twips.
TwipsPoint EasyDropPosition(std::wstring_view savedX, std::wstring_view savedY, std::int32_t screenWidth,
                            std::int32_t screenHeight);

// A monitor's area in twips, screen coordinates (those left of or above the primary
// screen have negative ones); right and bottom lie just outside it.
struct TwipsRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// As above, and a place on another monitor that is present now (one to the left or above
// included) is kept too; one on a monitor no longer there gives 100, 100 as before.
TwipsPoint EasyDropPosition(std::wstring_view savedX, std::wstring_view savedY, std::int32_t screenWidth,
                            std::int32_t screenHeight, const std::vector<TwipsRect>& monitors);

// The settings keys of a user: the name, a blank and the letter.
std::wstring EasyDropKeyX(const std::wstring& userName);
std::wstring EasyDropKeyY(const std::wstring& userName);

}  // namespace kv
