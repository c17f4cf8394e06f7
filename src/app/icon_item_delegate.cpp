// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/icon_item_delegate.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

namespace iradudo {

QStringList wrapCaption(const QString& caption, const QFont& font, int width, int maxLines)
{
    QStringList lines;
    QTextLayout layout(caption, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            const QString rest = caption.mid(line.textStart());
            lines << QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << caption.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

namespace {

constexpr int kIconTop = 2;
constexpr int kWholeCaption = 1000;
constexpr int kTextGap = 2;

QSize iconSizeOf(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    return view ? view->iconSize() : QSize(37, 37);
}

}  // namespace

void IconItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect cell = option.rect;
    const QSize iconSize = iconSizeOf(option);
    const QPixmap icon = index.data(Qt::DecorationRole).value<QPixmap>();
    const QRect iconRect(
        cell.x() + (cell.width() - iconSize.width()) / 2, cell.y() + kIconTop, iconSize.width(), iconSize.height());
    if (!icon.isNull())
        painter->drawPixmap(iconRect, icon);

    const QFontMetrics metrics(option.font);
    const int textWidth = cell.width() - 4;
    // The focused item shows its whole caption, on as many lines as it needs,
    // over the items below it (the view paints it last).
    const bool whole = option.state & QStyle::State_HasFocus;
    const QStringList lines = wrapCaption(
        index.data(Qt::DisplayRole).toString(), option.font, textWidth, whole ? kWholeCaption : maxLines_);
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int top = iconRect.bottom() + 1 + kTextGap;
    const QRect textBox(
        cell.x() + (cell.width() - widest) / 2 - 1, top, widest + 2, static_cast<int>(lines.size()) * metrics.height());

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    if (selected)
        painter->fillRect(textBox, pal.color(QPalette::Highlight));
    else if (textBox.bottom() > cell.bottom())
        painter->fillRect(textBox, QColor(0xC0, 0xC0, 0xC0));  // the lists' silver, over the items below
    painter->setFont(option.font);
    painter->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    int y = top;
    for (const QString& line : lines) {
        painter->drawText(QRect(cell.x() + 2, y, textWidth, metrics.height()), Qt::AlignHCenter | Qt::AlignTop, line);
        y += metrics.height();
    }
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(textBox.adjusted(0, 0, -1, -1));
    }
}

QSize IconItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const QSize iconSize = iconSizeOf(option);
    const QFontMetrics metrics(option.font);
    return {iconSize.width() + 36, kIconTop + iconSize.height() + kTextGap + maxLines_ * metrics.height() + 2};
}

}  // namespace iradudo
