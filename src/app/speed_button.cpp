// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/speed_button.h"

#include "app/frame_style.h"

#include <QPainter>

namespace iradudo {

SpeedButton::SpeedButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void SpeedButton::setGlyph(const QImage& glyph, const QImage& disabledGlyph)
{
    glyph_ = glyph;
    disabledGlyph_ = disabledGlyph.isNull() ? greyedGlyph(glyph) : disabledGlyph;
    update();
}

SpeedButton* toolBarButton(QWidget* toolBar, const char* name, int left, int width, const QString& hint)
{
    auto* button = new SpeedButton(toolBar);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(2 + left, 3, width, 25);
    button->setToolTip(hint);
    return button;
}

QImage greyedGlyph(const QImage& glyph)
{
    QImage grey = glyph.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            const int v = 128 + qGray(line[x]) / 4;
            line[x] = qRgba(v, v, v, qAlpha(line[x]));
        }
    }
    return grey;
}

void SpeedButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    const bool down = isDown() || isChecked();
    p.fillRect(rect(), kBtnFace);
    const QColor light = down ? QColor(0x80, 0x80, 0x80) : QColor(Qt::white);
    const QColor dark = down ? QColor(Qt::white) : QColor(0x80, 0x80, 0x80);
    p.fillRect(0, 0, w, 1, light);
    p.fillRect(0, 0, 1, h, light);
    p.fillRect(0, h - 1, w, 1, down ? light : QColor(Qt::black));
    p.fillRect(w - 1, 0, 1, h, down ? light : QColor(Qt::black));
    p.fillRect(1, h - 2, w - 2, 1, dark);
    p.fillRect(w - 2, 1, 1, h - 2, dark);

    const int shift = down ? 1 : 0;
    const QImage& glyph = isEnabled() ? glyph_ : disabledGlyph_;
    const int arrowSpace = dropDown_ ? 7 : 0;
    int textLeft = 4;
    if (!glyph.isNull()) {
        const int gx = margin_ >= 0 ? margin_ : (w - arrowSpace - glyph.width()) / 2;
        const int gy = (h - glyph.height()) / 2;
        p.drawImage(gx + shift, gy + shift, glyph);
        textLeft = gx + glyph.width() + 4;
    }
    if (!text().isEmpty()) {
        p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(0x80, 0x80, 0x80));
        p.setFont(font());
        p.drawText(QRect(textLeft + shift, shift, w - textLeft - 2, h), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    if (dropDown_) {
        const int ax = w - arrowSpace + 1 + shift;
        const int ay = h / 2 - 1 + shift;
        p.fillRect(ax, ay, 5, 1, Qt::black);
        p.fillRect(ax + 1, ay + 1, 3, 1, Qt::black);
        p.fillRect(ax + 2, ay + 2, 1, 1, Qt::black);
    }
}

}  // namespace iradudo
