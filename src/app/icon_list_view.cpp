// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/icon_list_view.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

namespace iradudo {

IconListView::IconListView(QWidget* parent) : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setUniformItemSizes(true);
}

void IconListView::focusInEvent(QFocusEvent* event)
{
    const bool hadCurrent = currentIndex().isValid();
    QListView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid() && event->reason() != Qt::MouseFocusReason)
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    viewport()->update();
}

void IconListView::focusOutEvent(QFocusEvent* event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}

void IconListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    // A whole caption reaches beyond its item: the old one and the new one.
    viewport()->update();
}

void IconListView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !hasFocus())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(current);
    option.state |= QStyle::State_HasFocus;
    if (selectionModel()->isSelected(current))
        option.state |= QStyle::State_Selected;
    QPainter painter(viewport());
    itemDelegateForIndex(current)->paint(&painter, option, current);
}

void IconListView::mousePressEvent(QMouseEvent* event)
{
    QListView::mousePressEvent(event);
    if (!indexAt(event->position().toPoint()).isValid())
        selectionModel()->clearSelection();
}

void IconListView::mouseReleaseEvent(QMouseEvent* event)
{
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && onClick)
        onClick();
}

void IconListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && onDblClick)
        onDblClick();
}

}  // namespace iradudo
