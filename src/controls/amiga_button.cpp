// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/amiga_button.h"

#include "controls/classic_scheme.h"
#include "controls/painting.h"

#include <QMouseEvent>
#include <QPainter>

namespace iradudo {

bool TNewButton::pressed_ = false;
TNewButton* TNewButton::captured_ = nullptr;

namespace {

// Lines from one pixel to another, both ends included, clipped to the image.
void hline(QImage& image, int y, int x0, int x1, const QColor& colour)
{
    if (y < 0 || y >= image.height())
        return;
    const QRgb value = colour.rgb();
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = std::max(0, x0); x <= std::min(x1, image.width() - 1); ++x)
        line[x] = value;
}

void vline(QImage& image, int x, int y0, int y1, const QColor& colour)
{
    if (x < 0 || x >= image.width())
        return;
    const QRgb value = colour.rgb();
    for (int y = std::max(0, y0); y <= std::min(y1, image.height() - 1); ++y)
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = value;
}

}  // namespace

TNewButton::TNewButton(QWidget* parent) : QWidget(parent), color_(classic::clBtnFace), fontColor_(classic::clWindowText)
{
    // Every pixel is the button's own; nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 41);
    canvas_ = QImage(size(), QImage::Format_RGB32);
    canvas_.fill(color_);
}

TNewButton::~TNewButton()
{
    if (captured_ == this)
        captured_ = nullptr;
}

void TNewButton::setCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void TNewButton::setColor(const QColor& color)
{
    color_ = color;
    update();
}

void TNewButton::paintPanel(QImage& canvas) const
{
    canvas.fill(color_);
    QPainter p(&canvas);
    p.setFont(font());
    p.setPen(fontColor_);
    const int h = QFontMetrics(font()).height();  // the height of "W": every letter's cell is as high
    const int top = (canvas.height() - h) / 2;
    p.drawText(QRect(0, top, canvas.width(), h), Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, caption_);
}

void TNewButton::Paint(QImage& canvas)
{
    paintPanel(canvas);
    const int w = canvas.width();
    const int h = canvas.height();
    hline(canvas, 0, 0, w - 1, classic::cl3DLight);
    vline(canvas, 0, 0, h - 1, classic::cl3DLight);
    hline(canvas, 1, 1, w - 2, classic::clBtnHighlight);
    vline(canvas, 1, 1, h - 2, classic::clBtnHighlight);
    vline(canvas, w - 1, 1, h - 1, classic::cl3DDkShadow);
    hline(canvas, h - 1, 0, w - 2, classic::cl3DDkShadow);
    vline(canvas, w - 2, 2, h - 3, classic::clBtnShadow);
    hline(canvas, h - 2, 1, w - 2, classic::clBtnShadow);
}

void TAmigaButton::Paint(QImage& canvas)
{
    TNewButton::Paint(canvas);
    const int w = canvas.width();
    const int h = canvas.height();
    hline(canvas, 0, 0, w - 1, Qt::white);
    hline(canvas, 1, 1, w - 2, Qt::white);
    vline(canvas, w - 1, 1, h - 1, Qt::black);
    hline(canvas, h - 1, 0, w - 2, Qt::black);
    hline(canvas, h - 2, 1, w - 2, Qt::black);
}

void TNewButton::paintRaisedNow()
{
    Paint(canvas_);
    showCanvas();
}

// Drawn over the pixels the button shows: neither the face nor the caption is
// painted again.
void TNewButton::drawPressedLook()
{
    pressed_ = true;
    const int w = canvas_.width();
    const int h = canvas_.height();
    drawFocusRect(canvas_, QRect(QPoint(5, 5), QPoint(w - 7, h - 7)));
    hline(canvas_, 0, 0, w - 1, classic::clBtnShadow);
    vline(canvas_, 0, 0, h - 1, classic::clBtnShadow);
    hline(canvas_, 1, 1, w - 2, classic::clBtnFace);
    vline(canvas_, 1, 1, h - 2, classic::clBtnFace);
    vline(canvas_, w - 1, 1, h - 1, classic::clBtnShadow);
    hline(canvas_, h - 1, 0, w - 2, classic::clBtnShadow);
    vline(canvas_, w - 2, 2, h - 3, classic::clBtnFace);
    hline(canvas_, h - 2, 1, w - 2, classic::clBtnFace);
    showCanvas();
}

void TNewButton::showCanvas()
{
    showCanvasAsIs_ = true;
    repaint();
    showCanvasAsIs_ = false;
}

void TNewButton::paintEvent(QPaintEvent*)
{
    if (!showCanvasAsIs_ || canvas_.size() != size()) {
        canvas_ = QImage(size(), QImage::Format_RGB32);
        Paint(canvas_);
    }
    QPainter p(this);
    p.drawImage(0, 0, canvas_);
}

void TNewButton::resizeEvent(QResizeEvent*)
{
    canvas_ = QImage(size(), QImage::Format_RGB32);
    Paint(canvas_);
    if (onResize)
        onResize();
}

void TNewButton::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int, int)
{
    if (button == Qt::LeftButton)
        drawPressedLook();
}

void TNewButton::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    pressed_ = false;
    paintRaisedNow();
}

void TNewButton::MouseEnter()
{
    if (pressed_)
        drawPressedLook();
}

void TNewButton::MouseLeave()
{
    if (pressed_)
        paintRaisedNow();
}

void TNewButton::EnabledChanged()
{
    fontColor_ = isEnabled() ? classic::clBtnText : classic::clGrayText;
    update();
}

void TNewButton::press(QMouseEvent* event, bool armClick)
{
    if (event->button() == Qt::LeftButton) {
        captured_ = this;
        pointerInside_ = true;
        clickArmed_ = armClick;
    }
    const QPoint at = event->position().toPoint();
    MouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void TNewButton::mousePressEvent(QMouseEvent* event)
{
    press(event, true);
}

// The second press of a double click shows the pressed look again but fires no
// second click.
void TNewButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    press(event, false);
}

// While the left button holds the capture, the window system tells no one of the
// pointer's crossings; the captured button follows the pointer itself.
void TNewButton::mouseMoveEvent(QMouseEvent* event)
{
    if (captured_ == this)
        pointerOver(rect().contains(event->position().toPoint()));
}

void TNewButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    bool click = false;
    if (event->button() == Qt::LeftButton) {
        click = captured_ == this && clickArmed_ && rect().contains(at);
        captured_ = nullptr;
        clickArmed_ = false;
    }
    // The click runs while the pressed look still shows; the release handler
    // follows it, also when the click's action fails.
    struct ReleaseAfter {
        TNewButton* button;
        Qt::MouseButton which;
        Qt::KeyboardModifiers shift;
        QPoint at;
        ~ReleaseAfter() { button->MouseUp(which, shift, at.x(), at.y()); }
    } release{this, event->button(), event->modifiers(), at};
    if (click && onClick)
        onClick();
}

void TNewButton::enterEvent(QEnterEvent*)
{
    if (captured_ == nullptr || captured_ == this)
        pointerOver(true);
}

void TNewButton::leaveEvent(QEvent*)
{
    if (captured_ == nullptr || captured_ == this)
        pointerOver(false);
}

void TNewButton::pointerOver(bool inside)
{
    if (inside == pointerInside_)
        return;
    pointerInside_ = inside;
    if (inside)
        MouseEnter();
    else
        MouseLeave();
}

void TNewButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        EnabledChanged();
    else if (event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

}  // namespace iradudo
