// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mouse_relay.h"

#include "app/art/pixel_art.h"
#include "app/frame_motion.h"
#include "app/frame_style.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace iradudo {
namespace {

QPoint elementPos(const QMouseEvent* event)
{
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

}  // namespace

void MouseRelay::relayPress(QWidget*, QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        leftPressed_ = true;
    if (handlers.down) {
        const QPoint p = elementPos(event);
        handlers.down(event->button(), shiftState(event->buttons(), event->modifiers()), p.x(), p.y());
    }
}

void MouseRelay::relayMove(QWidget*, QMouseEvent* event)
{
    if (handlers.move) {
        const QPoint p = elementPos(event);
        handlers.move(shiftState(event->buttons(), event->modifiers()), p.x(), p.y());
    }
}

void MouseRelay::relayRelease(QWidget* self, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasPressed = leftPressed_;
    leftPressed_ = false;
    if (wasPressed && self->rect().contains(elementPos(event)) && handlers.click)
        handlers.click();
}

QImage stretchTransparent(const QImage& picture, QSize size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    return art::transparentScaled(picture, size);
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) { }

void PictureBox::setPicture(const QImage& picture, Mode mode)
{
    picture_ = picture;
    mode_ = mode;
    rebuild();
    update();
}

void PictureBox::rebuild()
{
    shown_ = mode_ == Mode::StretchTransparent ? stretchTransparent(picture_, size()) : picture_;
}

void PictureBox::resizeEvent(QResizeEvent*)
{
    rebuild();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    if (shown_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), shown_);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    relayPress(this, event);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    relayMove(this, event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    relayRelease(this, event);
}

TitleLabel::TitleLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kTitleBlue);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMargin(0);
    setIndent(0);
    setTextFormat(Qt::PlainText);
}

void TitleLabel::mousePressEvent(QMouseEvent* event)
{
    relayPress(this, event);
}

void TitleLabel::mouseMoveEvent(QMouseEvent* event)
{
    relayMove(this, event);
}

void TitleLabel::mouseReleaseEvent(QMouseEvent* event)
{
    relayRelease(this, event);
}

}  // namespace iradudo
