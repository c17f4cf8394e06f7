// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/painting.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

namespace iradudo {

// The drive combo box with Amiga drive pictures: the directory source's drive
// list in lower case, each entry drawn by the control with the picture of its
// drive type, at one fixed item height. Linked to no folder list: choosing a
// drive changes the current drive and nothing else.
class TZTRDriveComboBox : public QComboBox {
public:
    struct Item {
        std::string text;  // the drive list's entry, lower case ("a:", "c: [system]")
        char letter;       // upper case
        int type;          // DriveType code
        const QImage* picture;
    };

    // Takes the process's current drive; the drives are read when the control is
    // first shown. The platform must outlive the control.
    explicit TZTRDriveComboBox(Platform& platform, QWidget* parent = nullptr);

    // The current drive letter (upper case), 0 when none.
    char drive() const { return drive_; }
    // Makes the letter current and shows its entry in the field.
    void setDrive(char letter);

    // The entries; empty until the control has been shown.
    const std::vector<Item>& items() const { return items_; }
    bool built() const { return built_; }

    // The picture for a drive type, nullptr for a type without one.
    const QImage* pictureFor(int driveType) const;

    // The larger of the font's character height and the floppy picture's height.
    int itemHeight() const { return itemHeight_; }

    // One entry drawn as the list draws it.
    QImage renderItem(int index, QSize size, bool selected, bool focused) const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildList();
    void updateItemHeight();

    Platform& platform_;
    char drive_;
    bool built_ = false;
    std::vector<Item> items_;
    int itemHeight_ = 16;
    std::unique_ptr<const QImage> cdRom_, floppy_, hard_, network_, ram_;
};

}  // namespace iradudo
