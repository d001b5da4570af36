#pragma once
// What an X11 window manager is told about a window beyond Qt's own hints,
// what the pointer does while the window manager drags a window, and how a
// window is kept on the screen where a window manager minimises or rolls it
// up although the window asked for move and close only.

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

// The window never stays minimised, rolled up (shaded), stretched over the
// screen or on another desktop than the one shown: where a window manager
// offers any of these anyway, the window comes back at once as it was, and
// a box brings its owner back with it. Without a taskbar a child would find
// no way back to a vanished window. Call before the window is shown.
void KeepOnScreen(QWidget* window);
