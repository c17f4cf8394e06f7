// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/painting.h"

#include <QPainter>

namespace iradudo {

namespace {

void invertPixel(QImage& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height() || (x + y) % 2 != 0)
        return;
    image.setPixel(x, y, image.pixel(x, y) ^ 0x00FFFFFFu);
}

struct ItemPlacement {
    int pictureLeft;
    QRect textRect;
    int textFlags;
};

QImage renderItem(QSize size, const QImage* picture, const ItemPlacement& at, const QString& text, bool selected,
    bool focused, const ItemLook& look)
{
    QImage item(size, QImage::Format_RGB32);
    const QColor ground = selected ? classic::clHighlight : look.windowColour;
    item.fill(ground);
    {
        QPainter p(&item);
        if (picture && !picture->isNull()) {
            // top = (item top + item bottom - picture height) div 2, the item's top being 0 here.
            const int top = (size.height() - picture->height()) / 2;
            p.drawImage(at.pictureLeft, top, onGround(*picture, ground));
        }
        p.setFont(look.font);
        p.setPen(selected ? classic::clHighlightText : look.fontColour);
        p.drawText(at.textRect, at.textFlags, text);
    }
    if (focused)
        drawFocusRect(item, item.rect());
    return item;
}

}  // namespace

void drawFocusRect(QImage& image, const QRect& rect)
{
    if (rect.isEmpty())
        return;
    for (int x = rect.left(); x <= rect.right(); ++x) {
        invertPixel(image, x, rect.top());
        if (rect.bottom() != rect.top())
            invertPixel(image, x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        invertPixel(image, rect.left(), y);
        if (rect.right() != rect.left())
            invertPixel(image, rect.right(), y);
    }
}

QImage onGround(const QImage& picture, const QColor& ground)
{
    QImage out = picture.convertToFormat(QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const QRgb key = out.pixel(0, out.height() - 1);
    const QRgb fill = ground.rgb();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000u) == (key | 0xFF000000u))
                line[x] = fill;
    }
    return out;
}

QImage renderDriveItem(
    QSize size, const QImage* picture, const QString& text, bool selected, bool focused, const ItemLook& look)
{
    constexpr int indent = 2;
    const int textLeft = (picture && !picture->isNull() ? picture->width() : 16) + 6;
    const ItemPlacement at{indent, QRect(textLeft, 0, size.width() - textLeft, size.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine};
    return renderItem(size, picture, at, text, selected, focused, look);
}

QImage renderFolderItem(QSize size, const QImage* picture, int indent, const QString& text, bool selected, bool focused,
    const ItemLook& look)
{
    const int textLeft = indent + (picture && !picture->isNull() ? picture->width() : 0) + 4;
    const ItemPlacement at{indent, QRect(textLeft, 0, std::max(0, size.width() - textLeft), size.height()),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine};
    return renderItem(size, picture, at, text, selected, focused, look);
}

}  // namespace iradudo
