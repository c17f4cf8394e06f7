// SPDX-License-Identifier: GPL-3.0-or-later
// The browser window's handlers: listing, the ".info" toggle, navigation and
// launching. The work is done by the directory source and the listing.
#include "app/form1.h"

#include "browser/listing.h"

#include <QScrollBar>

using namespace iradudo;

void TForm1::Upd()
{
    const Listing listing = buildListing(FileListBox1, platform_, SpeedButton10->tag == 1);
    ListView2Items->setItems(listing.items);
    // A rebuilt list starts at its top, as a freshly filled one does.
    ListView2->scrollToTop();
    ListView2->horizontalScrollBar()->setValue(0);
    Label8->setText(QString::fromStdString(listing.statusText()));
}

void TForm1::SpeedButton10Click()
{
    SpeedButton10->setText(QString::fromLatin1(infoToggleCaption(SpeedButton10->toggleTag())));
    Upd();
}

void TForm1::ListView2Click()
{
    const QModelIndexList selected = ListView2->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    if (const auto text = itemClickText(ListView2Items->item(selected.first().row())))
        Label8->setText(QString::fromStdString(*text));
}

void TForm1::SpeedButton1Click()
{
    DirectoryListBox1.setDirectory("..");
    Upd();
}

void TForm1::SpeedButton2Click()
{
    DirectoryListBox1.setDirectory("\\");
    Upd();
}

const ListingItem* TForm1::pickedEntry() const
{
    const QModelIndex focused = ListView2->currentIndex();
    return focused.isValid() ? &ListView2Items->item(focused.row()) : nullptr;
}

void TForm1::ListView2DblClick()
{
    const ListingItem* picked = pickedEntry();
    if (!picked || picked->imageIndex != IconDirectory)
        return;
    DirectoryListBox1.setDirectory(std::string(picked->caption));
    Upd();
}

void TForm1::DirectoryListBox1Change()
{
    platform_.setCurrentDirectory(DirectoryListBox1.directory());
    const bool belowRoot = FileListBox1.indexOf("[..]") >= 0;
    SpeedButton1->setEnabled(belowRoot);
    SpeedButton2->setEnabled(belowRoot);
}

void TForm1::SpeedButton5Click()
{
    if (const ListingItem* picked = pickedEntry())
        platform_.startListedFile(DirectoryListBox1.directory(), picked->caption);
}
