// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

namespace iradudo {

// Draws a large-icon item: the icon centred at the top of its cell and the
// caption under it, wrapped onto at most maxLines lines (inside long names too, as
// file names seldom hold blanks) and elided after that. The focused item shows its
// whole caption, on as many lines as it needs.
class IconItemDelegate : public QStyledItemDelegate {
public:
    IconItemDelegate(int maxLines, QObject* parent) : QStyledItemDelegate(parent), maxLines_(maxLines) { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int maxLines_;
};

// The caption's lines within a width, at most maxLines, the last one elided.
QStringList wrapCaption(const QString& caption, const QFont& font, int width, int maxLines);

}  // namespace iradudo
