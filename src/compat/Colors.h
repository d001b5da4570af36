#pragma once
// Colours as the layout tables write them: 0x00BBGGRR values, the classic
// colour numbers 0..15, and the desktop's window colours.

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <cstdint>

// A 0x00BBGGRR value (blue in the high byte).
inline QColor Bgr(std::uint32_t value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

// The sixteen classic colours by number (0 black, 9 light blue, 12 light red, 15 white).
QColor ClassicColor(int number);

inline QColor SystemWindowBackground()
{
    return QGuiApplication::palette().color(QPalette::Base);
}

inline QColor SystemWindowText()
{
    return QGuiApplication::palette().color(QPalette::Text);
}
