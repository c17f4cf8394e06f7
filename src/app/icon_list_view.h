// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListView>

#include <functional>

namespace iradudo {

// A list view in large-icon mode that reports every click and double-click,
// on an item or on empty space, as the window's handlers expect; the item acted
// on is the current (focused) one, which a click on empty space leaves alone.
class IconListView : public QListView {
public:
    explicit IconListView(QWidget* parent = nullptr);

    std::function<void()> onClick;
    std::function<void()> onDblClick;

protected:
    // A press on empty space deselects, as the platform's list views do; the
    // focused item stays.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Qt makes the first item current when the view takes the focus; here an
    // item is focused only once it is clicked or reached by the keyboard.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The focused item is painted last, so that its whole caption lies over the
    // items below it.
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};

}  // namespace iradudo
