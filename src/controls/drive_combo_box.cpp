// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/drive_combo_box.h"

#include "base/text_encoding.h"
#include "browser/directory_source.h"
#include "controls/art/drive_pictures.h"
#include "platform/dos_path.h"
#include "platform/drive_table.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace iradudo {

namespace {

std::unique_ptr<const QImage> picture(art::DrivePicture which)
{
    return std::make_unique<const QImage>(art::drivePicture(which));
}

// Draws the drop-down list's entries the way the control draws them.
class DriveItemDelegate : public QAbstractItemDelegate {
public:
    explicit DriveItemDelegate(TZTRDriveComboBox* box) : QAbstractItemDelegate(box), box_(box) { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const bool focused = option.state & QStyle::State_HasFocus;
        painter->drawImage(option.rect.topLeft(), box_->renderItem(index.row(), option.rect.size(), selected, focused));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), box_->itemHeight()};
    }

private:
    TZTRDriveComboBox* box_;
};

}  // namespace

TZTRDriveComboBox::TZTRDriveComboBox(Platform& platform, QWidget* parent)
    : QComboBox(parent), platform_(platform), drive_(platform.currentDrive())
{
    // The framework's pictures, with four replaced by the Amiga drives; the RAM
    // disk keeps the standard picture.
    ram_ = picture(art::DrivePicture::Ram);
    cdRom_ = picture(art::DrivePicture::CdRom);
    floppy_ = picture(art::DrivePicture::Floppy);
    hard_ = picture(art::DrivePicture::Hard);
    network_ = picture(art::DrivePicture::Network);
    setItemDelegate(new DriveItemDelegate(this));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, classic::clWindow);
    pal.setColor(QPalette::Text, classic::clWindowText);
    setPalette(pal);
    updateItemHeight();
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(items_.size()))
            setDrive(items_[static_cast<std::size_t>(index)].letter);
    });
}

const QImage* TZTRDriveComboBox::pictureFor(int driveType) const
{
    switch (driveType) {
    case DriveRemovable: return floppy_.get();
    case DriveFixed: return hard_.get();
    case DriveRemote: return network_.get();
    case DriveCdRom: return cdRom_.get();
    case DriveRamDisk: return ram_.get();
    default: return nullptr;
    }
}

void TZTRDriveComboBox::updateItemHeight()
{
    itemHeight_ = std::max(QFontMetrics(font()).height(), floppy_->height());
}

void TZTRDriveComboBox::buildList()
{
    const DriveList drives(platform_, DriveList::TextCase::Lower);
    std::vector<Item> items;
    for (int i = 0; i < drives.count(); ++i)
        items.push_back(
            {drives.entry(i), drives.letterAt(i), drives.driveTypeAt(i), pictureFor(drives.driveTypeAt(i))});
    items_ = std::move(items);
    built_ = true;
    clear();
    for (const Item& item : items_)
        addItem(QString::fromStdString(toDisplayUtf8(item.text)));
    setDrive(drive_);
}

void TZTRDriveComboBox::setDrive(char letter)
{
    drive_ = asciiUpper(letter);
    const auto found = std::find_if(items_.begin(), items_.end(), [this](const Item& item) {
        return item.text.size() >= 2 && asciiUpper(item.text[0]) == drive_ && item.text[1] == ':';
    });
    setCurrentIndex(found == items_.end() ? -1 : static_cast<int>(found - items_.begin()));
}

QImage TZTRDriveComboBox::renderItem(int index, QSize size, bool selected, bool focused) const
{
    if (index < 0 || index >= static_cast<int>(items_.size()))
        return {};
    const Item& item = items_[static_cast<std::size_t>(index)];
    const ItemLook look{font(), classic::clWindow, classic::clWindowText};
    return renderDriveItem(
        size, item.picture, QString::fromStdString(toDisplayUtf8(item.text)), selected, focused, look);
}

void TZTRDriveComboBox::showEvent(QShowEvent* event)
{
    if (!built_)
        buildList();
    QComboBox::showEvent(event);
}

void TZTRDriveComboBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        updateItemHeight();
        if (built_)
            buildList();
    }
    QComboBox::changeEvent(event);
}

// The style draws the frame and the arrow; the chosen entry is drawn into the
// field as the list draws it, highlighted while the control has the focus.
void TZTRDriveComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0)
        return;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int height = std::min(itemHeight_, field.height());
    const QRect item(field.left(), field.top() + (field.height() - height) / 2, field.width(), height);
    painter.drawImage(item.topLeft(), renderItem(currentIndex(), item.size(), hasFocus(), hasFocus()));
}

}  // namespace iradudo
