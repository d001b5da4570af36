#pragma once
// The layout names the fonts "Verdana", "MS Sans Serif" and "Arial"; on this
// platform they are stood in for by DejaVu Sans and Liberation Sans, so that
// positions and sizes stay as the layout gives them.

#include <QFont>

void InstallFontSubstitutes();

// A font by name, points and weight, as a layout row gives it.
QFont DesignFont(const QString& family, double points, bool bold, bool italic = false);
