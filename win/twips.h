// Twips (1/1440 inch) to device pixels. Pure, so it is tested without a window.
#pragma once

namespace kv::win {

// Rounds to the nearest pixel like MulDiv(twips, dpi, 1440), halves away from zero.
constexpr int TwipsToPixels(int twips, int dpi) {
    const long long num = static_cast<long long>(twips) * dpi;
    const long long half = 720;
    return static_cast<int>(num >= 0 ? (num + half) / 1440 : -((-num + half) / 1440));
}

constexpr int PixelsToTwips(int pixels, int dpi) {
    if (dpi <= 0) return 0;
    const long long num = static_cast<long long>(pixels) * 1440;
    const long long half = dpi / 2;
    return static_cast<int>(num >= 0 ? (num + half) / dpi : -((-num + half) / dpi));
}

// Font height in pixels for a size in points (negative: character height, as CreateFont wants).
constexpr int PointsToFontHeight(double points, int dpi) {
    return -static_cast<int>(points * dpi / 72.0 + 0.5);
}

}  // namespace kv::win
