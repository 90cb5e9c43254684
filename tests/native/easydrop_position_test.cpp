// Where the Easy-Drop window reopens.
#include "ui/easydrop_position.h"

#include <gtest/gtest.h>

namespace {

using kv::EasyDropPosition;
using kv::TwipsPoint;

constexpr std::int32_t kW = 19200, kH = 15360;  // 1280 x 1024 pixels at 96 dpi

TEST(EasyDropPosition, ASavedPlaceOnTheScreenIsKept) {
    EXPECT_EQ(EasyDropPosition(L"4000", L"3000", kW, kH), (TwipsPoint{4000, 3000}));
    EXPECT_EQ(EasyDropPosition(L" 1 ", L"+15359", kW, kH), (TwipsPoint{1, 15359}));
}

TEST(EasyDropPosition, MissingGarbageZeroNegativeOrOffScreenGivesTheDefault) {
    const TwipsPoint fallback{100, 100};
    EXPECT_EQ(EasyDropPosition(L"100", L"100", kW, kH), fallback);  // absent keys read as 100
    EXPECT_EQ(EasyDropPosition(L"abc", L"3000", kW, kH), fallback);
    EXPECT_EQ(EasyDropPosition(L"4000", L"", kW, kH), fallback);
    EXPECT_EQ(EasyDropPosition(L"0", L"3000", kW, kH), fallback);
    EXPECT_EQ(EasyDropPosition(L"-10", L"3000", kW, kH), fallback);
    EXPECT_EQ(EasyDropPosition(L"19200", L"3000", kW, kH), fallback);  // at the right edge: off screen
    EXPECT_EQ(EasyDropPosition(L"30000", L"3000", kW, kH), fallback);  // a second monitor to the right
    EXPECT_EQ(EasyDropPosition(L"4000", L"15360", kW, kH), fallback);
    EXPECT_EQ(EasyDropPosition(L"99999999999", L"3000", kW, kH), fallback);
}

TEST(EasyDropPosition, APlaceOnAnotherMonitorIsKeptWhileThatMonitorIsThere) {
    using kv::TwipsRect;
    const TwipsPoint fallback{100, 100};
    const TwipsRect primary{0, 0, kW, kH};
    const TwipsRect right{kW, 0, kW + 28800, 16200};  // 1920 x 1080 to the right
    const TwipsRect left{-28800, -1440, 0, 14760};    // to the left, a little higher
    const std::vector<TwipsRect> three{primary, right, left};
    EXPECT_EQ(EasyDropPosition(L"30000", L"3000", kW, kH, three), (TwipsPoint{30000, 3000}));
    EXPECT_EQ(EasyDropPosition(L"-20000", L"-1000", kW, kH, three), (TwipsPoint{-20000, -1000}));
    EXPECT_EQ(EasyDropPosition(L"4000", L"3000", kW, kH, three), (TwipsPoint{4000, 3000}));  // primary as before
    // That monitor unplugged: the default, as on one screen.
    EXPECT_EQ(EasyDropPosition(L"30000", L"3000", kW, kH, {primary}), fallback);
    EXPECT_EQ(EasyDropPosition(L"-20000", L"-1000", kW, kH, {primary, right}), fallback);
    // Between or beyond the monitors, below the shorter one, garbage and zero: the default.
    EXPECT_EQ(EasyDropPosition(L"30000", L"16200", kW, kH, three), fallback);
    EXPECT_EQ(EasyDropPosition(L"60000", L"3000", kW, kH, three), fallback);
    EXPECT_EQ(EasyDropPosition(L"abc", L"3000", kW, kH, three), fallback);
    EXPECT_EQ(EasyDropPosition(L"0", L"3000", kW, kH, three), fallback);
    EXPECT_EQ(EasyDropPosition(L"-20000", L"0", kW, kH, three), fallback);
    EXPECT_EQ(EasyDropPosition(L"-10", L"3000", kW, kH, {primary}), fallback);
}

TEST(EasyDropPosition, NumbersConvertLikeAWholeNumberConversion) {
    EXPECT_EQ(kv::SettingToWhole(L"2.5"), 2);  // half to even
    EXPECT_EQ(kv::SettingToWhole(L"3.5"), 4);
    EXPECT_EQ(kv::SettingToWhole(L"12x"), 0);
    EXPECT_EQ(kv::SettingToWhole(L"1.2.3"), 0);
    EXPECT_EQ(kv::SettingToWhole(L"-"), 0);
    EXPECT_EQ(kv::EasyDropKeyX(L"Admin"), L"Admin X");
    EXPECT_EQ(kv::EasyDropKeyY(L"Admin"), L"Admin Y");
}

}  // namespace
