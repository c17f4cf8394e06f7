// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frame_style.h"

#include <QPainter>

namespace iradudo {
namespace {

// Lines are filled rectangles so every pixel is exact whatever the pen.
void hline(QPainter& p, int x0, int x1, int y, const QColor& c)
{
    if (x1 >= x0)
        p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), c);
}

void vline(QPainter& p, int x, int y0, int y1, const QColor& c)
{
    if (y1 >= y0)
        p.fillRect(QRect(x, y0, 1, y1 - y0 + 1), c);
}

void block(QPainter& p, int x0, int y0, int x1, int y1, const QColor& c)
{
    if (x1 >= x0 && y1 >= y0)
        p.fillRect(QRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1), c);
}

}  // namespace

bool isResizable(FrameKind kind)
{
    return kind != FrameKind::Fixed;
}

FrameLayout frameLayout(FrameKind kind, int w, int h)
{
    FrameLayout f;
    f.titleBar = QRect(0, 0, w, 16);
    f.closeGadget = QRect(1, 1, 25, 15);
    f.depthGadget = QRect(w - 26, 1, 25, 15);
    f.titleLabel = QRect(26, 1, w - 52, 15);
    const int sideTop = 17;
    switch (kind) {
    case FrameKind::Browser:
        f.leftBar = QRect(1, sideTop, 4, h - 33);
        f.rightBar = QRect(w - 4, sideTop, 4, h - 33);
        f.body = QRect(5, sideTop, w - 9, h - 33);
        break;
    case FrameKind::TextViewer:
        f.leftBar = QRect(1, sideTop, 3, h - 33);
        f.rightBar = QRect(w - 3, sideTop, 3, h - 33);
        f.body = QRect(4, sideTop, w - 8, h - 33);
        break;
    case FrameKind::ImageViewer:
        f.rightBar = QRect(w - 25, sideTop, 25, h - 33);
        f.body = QRect(2, sideTop, w - 27, h - 33);
        break;
    case FrameKind::Fixed:
        f.leftBar = QRect(0, sideTop, 4, h - 19);
        f.rightBar = QRect(w - 4, sideTop, 4, h - 19);
        break;
    }
    if (isResizable(kind)) {
        f.bottomBar = QRect(0, h - 15, w, 15);
        f.resizeGadget = QRect(w - 26, 0, 25, 14);
    }
    return f;
}

void paintFrame(QPainter& p, FrameKind kind, int w, int h)
{
    const QColor white = Qt::white;
    const QColor black = Qt::black;
    p.fillRect(QRect(0, 0, w, h), kSilver);

    // Title bar and the line under it.
    block(p, 0, 0, w - 1, 15, kTitleBlue);
    hline(p, 0, w - 1, 0, white);
    vline(p, 0, 1, 15, white);
    vline(p, w - 1, 1, 15, black);
    hline(p, 0, w - 1, 16, black);

    if (kind == FrameKind::Fixed) {
        block(p, 0, 17, 3, h - 3, kTitleBlue);
        vline(p, 0, 17, h - 3, white);
        vline(p, 3, 17, h - 3, black);
        block(p, w - 4, 17, w - 1, h - 3, kTitleBlue);
        vline(p, w - 4, 17, h - 3, white);
        vline(p, w - 1, 17, h - 3, black);
        hline(p, 0, w - 1, h - 2, white);
        hline(p, 0, w - 1, h - 1, black);
        return;
    }

    const int top = 17;
    const int bottom = h - 17;
    vline(p, 0, top, bottom, white);
    switch (kind) {
    case FrameKind::Browser:
        block(p, 1, top, 4, bottom, kTitleBlue);
        vline(p, 4, top, bottom, black);
        block(p, w - 4, top, w - 1, bottom, kTitleBlue);
        vline(p, w - 4, top, bottom, white);
        vline(p, w - 1, top, bottom, black);
        break;
    case FrameKind::TextViewer:
        block(p, 1, top, 3, bottom, kTitleBlue);
        vline(p, 3, top, bottom, black);
        vline(p, w - 4, top, bottom, white);
        block(p, w - 3, top, w - 1, bottom, kTitleBlue);
        vline(p, w - 1, top, bottom, black);
        break;
    case FrameKind::ImageViewer:
        vline(p, 1, top, bottom, black);
        block(p, w - 25, top, w - 1, bottom, kTitleBlue);
        vline(p, w - 25, top, bottom, white);
        vline(p, w - 1, top, bottom, black);
        hline(p, w - 25, w - 1, bottom, black);
        break;
    case FrameKind::Fixed: break;
    }

    hline(p, 0, w - 1, h - 16, white);
    block(p, 0, h - 15, w - 1, h - 1, kTitleBlue);
    vline(p, 0, h - 15, h - 2, white);
    vline(p, w - 1, h - 15, h - 2, black);
    hline(p, 0, w - 1, h - 1, black);
}

}  // namespace iradudo
