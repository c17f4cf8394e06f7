// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/icon_item_model.h"

#include "base/text_encoding.h"

namespace iradudo {

IconItemModel::IconItemModel(QObject* parent) : QAbstractListModel(parent) { }

void IconItemModel::setImageList(std::vector<QPixmap> images)
{
    images_ = std::move(images);
}

void IconItemModel::setItems(std::vector<ListingItem> items)
{
    beginResetModel();
    items_ = std::move(items);
    captions_.clear();
    captions_.reserve(items_.size());
    for (const ListingItem& item : items_)
        captions_.push_back(QString::fromStdString(toDisplayUtf8(item.caption)));
    endResetModel();
}

void IconItemModel::append(ListingItem item)
{
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    captions_.push_back(QString::fromStdString(toDisplayUtf8(item.caption)));
    items_.push_back(std::move(item));
    endInsertRows();
}

int IconItemModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant IconItemModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const auto row = static_cast<size_t>(index.row());
    const ListingItem& item = items_[row];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return captions_[row];
    case Qt::DecorationRole:
        if (item.imageIndex >= 0 && static_cast<size_t>(item.imageIndex) < images_.size())
            return images_[static_cast<size_t>(item.imageIndex)];
        return {};
    case CommentRole: return QString::fromStdString(item.comment);
    case SizeRole: return item.size ? QVariant::fromValue<qlonglong>(*item.size) : QVariant();
    default: return {};
    }
}

Qt::ItemFlags IconItemModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace iradudo
