#pragma once
// What an X11 window manager is told about a window beyond Qt's own hints.

class QWidget;

// The window may be moved and closed, nothing else: no resize function and
// no resize handles in the frame (Qt itself always offers both). Does
// nothing on other platforms. Call after the native window exists and
// before it is shown.
void OfferMoveAndCloseOnly(QWidget* window);
