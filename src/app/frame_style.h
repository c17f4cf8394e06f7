// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace iradudo {

inline const QColor kTitleBlue{0x60, 0x8F, 0xBF};
inline const QColor kSilver{0xC0, 0xC0, 0xC0};
// The button-face grey of the window bodies; the classic scheme's value.
inline const QColor kBtnFace{0xC0, 0xC0, 0xC0};

// The frame drawings of the internal windows: three resizable kinds with
// different side bars, and the fixed-size kind without bottom bar.
enum class FrameKind { Browser, TextViewer, ImageViewer, Fixed };

bool isResizable(FrameKind kind);

// Where the parts of a frame stand in a window of width w and height h.
struct FrameLayout {
    QRect titleBar;
    QRect closeGadget;  // in the title bar's coordinates
    QRect depthGadget;
    QRect titleLabel;
    QRect leftBar;  // empty when the kind has none
    QRect rightBar;
    QRect bottomBar;     // empty for fixed windows
    QRect resizeGadget;  // in the bottom bar's coordinates
    QRect body;          // empty for fixed windows
};

FrameLayout frameLayout(FrameKind kind, int w, int h);

// Paints everything of the frame that is neither a gadget picture nor the
// title label: the silver ground, blue bars and the one-pixel lines.
void paintFrame(QPainter& painter, FrameKind kind, int w, int h);

}  // namespace iradudo
