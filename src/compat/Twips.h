#pragma once
// Positions and sizes stay in twips everywhere above this layer; these turn
// them into Qt's logical pixels (15 twips each) and back. Qt itself scales
// logical pixels for high-DPI screens, so nothing else converts units.

#include <QRect>

#include <cmath>

inline constexpr int kTwipsPerPixel = 15;

inline int ToPixels(int twips)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

inline int ToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// Edges are rounded, not sizes, so that controls and boxes which touch in
// twips touch in pixels too.
inline QRect TwipsRect(int left, int top, int width, int height)
{
    const int l = ToPixels(left);
    const int t = ToPixels(top);
    return QRect(l, t, ToPixels(left + width) - l, ToPixels(top + height) - t);
}
