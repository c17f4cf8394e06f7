// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/frame_motion.h"
#include "app/frame_style.h"
#include "app/mouse_relay.h"

#include <QWidget>

namespace iradudo {

// The component names of one internal window's parts; a null name means the
// kind has no such part.
struct AmigaWindowNames {
    const char* window;
    const char* titleBar;
    const char* bottomBar;
    const char* leftBar;
    const char* rightBar;
    const char* body;
    const char* titleLabel;
    const char* closeGadget;
    const char* depthGadget;
    const char* resizeGadget;
};

struct GadgetPictures {
    QImage close;
    QImage depth;
    QImage resize;
};

// An Amiga-style window drawn inside the main window: title bar with close
// and depth gadgets, side bars and, when resizable, a bottom bar with the
// resize gadget. The window paints the bars and lines; the gadgets, the title
// label and the body are its child widgets. Moving and raising are left to
// the owner, which binds the elements' mouse handlers.
class AmigaWindow : public QWidget {
public:
    AmigaWindow(FrameKind kind, const QString& caption, const AmigaWindowNames& names, const GadgetPictures& pictures,
        QWidget* parent);

    FrameKind kind() const { return kind_; }
    WindowBounds bounds() const;
    void setBounds(const WindowBounds& bounds);

    QWidget* titleBar;
    QWidget* bottomBar = nullptr;
    QWidget* leftBar = nullptr;
    QWidget* rightBar = nullptr;
    QWidget* body = nullptr;  // null for fixed windows: contents stand on the window
    TitleLabel* titleLabel;
    PictureBox* closeGadget;
    PictureBox* depthGadget;
    PictureBox* resizeGadget = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutParts();

    FrameKind kind_;
};

}  // namespace iradudo

namespace iradudo {

// Drag and resize of the internal windows by their title labels and resize
// gadgets, sharing one press anchor among all of them.
class WindowMotion {
public:
    void storeAnchor(int x, int y) { anchor_ = {x, y}; }
    PressAnchor anchor() const { return anchor_; }

    void drag(AmigaWindow* window, int shift, int x, int y) const;
    // True when the window took a new size in both directions.
    bool resize(AmigaWindow* window, int shift, int x, int y) const;

private:
    PressAnchor anchor_;
};

}  // namespace iradudo
