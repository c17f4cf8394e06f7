// SPDX-License-Identifier: GPL-3.0-or-later
// The two floppy windows: the format options (Panel13) and the folder selection
// (Panel21), their contents and handlers. The command lines come from floppy/,
// the buttons and lists from controls/.
#include "app/art/pixel_art.h"
#include "app/form1.h"
#include "base/exception.h"
#include "controls/classic_scheme.h"
#include "floppy/floppy_copy.h"
#include "floppy/format_command.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <functional>

using namespace iradudo;

namespace {

// A panel with a lowered outer and a lowered inner bevel, each one pixel wide:
// shadow along the top and left, highlight along the right and bottom.
class SunkenPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), classic::clBtnFace);
        for (int ring = 0; ring < 2; ++ring) {
            const int l = ring, t = ring, r = width() - 1 - ring, b = height() - 1 - ring;
            p.fillRect(QRect(QPoint(l, t), QPoint(r - 1, t)), classic::clBtnShadow);
            p.fillRect(QRect(QPoint(l, t), QPoint(l, b - 1)), classic::clBtnShadow);
            p.fillRect(QRect(QPoint(r, t), QPoint(r, b)), classic::clBtnHighlight);
            p.fillRect(QRect(QPoint(l, b), QPoint(r, b)), classic::clBtnHighlight);
        }
    }
};

// The items of a list box 13 pixels high, as wide as one of its columns: a list
// of N columns (N > 0) lays its items out in columns of width W div N.
class ColumnItemDelegate : public QStyledItemDelegate {
public:
    ColumnItemDelegate(std::function<int()> columns, QListWidget* list)
        : QStyledItemDelegate(list), columns_(std::move(columns)), list_(list)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        const int columns = columns_();
        return {columns > 0 ? list_->width() / columns : list_->width(), 13};
    }

private:
    std::function<int()> columns_;
    QListWidget* list_;
};

TAmigaButton* amigaButton(QWidget* parent, const char* name, const QString& caption, QRect geometry, const QColor& face)
{
    auto* button = new TAmigaButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setCaption(caption);
    button->setColor(face);
    return button;
}

// The text of a list's selected item; with none selected the lookup fails as the
// framework's string list does, at index -1.
std::string selectedItemText(const QListWidget& list)
{
    const QList<QListWidgetItem*> selected = list.selectedItems();
    const int index = selected.isEmpty() ? -1 : list.row(selected.first());
    if (index < 0 || index >= list.count())
        throw EStringListError(index);
    return list.item(index)->text().toStdString();
}

}  // namespace

void TForm1::buildFloppyWindows()
{
    // Format options: positions relative to the window, which has no body panel.
    SpeedButton8 = new SpeedButton(Panel13);
    SpeedButton8->setObjectName(QStringLiteral("SpeedButton8"));
    SpeedButton8->setGeometry(8, 32, 257, 25);
    SpeedButton8->setGlyph(art::cycleGadget());
    SpeedButton8->setGlyphMargin(4);
    SpeedButton8->setText(QString::fromLatin1(densityCaption(densityOfTag(0))));

    Label9 = new QLabel(QStringLiteral("Unità : "), Panel13);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->setGeometry(8, 72, 35, 13);

    Panel15 = new SunkenPanel(Panel13);
    Panel15->setObjectName(QStringLiteral("Panel15"));
    Panel15->setGeometry(64, 64, 201, 25);
    ListBox1 = new QListWidget(Panel15);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(2, 2, 197, 21);
    ListBox1->setFrameShape(QFrame::NoFrame);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setFlow(QListView::TopToBottom);
    ListBox1->setWrapping(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setItemDelegate(new ColumnItemDelegate([this] { return ListBox1Columns; }, ListBox1));
    QPalette listColours = ListBox1->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        listColours.setColor(group, QPalette::Base, kSilver);
        listColours.setColor(group, QPalette::Highlight, classic::clHighlight);
        listColours.setColor(group, QPalette::HighlightedText, classic::clHighlightText);
    }
    ListBox1->setPalette(listColours);

    AmigaButton1 = amigaButton(Panel13, "AmigaButton1", QStringLiteral("Formatta"), {8, 96, 81, 25}, kSilver);
    AmigaButton2 = amigaButton(Panel13, "AmigaButton2", QStringLiteral("Formatta veloce"), {96, 96, 113, 25}, kSilver);

    // Folder selection: the lists read the file system when the window is first shown.
    ZTRDriveComboBox1 = new TZTRDriveComboBox(platform_, Panel21);
    ZTRDriveComboBox1->setObjectName(QStringLiteral("ZTRDriveComboBox1"));
    ZTRDriveComboBox1->setGeometry(16, 24, 281, 22);
    ZTRDirectoryListBox1 = new TZTRDirectoryListBox(platform_, Panel21);
    ZTRDirectoryListBox1->setObjectName(QStringLiteral("ZTRDirectoryListBox1"));
    ZTRDirectoryListBox1->setGeometry(16, 56, 281, 89);
    AmigaButton3 = amigaButton(Panel21, "AmigaButton3", QStringLiteral("OK"), {16, 152, 73, 33}, classic::clBtnFace);
    AmigaButton4
        = amigaButton(Panel21, "AmigaButton4", QStringLiteral("Cancella"), {224, 152, 73, 33}, classic::clBtnFace);

    connect(SpeedButton3, &QAbstractButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(ToolButton3, &QAbstractButton::clicked, this, [this] { ToolButton3Click(); });
    connect(ToolButton4, &QAbstractButton::clicked, this, [this] { ToolButton4Click(); });
    connect(SpeedButton8, &QAbstractButton::clicked, this, [this] { SpeedButton8Click(); });
    AmigaButton1->onClick = [this] { AmigaButton1Click(); };
    AmigaButton2->onClick = [this] { AmigaButton2Click(); };
}

void TForm1::SpeedButton3Click()
{
    const QModelIndex focused = ListView2->currentIndex();
    if (!focused.isValid())
        return;
    const ListingItem& item = ListView2Items->item(focused.row());
    // Copying the current directory first also brings back a directory that the
    // folder selection moved away from; its failure is the input/output error.
    platform_.setCurrentDirectory(DirectoryListBox1.directory());
    // A directory ("[..]" too) is no file: nothing to copy and nothing to say.
    if (item.imageIndex == IconDirectory)
        return;
    // Read through the browsed directory's drive; a file gone since the listing
    // is reported as unreadable by the copy.
    copyToFloppy(floppy, platform_, DirectoryListBox1.directory(), item.caption);
}

void TForm1::ToolButton3Click()
{
    Panel21->show();
}

void TForm1::ToolButton4Click()
{
    Panel13->show();
}

void TForm1::SpeedButton8Click()
{
    SpeedButton8->setText(QString::fromLatin1(densityCaption(densityOfTag(SpeedButton8->toggleTag()))));
}

void TForm1::AmigaButton1Click()
{
    const std::string drive = selectedItemText(*ListBox1);
    platform_.runCommandLine(formatCommandLine(FormatKind::Normal, drive, densityOfTag(SpeedButton8->tag)));
}

void TForm1::AmigaButton2Click()
{
    const std::string drive = selectedItemText(*ListBox1);
    platform_.runCommandLine(formatCommandLine(FormatKind::Quick, drive, densityOfTag(SpeedButton8->tag)));
}
