// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's handlers: start-up and opening a drive in the browser.
#include "app/form1.h"

#include "app/art/pixel_art.h"
#include "platform/dos_path.h"
#include "platform/drive_table.h"

using namespace iradudo;

void TForm1::FormCreate()
{
    Image14 = art::typeIcon(0);
    Image15 = art::typeIcon(1);
    Image16 = art::typeIcon(2);
    Image17 = art::typeIcon(3);
    Image18 = art::typeIcon(4);
    ImageList3.clear();
    for (const QImage* picture : {&Image14, &Image15, &Image16, &Image17, &Image18})
        ImageList3.push_back(QPixmap::fromImage(*picture));
    ListView2Items->setImageList(ImageList3);

    ListBox1Columns = DriveComboBox1.count();
    ListBox1->addItem(QStringLiteral("A:"));

    for (char letter = 'a'; letter <= 'z'; ++letter) {
        if (platform_.driveType(letter) != DriveCdRom)
            continue;
        const char upper = asciiUpper(letter);
        for (int i = 0; i < DriveComboBox1.count(); ++i)
            if (DriveComboBox1.letterAt(i) == upper)
                ListView1Items->append({DriveComboBox1.entry(i), 0, {}, {}});
    }

    ListBox1->setCurrentRow(0);
}

void TForm1::ListView1DblClick()
{
    const QModelIndex focused = ListView1->currentIndex();
    if (!focused.isValid())
        return;
    const char drive = ListView1Items->item(focused.row()).caption.at(0);
    DirectoryListBox1.setDirectory(std::string(1, drive) + ":\\");
    DriveComboBox1.setDrive(drive);
    Panel1->show();
    Upd();
}
