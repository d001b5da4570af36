#pragma once
// The colours and the font name the window layouts share, as their tables
// give them (0x00BBGGRR values).

#include "compat/Colors.h"

#include <QString>

inline const QColor kPaleGreen = Bgr(0x00C0FFC0);
inline const QColor kLightGreen = Bgr(0x0080FF80);
inline const QColor kDarkGreen = Bgr(0x00008000);
inline const QColor kGrey = Bgr(0x00808080);
inline const QColor kRed = Bgr(0x000000FF);
inline const QColor kYellow = Bgr(0x0000FFFF);
inline const QColor kBlack = Bgr(0x00000000);
inline const QColor kWhite = Bgr(0x00FFFFFF);
inline const QString kSansSerif = QStringLiteral("MS Sans Serif");
