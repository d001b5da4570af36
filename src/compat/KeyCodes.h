#pragma once
// The classic key codes the window handlers use: 8 Backspace, 13 Enter (main
// and keypad), 27 Escape, 37..40 arrows, 46 Delete, 48..57 the digit keys of
// the main block (also with Shift) and 96..105 the keypad digits.

class QKeyEvent;

namespace KeyCode {
inline constexpr int Back = 8;
inline constexpr int Return = 13;
inline constexpr int Escape = 27;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Delete = 46;
inline constexpr int Digit0 = 48;
inline constexpr int Numpad0 = 96;
} // namespace KeyCode

// Shift state bits as the handlers receive them.
inline constexpr int kShiftMask = 1;
inline constexpr int kCtrlMask = 2;
inline constexpr int kAltMask = 4;

// Maps a Qt key event to its classic code. The main-row digits are found by
// their physical key, since Shift turns them into other characters.
int ClassicKeyCode(const QKeyEvent& event);
int ClassicShiftState(const QKeyEvent& event);
