// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/folder_list.h"
#include "controls/painting.h"
#include "platform/platform.h"

#include <QImage>
#include <QListWidget>

#include <memory>
#include <string>
#include <vector>

namespace iradudo {

// The folder list with Amiga drawer pictures:
// the drive root, the folders down to the current one and its subfolders, each
// drawn by the control at one fixed item height. A double click or Enter opens
// the selected item: the process's current directory moves there and the list is
// rebuilt around it. Linked to no file list or drive list, so nobody else is told.
class TZTRDirectoryListBox : public QListWidget {
public:
    struct Item {
        std::string name;  // the folder's name as stored ("X:\" for the root)
        const QImage* picture;
    };

    // Takes the process's current directory; the folder is read when the control
    // is first shown. The platform must outlive the control.
    explicit TZTRDirectoryListBox(Platform& platform, QWidget* parent = nullptr);

    // The current folder (DOS path).
    const std::string& directory() const { return directory_; }
    // Enters a folder as the directory source does (the process's current directory
    // follows) and rebuilds the list; nothing when it is the current folder. Throws
    // EInOutError when the folder cannot be entered: the list stays as it was.
    void setDirectory(const std::string& path);

    // Opens the selected item (double click, Enter).
    void openSelected();

    // The items; empty until the control has been shown.
    const std::vector<Item>& items() const { return items_; }
    bool built() const { return built_; }

    // The three picture objects; an item's role is which of them it carries.
    const QImage* closedPicture() const { return closed_.get(); }
    const QImage* openPicture() const { return open_.get(); }
    const QImage* currentPicture() const { return current_.get(); }

    int itemIndent(int index) const;
    int itemHeight() const { return itemHeight_; }

    // One item drawn as the list draws it.
    QImage renderItem(int index, QSize size, bool selected, bool focused) const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadPictures();
    FolderRole roleOf(const Item& item) const;
    void showEntries(std::vector<FolderListEntry> entries);
    void updateItemHeight();

    Platform& platform_;
    std::string directory_;
    bool built_ = false;
    std::vector<Item> items_;
    int itemHeight_ = 17;
    std::unique_ptr<const QImage> closed_, current_, open_;
};

}  // namespace iradudo
