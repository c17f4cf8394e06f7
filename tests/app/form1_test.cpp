// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLayout>

#include <algorithm>

using namespace iradudo;
using namespace iradudo::test;

namespace {

// A small disc: a text file of 1234 bytes, an archive with its description,
// Amiga icon files, and two directories, one of them empty.
class Disc {
public:
    Disc()
    {
        dir.writeFile("README.TXT", std::string(1234, 'x'));
        dir.writeFile("GAME.LHA", std::string(300, 'g'));
        dir.writeFile("GAME.README", "Short:   A game\nAuthor: me\n");
        dir.writeFile("GAME.INFO", std::string(10, 'i'));
        dir.writeFile("drawer.info", std::string(20, 'i'));
        dir.writeFile("PICS/PHOTO.GIF", std::string(50, 'p'));
        dir.writeFile("PICS/DEEP/NOTE.TXT", "note");
        dir.makeDir("EMPTY");
    }
    std::string root() const { return dir.path().string(); }

    TempDir dir;
};

int stackIndex(const QWidget* widget)
{
    const QObjectList& children = widget->parentWidget()->children();
    return static_cast<int>(children.indexOf(const_cast<QWidget*>(widget)));
}

class Form1Test : public ::testing::Test {
protected:
    Disc disc;
    Disc second;
    TempDir fixed;
    FormFixture fx{{makeDrive('C', DriveFixed, fixed.path().string(), "SYSTEM"),
        makeDrive('D', DriveCdRom, disc.root(), "cover cd"), makeDrive('E', DriveCdRom, std::string(), std::string()),
        makeDrive('F', DriveCdRom, second.root(), "SECOND")}};

    void openDrive(int icon)
    {
        fx.showForm();
        FormFixture::doubleClickItem(fx.form->ListView1, icon);
    }
};

TEST_F(Form1Test, StartsWithOneIconPerCdRomDriveInLetterOrder)
{
    EXPECT_EQ(fx.desktopCaptions(), (QStringList{"D: [COVER CD]", "E: []", "F: [SECOND]"}));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(fx.form->ListView1Items->item(row).imageIndex, 0);
    EXPECT_FALSE(fx.form->ListView1->currentIndex().isValid());
}

TEST_F(Form1Test, StartUpStateOfTheWindow)
{
    TForm1& f = *fx.form;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("DIZOZ Iradudo "));
    EXPECT_EQ(f.size(), QSize(617, 442));
    EXPECT_EQ(f.pos(), QPoint(128, 119));
    EXPECT_EQ(f.ListView1->geometry(), QRect(0, 18, 145, 424));
    EXPECT_EQ(f.Notebook1->geometry(), QRect(0, 0, 617, 17));
    EXPECT_EQ(f.Shape15->geometry(), QRect(0, 17, 617, 1));

    ASSERT_EQ(f.ListBox1->count(), 1);
    EXPECT_EQ(f.ListBox1->item(0)->text(), QStringLiteral("A:"));
    EXPECT_EQ(f.ListBox1->currentRow(), 0);
    EXPECT_EQ(f.ListBox1Columns, f.DriveComboBox1.count());
    EXPECT_EQ(f.ImageList3.size(), 5u);
    EXPECT_EQ(f.ImageList3[0].size(), QSize(37, 37));

    EXPECT_EQ(f.Panel1->geometry(), QRect(200, 88, 393, 281));
    EXPECT_EQ(f.Panel5->geometry(), QRect(64, 176, 369, 153));
    EXPECT_EQ(f.Panel9->geometry(), QRect(256, 248, 297, 145));
    EXPECT_EQ(f.Panel13->geometry(), QRect(112, 224, 273, 129));
    EXPECT_EQ(f.Panel21->geometry(), QRect(176, 168, 321, 201));
    for (QWidget* w : std::initializer_list<QWidget*>{f.Panel1, f.Panel5, f.Panel9, f.Panel13, f.Panel21})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_EQ(f.Panel1->titleLabel->text(), QStringLiteral("  Finestra browser"));
    EXPECT_EQ(f.Panel5->titleLabel->text(), QStringLiteral(" Visualizzatore testo"));

    // Stacking, bottom to top.
    const std::vector<QWidget*> order{f.ListView1, f.Panel1, f.Panel9, f.Panel13, f.Notebook1, f.Panel21, f.Panel5};
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(stackIndex(order[i - 1]), stackIndex(order[i])) << order[i]->objectName().toStdString();
    for (QWidget* logo : std::initializer_list<QWidget*>{f.Label10, f.Label11, f.Label12, f.Label13, f.Shape15})
        EXPECT_LT(stackIndex(logo), stackIndex(f.ListView1));
    EXPECT_LT(stackIndex(f.Label11), stackIndex(f.Label12));
    EXPECT_LT(stackIndex(f.Label12), stackIndex(f.Label10));
    EXPECT_LT(stackIndex(f.Label10), stackIndex(f.Label13));

    EXPECT_EQ(f.SpeedButton10->text(), QStringLiteral("Nascondi .info"));
    EXPECT_EQ(f.SpeedButton10->tag, 0);
    EXPECT_TRUE(f.Label8->text().isEmpty());
}

TEST_F(Form1Test, ToolbarButtonsHaveTheirPlacesAndHints)
{
    TForm1& f = *fx.form;
    struct Expect {
        QWidget* button;
        int left;
        int width;
        const char* hint;
    };
    const Expect buttons[] = {
        {f.SpeedButton1, 0, 25, "Directory superiore"},
        {f.SpeedButton2, 25, 25, "Ritorna alla radice"},
        {f.SpeedButton3, 58, 25, "Copia su dischetto"},
        {f.ToolButton3, 83, 23, "Copia"},
        {f.ToolButton4, 106, 23, "Formatta il dischetto (720 kb) per CrossDos"},
        {f.SpeedButton4, 137, 25, "Mostra testo"},
        {f.SpeedButton7, 170, 25, "Mostra immagine"},
        {f.SpeedButton5, 195, 25, "Avvia"},
        {f.SpeedButton10, 228, 101, ""},
    };
    for (const Expect& e : buttons) {
        EXPECT_EQ(e.button->x() - 2, e.left) << e.hint;
        EXPECT_EQ(e.button->width(), e.width) << e.hint;
        EXPECT_EQ(e.button->height(), 25) << e.hint;
        EXPECT_EQ(e.button->toolTip(), QString::fromUtf8(e.hint));
    }
    // The toolbar stands inside the body's 2-pixel border: the body starts at
    // column 5 and row 17 of the window.
    f.Panel1->show();
    f.Panel1->body->layout()->activate();
    EXPECT_EQ(f.ToolBar1->mapTo(f.Panel1, QPoint(0, 0)), QPoint(7, 19));
}

TEST(Form1NoCdRom, EmptyStripOpensNothing)
{
    TempDir fixed;
    FormFixture fx({makeDrive('C', DriveFixed, fixed.path().string(), "SYSTEM")});
    fx.showForm();
    EXPECT_EQ(fx.form->ListView1Items->count(), 0);
    QTest::mouseDClick(fx.form->ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_TRUE(fx.form->Panel1->isHidden());
    EXPECT_TRUE(fx.errors.isEmpty());
}

TEST_F(Form1Test, DoubleClickOnAnIconOpensTheBrowserOnItsRoot)
{
    openDrive(0);
    TForm1& f = *fx.form;
    EXPECT_TRUE(f.Panel1->isVisible());
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");
    EXPECT_EQ(f.DriveComboBox1.drive(), 'D');
    EXPECT_EQ(fx.browserCaptions(), (QStringList{"[EMPTY]", "[PICS]", "GAME.LHA", "GAME.README", "README.TXT"}));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("5 elementi, 1561 bytes totali"));
    EXPECT_FALSE(f.SpeedButton1->isEnabled());
    EXPECT_FALSE(f.SpeedButton2->isEnabled());

    const IconItemModel& items = *f.ListView2Items;
    EXPECT_EQ(items.item(0).imageIndex, 0);
    EXPECT_EQ(items.item(2).imageIndex, 1);
    EXPECT_EQ(items.item(2).comment, "A game");
    EXPECT_EQ(items.item(3).imageIndex, 2);
    EXPECT_TRUE(fx.errors.isEmpty());
}

TEST_F(Form1Test, DoubleClickOnEmptySpaceActsOnTheFocusedIcon)
{
    fx.showForm();
    TForm1& f = *fx.form;
    const QPoint empty(140, 400);
    ASSERT_FALSE(f.ListView1->indexAt(empty).isValid());
    QTest::mouseDClick(f.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, empty);
    EXPECT_TRUE(f.Panel1->isHidden()) << "nothing has had the focus yet";

    FormFixture::clickItem(f.ListView1, 2);
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, empty);
    QTest::mouseDClick(f.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, empty);
    EXPECT_TRUE(f.Panel1->isVisible());
    EXPECT_EQ(f.DirectoryListBox1.directory(), "F:\\");
}

TEST_F(Form1Test, NavigationThroughDirectoriesAndTheButtonsState)
{
    openDrive(0);
    TForm1& f = *fx.form;
    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[PICS]"));
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\PICS");
    EXPECT_EQ(fx.browserCaptions(), (QStringList{"[..]", "[.]", "[DEEP]", "PHOTO.GIF"}));
    EXPECT_EQ(f.ListView2Items->item(3).imageIndex, 3);
    EXPECT_TRUE(f.SpeedButton1->isEnabled());
    EXPECT_TRUE(f.SpeedButton2->isEnabled());

    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[DEEP]"));
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\PICS\\DEEP");
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\PICS");
    EXPECT_TRUE(f.SpeedButton1->isEnabled());

    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[DEEP]"));
    QTest::mouseClick(f.SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");
    EXPECT_EQ(fx.browserCaptions().size(), 5);
    EXPECT_FALSE(f.SpeedButton1->isEnabled());
    EXPECT_FALSE(f.SpeedButton2->isEnabled());
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join('|').toStdString();
}

TEST_F(Form1Test, DoubleClicksOnFilesDotAndParentEntries)
{
    openDrive(0);
    TForm1& f = *fx.form;
    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("README.TXT"));
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");

    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[EMPTY]"));
    EXPECT_EQ(fx.browserCaptions(), (QStringList{"[..]", "[.]"}));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("2 elementi, 0 bytes totali"));
    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[.]"));
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\EMPTY");
    EXPECT_EQ(fx.browserCaptions().size(), 2);
    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[..]"));
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");

    // Empty space of the list acts on the focused item.
    FormFixture::clickItem(f.ListView2, fx.browserRow("[PICS]"));
    const QPoint empty(f.ListView2->viewport()->width() - 3, f.ListView2->viewport()->height() - 3);
    ASSERT_FALSE(f.ListView2->indexAt(empty).isValid());
    QTest::mouseDClick(f.ListView2->viewport(), Qt::LeftButton, Qt::NoModifier, empty);
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\PICS");
}

TEST_F(Form1Test, InfoToggleHidesAndListsIconFiles)
{
    openDrive(0);
    TForm1& f = *fx.form;
    QTest::mouseClick(f.SpeedButton10, Qt::LeftButton);
    EXPECT_EQ(f.SpeedButton10->tag, 1);
    EXPECT_EQ(f.SpeedButton10->text(), QStringLiteral("Mostra .info"));
    EXPECT_EQ(fx.browserCaptions(),
        (QStringList{"[EMPTY]", "[PICS]", "drawer.info", "GAME.INFO", "GAME.LHA", "GAME.README", "README.TXT"}));
    EXPECT_EQ(f.ListView2Items->item(fx.browserRow("GAME.INFO")).imageIndex, 1);
    EXPECT_EQ(f.Label8->text(), QStringLiteral("7 elementi, 1591 bytes totali"));

    QTest::mouseClick(f.SpeedButton10, Qt::LeftButton);
    EXPECT_EQ(f.SpeedButton10->tag, 0);
    EXPECT_EQ(f.SpeedButton10->text(), QStringLiteral("Nascondi .info"));
    EXPECT_EQ(fx.browserCaptions().size(), 5);
}

TEST_F(Form1Test, ClickingAFileShowsItsSize)
{
    openDrive(0);
    TForm1& f = *fx.form;
    FormFixture::clickItem(f.ListView2, fx.browserRow("[PICS]"));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("5 elementi, 1561 bytes totali"));
    FormFixture::clickItem(f.ListView2, fx.browserRow("README.TXT"));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("1234 bytes"));
    FormFixture::clickItem(f.ListView2, fx.browserRow("[EMPTY]"));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("1234 bytes"));

    // Empty space deselects but keeps the focused item; the status line stays.
    FormFixture::clickItem(f.ListView2, fx.browserRow("GAME.LHA"));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("300 bytes"));
    const QPoint empty(f.ListView2->viewport()->width() - 3, f.ListView2->viewport()->height() - 3);
    ASSERT_FALSE(f.ListView2->indexAt(empty).isValid());
    QTest::mouseClick(f.ListView2->viewport(), Qt::LeftButton, Qt::NoModifier, empty);
    EXPECT_TRUE(f.ListView2->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(f.ListView2->currentIndex().row(), fx.browserRow("GAME.LHA"));
    EXPECT_EQ(f.Label8->text(), QStringLiteral("300 bytes"));
}

TEST_F(Form1Test, LaunchHandsTheFocusedEntryToTheOpenerAsOneArgument)
{
    disc.dir.writeFile("odd name; rm -rf x.txt", "boom");
    openDrive(0);
    TForm1& f = *fx.form;
    QTest::mouseClick(f.SpeedButton5, Qt::LeftButton);
    EXPECT_TRUE(fx.launcher->calls.empty()) << "no focused item yet";

    FormFixture::clickItem(f.ListView2, fx.browserRow("odd name; rm -rf x.txt"));
    QTest::mouseClick(f.SpeedButton5, Qt::LeftButton);
    ASSERT_EQ(fx.launcher->calls.size(), 1u);
    const auto& argv = fx.launcher->calls[0].argv;
    ASSERT_EQ(argv.size(), 2u);
    EXPECT_EQ(argv[0], "xdg-open");
    EXPECT_EQ(argv[1], disc.root() + "/odd name; rm -rf x.txt");
    EXPECT_EQ(fx.launcher->calls[0].workingDirectory, disc.root());
}

TEST_F(Form1Test, EmptyDriveShowsTheErrorAndLeavesTheBrowserAsItWas)
{
    openDrive(0);
    TForm1& f = *fx.form;
    FormFixture::clickItem(f.ListView2, fx.browserRow("README.TXT"));
    const QStringList before = fx.browserCaptions();
    const QString status = f.Label8->text();
    const QRect geometry = f.Panel1->geometry();

    FormFixture::doubleClickItem(f.ListView1, 1);
    EXPECT_EQ(fx.errors, QStringList{QStringLiteral("I/O error 21.")});
    EXPECT_EQ(fx.browserCaptions(), before);
    EXPECT_EQ(f.Label8->text(), status);
    EXPECT_EQ(f.Panel1->geometry(), geometry);
    EXPECT_TRUE(f.Panel1->isVisible());
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");

    // The program goes on: the next double-click works.
    FormFixture::doubleClickItem(f.ListView1, 2);
    EXPECT_EQ(f.DirectoryListBox1.directory(), "F:\\");
    EXPECT_EQ(fx.errors.size(), 1);
}

TEST_F(Form1Test, EmptyDriveBeforeAnyOpeningLeavesTheBrowserHidden)
{
    openDrive(1);
    EXPECT_EQ(fx.errors, QStringList{QStringLiteral("I/O error 21.")});
    EXPECT_TRUE(fx.form->Panel1->isHidden());
}

TEST_F(Form1Test, VanishedDirectoryReportsAndKeepsTheListing)
{
    openDrive(0);
    TForm1& f = *fx.form;
    const QStringList before = fx.browserCaptions();
    std::filesystem::remove_all(disc.dir.path() / "PICS");
    FormFixture::doubleClickItem(f.ListView2, fx.browserRow("[PICS]"));
    ASSERT_EQ(fx.errors.size(), 1);
    EXPECT_EQ(fx.errors[0], QStringLiteral("File not found."));
    EXPECT_EQ(fx.browserCaptions(), before);
}

// Notes, for each entry read, whether the busy cursor was showing.
class CursorWatchingPlatform : public LinuxPlatform {
public:
    using LinuxPlatform::LinuxPlatform;
    mutable std::vector<bool> busyAfterEntry;

    void readDirectory(const std::string& path, const std::function<void(const FileEntry&)>& onEntry) const override
    {
        busyAfterEntry.clear();
        LinuxPlatform::readDirectory(path, [&](const FileEntry& entry) {
            onEntry(entry);
            const QCursor* cursor = QApplication::overrideCursor();
            busyAfterEntry.push_back(cursor && cursor->shape() == Qt::WaitCursor);
        });
    }
};

TEST(Form1Busy, BusyCursorFromTheHundredthEntryUntilTheReadingEnds)
{
    Disc disc;
    for (int i = 0; i < 150; ++i)
        disc.dir.writeFile("EMPTY/F" + std::to_string(1000 + i) + ".TXT", "t");
    FormFixture fx(
        {makeDrive('D', DriveCdRom, disc.root(), "DISC")}, &FormFixture::makePlatform<CursorWatchingPlatform>);
    fx.showForm();
    FormFixture::doubleClickItem(fx.form->ListView1, 0);
    FormFixture::doubleClickItem(fx.form->ListView2, fx.browserRow("[EMPTY]"));
    ASSERT_EQ(fx.browserCaptions().size(), 152);
    const auto& busy = static_cast<CursorWatchingPlatform&>(*fx.platform).busyAfterEntry;
    ASSERT_EQ(busy.size(), 152u);
    EXPECT_FALSE(busy[98]);
    EXPECT_TRUE(busy[99]);
    EXPECT_TRUE(busy[151]);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Form1Test, ManyEntriesRestoreTheCursorAfterReading)
{
    for (int i = 0; i < 150; ++i)
        disc.dir.writeFile("EMPTY/F" + std::to_string(1000 + i) + ".TXT", "t");
    openDrive(0);
    FormFixture::doubleClickItem(fx.form->ListView2, fx.browserRow("[EMPTY]"));
    EXPECT_EQ(fx.browserCaptions().size(), 152);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
