// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

#include <functional>

namespace iradudo {

// The mouse events an element hands to its handlers, with the shift state and
// the position in the element's own coordinates. Qt's implicit grab keeps
// reporting moves to the pressed element until the last button is released,
// wherever the pointer goes.
struct MouseHandlers {
    std::function<void(Qt::MouseButton button, int shift, int x, int y)> down;
    std::function<void(int shift, int x, int y)> move;
    // Left press and release while the pointer is still over the element.
    std::function<void()> click;
};

class MouseRelay {
public:
    MouseHandlers handlers;

protected:
    void relayPress(QWidget* self, QMouseEvent* event);
    void relayMove(QWidget* self, QMouseEvent* event);
    void relayRelease(QWidget* self, QMouseEvent* event);

private:
    bool leftPressed_ = false;
};

// A picture element: shown unscaled from its top-left corner, or stretched to
// the element with one colour made transparent.
class PictureBox : public QWidget, public MouseRelay {
public:
    enum class Mode { Clip, StretchTransparent };

    explicit PictureBox(QWidget* parent = nullptr);
    void setPicture(const QImage& picture, Mode mode);
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuild();

    QImage picture_;
    QImage shown_;
    Mode mode_ = Mode::Clip;
};

// A title label: caption on the title-bar blue, relaying mouse events.
class TitleLabel : public QLabel, public MouseRelay {
public:
    explicit TitleLabel(const QString& caption, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The picture drawn stretched to size with the colour of its bottom-left pixel
// made transparent, as the depth gadget is shown on the title bars.
QImage stretchTransparent(const QImage& picture, QSize size);

}  // namespace iradudo
