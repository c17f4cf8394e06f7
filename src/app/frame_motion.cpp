// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frame_motion.h"

namespace iradudo {

int shiftState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= ssShift;
    if (modifiers & Qt::AltModifier)
        state |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        state |= ssCtrl;
    if (buttons & Qt::LeftButton)
        state |= ssLeft;
    if (buttons & Qt::RightButton)
        state |= ssRight;
    if (buttons & Qt::MiddleButton)
        state |= ssMiddle;
    return state;
}

WindowBounds dragStep(WindowBounds window, int x, int y, int shift, PressAnchor anchor)
{
    if (shift != ssLeft)
        return window;
    const int newLeft = window.left + x - anchor.x;
    if (newLeft < kMinLeft) {
        window.left = kMinLeft;
        return window;
    }
    const int newTop = window.top + y - anchor.y;
    if (newTop < kMinTop) {
        window.top = kMinTop;
        return window;
    }
    window.left = newLeft;
    window.top = newTop;
    return window;
}

ResizeResult resizeStep(WindowBounds window, int x, int y, int shift, PressAnchor anchor)
{
    if (shift != ssLeft)
        return {window, ResizeOutcome::Ignored};
    const int newWidth = window.width + x - anchor.x;
    if (newWidth < kMinSize) {
        window.width = kMinSize;
        return {window, ResizeOutcome::HeldAtMinWidth};
    }
    const int newHeight = window.height + y - anchor.y;
    if (newHeight < kMinSize) {
        window.height = kMinSize;
        return {window, ResizeOutcome::HeldAtMinHeight};
    }
    window.width = newWidth;
    window.height = newHeight;
    return {window, ResizeOutcome::Resized};
}

}  // namespace iradudo
