// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/directory_list_box.h"

#include "base/text_encoding.h"
#include "controls/art/drive_pictures.h"

#include <QAbstractItemDelegate>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace iradudo {

namespace {

class FolderItemDelegate : public QAbstractItemDelegate {
public:
    explicit FolderItemDelegate(TZTRDirectoryListBox* list) : QAbstractItemDelegate(list), list_(list) { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const bool focused = option.state & QStyle::State_HasFocus;
        painter->drawImage(
            option.rect.topLeft(), list_->renderItem(index.row(), option.rect.size(), selected, focused));
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {list_->viewport()->width(), list_->itemHeight()};
    }

private:
    TZTRDirectoryListBox* list_;
};

}  // namespace

TZTRDirectoryListBox::TZTRDirectoryListBox(Platform& platform, QWidget* parent)
    : QListWidget(parent), platform_(platform)
{
    resize(145, height());
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new FolderItemDelegate(this));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, classic::clWindow);
    pal.setColor(QPalette::Text, classic::clWindowText);
    setPalette(pal);
    loadPictures();
    directory_ = platform_.currentDirectory();
    updateItemHeight();
}

// The step the Amiga list replaces: each picture a new object of its own, so the
// open and current pictures stay two objects although their images are the same.
void TZTRDirectoryListBox::loadPictures()
{
    closed_ = std::make_unique<const QImage>(art::folderPicture(art::FolderPicture::Closed));
    current_ = std::make_unique<const QImage>(art::folderPicture(art::FolderPicture::Current));
    open_ = std::make_unique<const QImage>(art::folderPicture(art::FolderPicture::Open));
}

void TZTRDirectoryListBox::updateItemHeight()
{
    itemHeight_ = std::max(QFontMetrics(font()).height(), open_->height() + 1);
    doItemsLayout();
}

FolderRole TZTRDirectoryListBox::roleOf(const Item& item) const
{
    if (item.picture == closed_.get())
        return FolderRole::Closed;
    if (item.picture == current_.get())
        return FolderRole::Current;
    return FolderRole::Open;
}

int TZTRDirectoryListBox::itemIndent(int index) const
{
    if (index < 0 || index >= static_cast<int>(items_.size()))
        return 0;
    return folderIndent(directory_, index, roleOf(items_[static_cast<std::size_t>(index)]));
}

void TZTRDirectoryListBox::showEntries(std::vector<FolderListEntry> entries)
{
    items_.clear();
    for (FolderListEntry& entry : entries) {
        const QImage* picture = entry.role == FolderRole::Closed ? closed_.get()
            : entry.role == FolderRole::Current                  ? current_.get()
                                                                 : open_.get();
        items_.push_back({std::move(entry.name), picture});
    }
    built_ = true;
    clear();
    // Every volume on this platform keeps the letter case of its names, so the
    // names are shown as stored, not lower-cased.
    for (const Item& item : items_)
        addItem(QString::fromStdString(toDisplayUtf8(item.name)));
    const int current = currentFolderIndex(directory_);
    if (current < count())
        setCurrentRow(current);
}

void TZTRDirectoryListBox::setDirectory(const std::string& path)
{
    if (path == directory_)
        return;
    platform_.setCurrentDirectory(path);
    directory_ = platform_.currentDirectory();
    showEntries(folderListEntries(platform_, directory_));
}

void TZTRDirectoryListBox::openSelected()
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int index = selected.first().row();
    if (index >= static_cast<int>(items_.size()))
        return;
    const Item& item = items_[static_cast<std::size_t>(index)];
    setDirectory(folderItemPath(directory_, index, roleOf(item), item.name));
}

QImage TZTRDirectoryListBox::renderItem(int index, QSize size, bool selected, bool focused) const
{
    if (index < 0 || index >= static_cast<int>(items_.size()))
        return {};
    const Item& item = items_[static_cast<std::size_t>(index)];
    const ItemLook look{font(), classic::clWindow, classic::clWindowText};
    return renderFolderItem(size, item.picture, itemIndent(index), QString::fromStdString(toDisplayUtf8(item.name)),
        selected, focused, look);
}

void TZTRDirectoryListBox::showEvent(QShowEvent* event)
{
    if (!built_)
        showEntries(folderListEntries(platform_, directory_));
    QListWidget::showEvent(event);
}

void TZTRDirectoryListBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateItemHeight();
    QListWidget::changeEvent(event);
}

void TZTRDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        openSelected();
}

void TZTRDirectoryListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openSelected();
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace iradudo
