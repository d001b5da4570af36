#pragma once
// What an X11 window manager is told about a window beyond Qt's own hints,
// and what the pointer does while the window manager drags a window.

class QWidget;

// The window may be moved and closed, nothing else: no resize function and
// no resize handles in the frame (Qt itself always offers both). Does
// nothing on other platforms. Call after the native window exists and
// before it is shown.
void OfferMoveAndCloseOnly(QWidget* window);

// Whether a mouse button is held down anywhere on the screen, as while the
// user drags a window by its title bar (the window manager then has the
// pointer, so Qt knows nothing of the button). False on other platforms.
bool PointerButtonHeld(QWidget* window);
