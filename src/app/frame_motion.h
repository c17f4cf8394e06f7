// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qt>

namespace iradudo {

// The shift state a mouse handler receives: one bit per key and button.
enum ShiftFlag : int {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64,
};

int shiftState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// Where the last press on any title label or resize gadget happened, in the
// pressed element's own coordinates. One anchor serves all eight elements.
struct PressAnchor {
    int x = 0;
    int y = 0;
};

struct WindowBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowBounds&, const WindowBounds&) = default;
};

// Windows may not leave the client area to the left or above the top bar's
// last row, nor shrink below this outer size.
constexpr int kMinLeft = 0;
constexpr int kMinTop = 16;
constexpr int kMinSize = 120;

// One pointer move over a title label at (x, y). A move past a limit only
// clamps that coordinate; the other half of that move is dropped.
WindowBounds dragStep(WindowBounds window, int x, int y, int shift, PressAnchor anchor);

enum class ResizeOutcome { Ignored, HeldAtMinWidth, HeldAtMinHeight, Resized };

struct ResizeResult {
    WindowBounds bounds;
    ResizeOutcome outcome;
};

// One pointer move over a resize gadget at (x, y); the top-left corner stays.
ResizeResult resizeStep(WindowBounds window, int x, int y, int shift, PressAnchor anchor);

}  // namespace iradudo
