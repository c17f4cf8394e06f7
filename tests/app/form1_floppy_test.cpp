// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/classic_scheme.h"
#include "form_fixture.h"
#include "platform/run_program.h"

#include <gtest/gtest.h>

#include <QApplication>

using namespace iradudo;
using namespace iradudo::test;

namespace {

// Keeps the command lines handed to the platform instead of running them.
class CommandRecordingPlatform : public LinuxPlatform {
public:
    using LinuxPlatform::LinuxPlatform;

    bool runCommandLine(const std::string& commandLine) override
    {
        commandLines.push_back(commandLine);
        return true;
    }

    std::vector<std::string> commandLines;
};

int stackIndex(const QWidget* widget)
{
    return static_cast<int>(widget->parentWidget()->children().indexOf(const_cast<QWidget*>(widget)));
}

QRect inWindow(const QWidget* widget, const QWidget* window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

class Form1FloppyTest : public ::testing::Test {
protected:
    Form1FloppyTest()
    {
        fixed.makeDir("GAMES/AMIGA");
        fixed.makeDir("TOOLS");
    }

    TempDir fixed;
    TempDir disc;
    FormFixture fx{
        {makeDrive('A', DriveRemovable, std::string()), makeDrive('C', DriveFixed, fixed.path().string(), "SYSTEM"),
            makeDrive('D', DriveCdRom, disc.path().string(), "COVER")},
        &FormFixture::makePlatform<CommandRecordingPlatform>};

    std::vector<std::string>& commandLines()
    {
        return static_cast<CommandRecordingPlatform&>(*fx.platform).commandLines;
    }

    void clickAmiga(TAmigaButton* button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
};

TEST_F(Form1FloppyTest, WindowContentsStandAtTheirPlaces)
{
    TForm1& f = *fx.form;
    EXPECT_EQ(f.Panel13->titleLabel->text(), QStringLiteral("  Opzioni formattazione"));
    EXPECT_EQ(f.Panel21->titleLabel->text(), QStringLiteral("  Selezione cartella"));
    struct Place {
        QWidget* widget;
        QWidget* window;
        QRect rect;
    };
    const Place places[] = {
        {f.SpeedButton8, f.Panel13, {8, 32, 257, 25}},
        {f.Label9, f.Panel13, {8, 72, 35, 13}},
        {f.Panel15, f.Panel13, {64, 64, 201, 25}},
        {f.ListBox1, f.Panel13, {66, 66, 197, 21}},
        {f.AmigaButton1, f.Panel13, {8, 96, 81, 25}},
        {f.AmigaButton2, f.Panel13, {96, 96, 113, 25}},
        {f.ZTRDriveComboBox1, f.Panel21, {16, 24, 281, 22}},
        {f.ZTRDirectoryListBox1, f.Panel21, {16, 56, 281, 89}},
        {f.AmigaButton3, f.Panel21, {16, 152, 73, 33}},
        {f.AmigaButton4, f.Panel21, {224, 152, 73, 33}},
    };
    for (const Place& p : places)
        EXPECT_EQ(inWindow(p.widget, p.window), p.rect) << p.widget->objectName().toStdString();
    EXPECT_EQ(f.ListBox1->parentWidget(), f.Panel15);

    struct Button {
        TAmigaButton* button;
        const char* caption;
        QColor face;
        bool clickHandler;
    };
    const Button buttons[] = {
        {f.AmigaButton1, "Formatta", kSilver, true},
        {f.AmigaButton2, "Formatta veloce", kSilver, true},
        {f.AmigaButton3, "OK", classic::clBtnFace, false},
        {f.AmigaButton4, "Cancella", classic::clBtnFace, false},
    };
    for (const Button& b : buttons) {
        EXPECT_EQ(b.button->caption(), QString::fromLatin1(b.caption));
        EXPECT_EQ(b.button->color(), b.face) << b.caption;
        EXPECT_EQ(static_cast<bool>(b.button->onClick), b.clickHandler) << b.caption;
        EXPECT_EQ(b.button->bevelOuter, BevelCut::None) << b.caption;
        EXPECT_EQ(b.button->font(), f.font()) << b.caption;
    }
    EXPECT_EQ(f.SpeedButton8->text(), QStringLiteral("720 kb (per Amiga 500-2000-600-1200-3000)"));
    EXPECT_EQ(f.SpeedButton8->tag, 0);
    EXPECT_EQ(f.Label9->text(), QStringLiteral("Unità : "));
    EXPECT_EQ(f.ListBox1->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(f.ListBox1->palette().color(QPalette::Base), kSilver);
    ASSERT_EQ(f.ListBox1->selectedItems().size(), 1);
    EXPECT_EQ(f.ListBox1->selectedItems().first()->text(), QStringLiteral("A:"));

    // The sunken frame: two lowered bevels around the list.
    f.Panel13->show();
    fx.showForm();
    const QImage frame = f.Panel15->grab().toImage();
    EXPECT_EQ(frame.pixel(0, 0), classic::clBtnShadow.rgb());
    EXPECT_EQ(frame.pixel(1, 1), classic::clBtnShadow.rgb());
    EXPECT_EQ(frame.pixel(200, 24), classic::clBtnHighlight.rgb());
    EXPECT_EQ(frame.pixel(199, 23), classic::clBtnHighlight.rgb());
    EXPECT_EQ(f.ListBox1->visualItemRect(f.ListBox1->item(0)).height(), 13);
}

TEST_F(Form1FloppyTest, TheListsReadTheFileSystemWhenTheWindowIsFirstShown)
{
    TForm1& f = *fx.form;
    fx.showForm();
    EXPECT_FALSE(f.ZTRDriveComboBox1->built());
    EXPECT_FALSE(f.ZTRDirectoryListBox1->built());
    const std::string startDirectory = f.ZTRDirectoryListBox1->directory();

    f.ToolButton3->click();
    EXPECT_TRUE(f.Panel21->isVisible());
    EXPECT_TRUE(f.ZTRDriveComboBox1->built());
    EXPECT_TRUE(f.ZTRDirectoryListBox1->built());
    EXPECT_EQ(f.ZTRDirectoryListBox1->directory(), startDirectory);
    EXPECT_EQ(f.ZTRDriveComboBox1->count(), 3);
    EXPECT_EQ(f.ZTRDriveComboBox1->itemText(0), QStringLiteral("a:"));
    EXPECT_EQ(f.ZTRDriveComboBox1->itemText(1), QStringLiteral("c: [system]"));
    EXPECT_EQ(f.ZTRDriveComboBox1->itemText(2), QStringLiteral("d: [cover]"));
    EXPECT_EQ(f.ZTRDriveComboBox1->itemHeight(), 16);
    EXPECT_EQ(f.ZTRDirectoryListBox1->itemHeight(), 17);
}

TEST_F(Form1FloppyTest, OpeningAFolderMovesTheProcessButNotTheBrowser)
{
    TForm1& f = *fx.form;
    fx.platform->setCurrentDirectory("C:\\");
    fx.showForm();
    FormFixture::doubleClickItem(f.ListView1, 0);  // the browser on D:
    ASSERT_EQ(f.DirectoryListBox1.directory(), "D:\\");
    f.ToolButton3->click();

    // Start over from a list made at C:\ for a known tree.
    TZTRDirectoryListBox* list = f.ZTRDirectoryListBox1;
    list->setDirectory("C:\\");
    ASSERT_EQ(list->items().size(), 3u);
    EXPECT_EQ(list->items()[1].name, "GAMES");
    const QPoint onGames = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onGames);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onGames);
    EXPECT_EQ(list->directory(), "C:\\GAMES");
    EXPECT_EQ(fx.platform->currentDirectory(), "C:\\GAMES");
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");
    EXPECT_TRUE(fx.errors.isEmpty());

    // Choosing a drive changes neither the folder list nor the process's directory.
    f.ZTRDriveComboBox1->setCurrentIndex(2);
    emit f.ZTRDriveComboBox1->activated(2);
    EXPECT_EQ(f.ZTRDriveComboBox1->drive(), 'D');
    EXPECT_EQ(list->directory(), "C:\\GAMES");
    EXPECT_EQ(fx.platform->currentDirectory(), "C:\\GAMES");
}

TEST_F(Form1FloppyTest, ToolbarButtonsShowTheirWindowsWithoutRaisingThem)
{
    TForm1& f = *fx.form;
    fx.showForm();
    const int formatIndex = stackIndex(f.Panel13);
    const int folderIndex = stackIndex(f.Panel21);
    const int notebookIndex = stackIndex(f.Notebook1);
    f.ToolButton4->click();
    EXPECT_TRUE(f.Panel13->isVisible());
    EXPECT_EQ(stackIndex(f.Panel13), formatIndex);
    EXPECT_LT(stackIndex(f.Panel13), notebookIndex);
    f.ToolButton4->click();
    EXPECT_TRUE(f.Panel13->isVisible());
    EXPECT_EQ(stackIndex(f.Panel13), formatIndex);
    EXPECT_EQ(f.Panel13->geometry(), QRect(112, 224, 273, 129));

    f.ToolButton3->click();
    EXPECT_TRUE(f.Panel21->isVisible());
    EXPECT_EQ(stackIndex(f.Panel21), folderIndex);
    f.ToolButton3->click();
    EXPECT_EQ(stackIndex(f.Panel21), folderIndex);
    EXPECT_EQ(f.Panel21->geometry(), QRect(176, 168, 321, 201));

    // "OK" and "Cancella" press and release, and nothing else happens.
    const std::string cwd = workingDirectory();
    clickAmiga(f.AmigaButton3);
    clickAmiga(f.AmigaButton4);
    EXPECT_TRUE(f.Panel21->isVisible());
    EXPECT_EQ(workingDirectory(), cwd);
    EXPECT_TRUE(commandLines().empty());
    EXPECT_FALSE(TNewButton::pressedFlag());
}

TEST_F(Form1FloppyTest, DensityToggleRoundTrip)
{
    TForm1& f = *fx.form;
    f.SpeedButton8->click();
    EXPECT_EQ(f.SpeedButton8->tag, 1);
    EXPECT_EQ(f.SpeedButton8->text(), QStringLiteral("1,44 mb (per Amiga 4000 e drive HD)"));
    f.SpeedButton8->click();
    EXPECT_EQ(f.SpeedButton8->tag, 0);
    EXPECT_EQ(f.SpeedButton8->text(), QStringLiteral("720 kb (per Amiga 500-2000-600-1200-3000)"));
}

TEST_F(Form1FloppyTest, TheFourCommandLines)
{
    TForm1& f = *fx.form;
    f.Panel13->show();
    fx.showForm();
    clickAmiga(f.AmigaButton1);
    f.SpeedButton8->click();
    clickAmiga(f.AmigaButton2);
    clickAmiga(f.AmigaButton1);
    f.SpeedButton8->click();
    clickAmiga(f.AmigaButton2);
    EXPECT_EQ(commandLines(),
        (std::vector<std::string>{
            "Format.com A: /F:720", "format.com /Q A: ", "Format.com A: ", "format.com /Q A: /F:720"}));
    EXPECT_TRUE(fx.launcher->calls.empty());
    EXPECT_TRUE(fx.errors.isEmpty());
}

TEST_F(Form1FloppyTest, NoSelectedDriveRunsNothing)
{
    TForm1& f = *fx.form;
    f.Panel13->show();
    fx.showForm();
    f.ListBox1->clearSelection();
    const QImage raised = f.AmigaButton1->shownPixels();
    clickAmiga(f.AmigaButton1);
    clickAmiga(f.AmigaButton2);
    EXPECT_EQ(fx.errors, (QStringList{"List index out of bounds (-1)", "List index out of bounds (-1)"}));
    EXPECT_TRUE(commandLines().empty());
    EXPECT_FALSE(TNewButton::pressedFlag());
    EXPECT_TRUE(f.AmigaButton1->shownPixels() == raised);
}

}  // namespace

namespace {

// "Copia su dischetto" on a real image, read back with mtools' own -i option.
class Form1CopyToFloppyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!programExists("mformat"))
            GTEST_SKIP() << "mtools is not installed";
        image = (floppyDir.path() / "a.img").string();
        ASSERT_EQ(runProgram({"mformat", "-C", "-f", "720", "-i", image, "::"}, {"MTOOLSRC=/dev/null"}).exitCode, 0);
        disc.writeFile("GAME.LHA", "game bytes");
        disc.writeFile("DEMOS/INTRO.LHA", "intro");
        fx.form->floppy = {image, {}};
        fx.showForm();
        FormFixture::doubleClickItem(fx.form->ListView1, 0);  // the browser on D:
    }

    std::string floppyListing() const
    {
        return runProgram({"mdir", "-b", "-i", image, "::"}, {"MTOOLSRC=/dev/null", "LC_ALL=C.UTF-8"}).output;
    }

    TempDir floppyDir;
    TempDir disc;
    std::string image;
    FormFixture fx{
        {makeDrive('A', DriveRemovable, std::string()), makeDrive('D', DriveCdRom, disc.path().string(), "COVER")}};
};

TEST_F(Form1CopyToFloppyTest, CopiesTheFocusedFileAndNothingForADrawer)
{
    TForm1& f = *fx.form;
    QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(floppyListing(), "") << "no focused item: nothing copied";

    FormFixture::clickItem(f.ListView2, fx.browserRow("[DEMOS]"));
    QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(floppyListing(), "");
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join('\n').toStdString();

    FormFixture::clickItem(f.ListView2, fx.browserRow("GAME.LHA"));
    QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(floppyListing(), "::/GAME.LHA\n");
    EXPECT_EQ(runProgram({"mtype", "-i", image, "::GAME.LHA"}, {"MTOOLSRC=/dev/null"}).output, "game bytes");
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join('\n').toStdString();
}

TEST_F(Form1CopyToFloppyTest, AFailedCopyShowsItsCauseInTheErrorBox)
{
    TForm1& f = *fx.form;
    f.floppy = {(floppyDir.path() / "missing.img").string(), {}};
    FormFixture::clickItem(f.ListView2, fx.browserRow("GAME.LHA"));
    QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
    ASSERT_EQ(fx.errors.size(), 1);
    EXPECT_TRUE(fx.errors[0].contains(QStringLiteral("Nessun dischetto"))) << fx.errors[0].toStdString();
    EXPECT_TRUE(fx.errors[0].contains(QStringLiteral("«GAME.LHA»"))) << fx.errors[0].toStdString();
    EXPECT_EQ(floppyListing(), "");
}

}  // namespace
