// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

namespace iradudo {

// The panel's bevel styles. A bevel of width 1 lies on the button's outer rings,
// which the button's own frame paints over, so the bevels never show.
enum class BevelCut { None, Lowered, Raised };

// The push button with an Amiga-style press: a panel
// that paints a raised 3D frame, shows a sunken look with a dotted rectangle
// while the left button holds it, and fires onClick when the left button is
// released over it.
//
// The button keeps the pixels it shows in an image: the pressed look is drawn
// over whatever is there, and only a repaint of the button's own making shows
// that image as it is. Every repaint the window system asks for (exposure,
// resizing, a caption or colour change) paints the raised look afresh, even
// while the pressed flag is set.
class TNewButton : public QWidget {
public:
    // The panel's defaults (185 x 41, caption centred, face clBtnFace, no border),
    // then no outer and no inner bevel.
    explicit TNewButton(QWidget* parent = nullptr);
    ~TNewButton() override;

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    QColor color() const { return color_; }
    void setColor(const QColor& color);
    QColor fontColor() const { return fontColor_; }

    BevelCut bevelOuter = BevelCut::None;
    BevelCut bevelInner = BevelCut::None;
    std::function<void()> onClick;
    std::function<void()> onResize;

    // The one pressed flag of every button of the program.
    static bool pressedFlag() { return pressed_; }

    // The pixels the button shows now.
    const QImage& shownPixels() const { return canvas_; }

protected:
    // The raised look, drawn on the button's image. TNewButton: the panel's face
    // and caption, then the 3D frame.
    virtual void Paint(QImage& canvas);
    // The panel's face: filled with the face colour, the caption centred across
    // the width, its top at (H - h) div 2 for h the font's height of "W".
    void paintPanel(QImage& canvas) const;

    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseEnter();
    void MouseLeave();
    void EnabledChanged();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void paintRaisedNow();
    void drawPressedLook();
    void showCanvas();
    void press(QMouseEvent* event, bool armClick);
    void pointerOver(bool inside);

    QString caption_;
    QColor color_;
    QColor fontColor_;
    QImage canvas_;
    bool showCanvasAsIs_ = false;
    bool pointerInside_ = false;
    bool clickArmed_ = false;

    static bool pressed_;
    // The button holding the pointer capture of a left press; the pointer's
    // crossings reach only this button until the release.
    static TNewButton* captured_;
};

// The Amiga push button: the TNewButton with white top
// edges and black right and bottom edges painted over its frame.
class TAmigaButton : public TNewButton {
public:
    using TNewButton::TNewButton;

protected:
    void Paint(QImage& canvas) override;
};

}  // namespace iradudo
