#pragma once
// Tells a key held down from a fresh press. A window counts a held Enter
// once, and a message box closes only on a fresh press, never on the
// repeats of the key that opened it.

class QKeyEvent;

// Starts watching the keys of the whole application (only watching: every
// key goes on as it came). Call once a QApplication exists.
void WatchHeldKeys();

// Whether this key press is a repeat of a key held down.
bool IsHeldKeyRepeat(const QKeyEvent& press);
