#include "compat/KeyCodes.h"

#include <QKeyEvent>

namespace {

// X11 and Wayland report the main-row keys 1..9, 0 as scan codes 10..19,
// whatever the layout and the Shift state.
int DigitFromScanCode(quint32 scanCode)
{
    if (scanCode >= 10 && scanCode <= 18)
        return static_cast<int>(scanCode) - 9;
    if (scanCode == 19)
        return 0;
    return -1;
}

} // namespace

int ClassicKeyCode(const QKeyEvent& event)
{
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (keypad ? KeyCode::Numpad0 : KeyCode::Digit0) + (key - Qt::Key_0);
    if (!keypad) {
        const int digit = DigitFromScanCode(event.nativeScanCode());
        if (digit >= 0)
            return KeyCode::Digit0 + digit;
    }
    switch (key) {
    case Qt::Key_Backspace: return KeyCode::Back;
    case Qt::Key_Return:
    case Qt::Key_Enter: return KeyCode::Return;
    case Qt::Key_Escape: return KeyCode::Escape;
    case Qt::Key_Left: return KeyCode::Left;
    case Qt::Key_Up: return KeyCode::Up;
    case Qt::Key_Right: return KeyCode::Right;
    case Qt::Key_Down: return KeyCode::Down;
    case Qt::Key_Delete: return KeyCode::Delete;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Space: return 32;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    default: break;
    }
    // Letters map to their upper-case codes as on the classic keyboard; all
    // other keys get codes outside the ranges the handlers act on.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 112 + (key - Qt::Key_F1);
    return 0;
}

int ClassicShiftState(const QKeyEvent& event)
{
    int state = 0;
    if (event.modifiers().testFlag(Qt::ShiftModifier))
        state |= kShiftMask;
    if (event.modifiers().testFlag(Qt::ControlModifier))
        state |= kCtrlMask;
    if (event.modifiers().testFlag(Qt::AltModifier))
        state |= kAltMask;
    return state;
}
