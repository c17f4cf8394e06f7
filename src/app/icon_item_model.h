// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/listing.h"

#include <QAbstractListModel>
#include <QPixmap>

#include <vector>

namespace iradudo {

// The items of a large-icon list view: caption (an entry name, bytes as read),
// image index into the view's image list, and the comment and size subitems.
// A model rather than one widget item per entry keeps a listing of thousands
// of entries cheap to rebuild.
class IconItemModel : public QAbstractListModel {
public:
    enum Role { CommentRole = Qt::UserRole, SizeRole };

    explicit IconItemModel(QObject* parent = nullptr);

    void setImageList(std::vector<QPixmap> images);
    void setItems(std::vector<ListingItem> items);
    void append(ListingItem item);
    const ListingItem& item(int row) const { return items_.at(static_cast<size_t>(row)); }
    int count() const { return static_cast<int>(items_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<QPixmap> images_;
    std::vector<ListingItem> items_;
    std::vector<QString> captions_;
};

}  // namespace iradudo
