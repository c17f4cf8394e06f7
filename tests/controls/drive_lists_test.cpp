// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/art/drive_pictures.h"
#include "controls/classic_scheme.h"
#include "controls/directory_list_box.h"
#include "controls/drive_combo_box.h"
#include "controls/painting.h"
#include "platform/io_error.h"
#include "platform/linux_platform.h"
#include "platform/run_program.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <memory>

using namespace iradudo;
using namespace iradudo::test;

namespace {

// A drive table of the test's own: an empty floppy, a fixed drive holding the
// folder tree, a CD-ROM, a network drive, a RAM disk and a drive of unknown type.
class Drives {
public:
    Drives()
    {
        fixed.makeDir("A/B/Zeta");
        fixed.makeDir("A/B/yankee");
        fixed.makeDir("A/B/X-ray");
        fixed.makeDir("A/B/.hidden");
        fixed.writeFile("A/B/file.txt", "not a folder");
        fixed.makeDir("A/Other");
        fixed.makeDir("Top");
        fixed.makeDir("alpha");
        platform = std::make_unique<LinuxPlatform>(
            DriveTable({makeDrive('A', DriveRemovable, std::string()),
                makeDrive('C', DriveFixed, fixed.path().string(), "SYSTEM"),
                makeDrive('D', DriveCdRom, disc.path().string(), "Cover CD"),
                makeDrive('N', DriveRemote, share.path().string(), "NET", "//Server/Share"),
                makeDrive('R', DriveRamDisk, ram.path().string(), "RamDisk"),
                makeDrive('U', DriveUnknown, other.path().string(), "ODD")}),
            std::make_shared<RecordingLauncher>());
    }

    WorkingDirectoryGuard cwdGuard;
    TempDir fixed, disc, share, ram, other;
    std::unique_ptr<LinuxPlatform> platform;
};

QFont testFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}

std::vector<std::string> names(const TZTRDirectoryListBox& list)
{
    std::vector<std::string> result;
    for (const auto& item : list.items())
        result.push_back(item.name);
    return result;
}

// The list shown in a window of its own, as the folder-selection window shows it.
template <class Control>
std::unique_ptr<Control> shown(Platform& platform)
{
    auto control = std::make_unique<Control>(platform);
    control->setFont(testFont());
    control->setGeometry(16, 56, 281, 89);
    control->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    return control;
}

TEST(DirectoryListBox, ReadsNothingUntilShown)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A\\B");
    TZTRDirectoryListBox list(*d.platform);
    EXPECT_EQ(list.width(), 145);
    EXPECT_FALSE(list.built());
    EXPECT_TRUE(list.items().empty());
    EXPECT_EQ(list.directory(), "C:\\A\\B");
    // The folder that was current at construction is the one shown later.
    d.platform->setCurrentDirectory("C:\\Top");
    list.show();
    EXPECT_TRUE(list.built());
    EXPECT_EQ(list.directory(), "C:\\A\\B");
}

TEST(DirectoryListBox, ItemsPicturesIndentsAndSelectionBelowTheRoot)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A\\B");
    auto list = shown<TZTRDirectoryListBox>(*d.platform);
    EXPECT_EQ(list->itemHeight(), 17);
    EXPECT_EQ(names(*list), (std::vector<std::string>{"C:\\", "A", "B", "X-ray", "yankee", "Zeta"}));
    const auto& items = list->items();
    // Three picture objects: open and current share an image, not an object.
    EXPECT_NE(list->openPicture(), list->currentPicture());
    EXPECT_EQ(*list->openPicture(), *list->currentPicture());
    EXPECT_NE(*list->closedPicture(), *list->openPicture());
    EXPECT_EQ(items[0].picture, list->openPicture());
    EXPECT_EQ(items[1].picture, list->openPicture());
    EXPECT_EQ(items[2].picture, list->currentPicture());
    for (std::size_t i = 3; i < items.size(); ++i)
        EXPECT_EQ(items[i].picture, list->closedPicture());
    const int indents[] = {2, 6, 10, 14, 14, 14};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(list->itemIndent(i), indents[i]) << i;
    EXPECT_EQ(list->currentRow(), 2);
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->row(list->selectedItems().first()), 2);
    EXPECT_EQ(list->visualItemRect(list->item(1)).height(), 17);
}

TEST(DirectoryListBox, ItemsAtTheRoot)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\");
    auto list = shown<TZTRDirectoryListBox>(*d.platform);
    EXPECT_EQ(names(*list), (std::vector<std::string>{"C:\\", "A", "alpha", "Top"}));
    EXPECT_EQ(list->items()[0].picture, list->currentPicture());
    EXPECT_EQ(list->itemIndent(0), 2);
    EXPECT_EQ(list->itemIndent(1), 10);
    EXPECT_EQ(list->currentRow(), 0);
}

TEST(DirectoryListBox, DrawsPictureAndTextAtTheirPlaces)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A\\B");
    auto list = shown<TZTRDirectoryListBox>(*d.platform);
    const QSize size(277, 17);
    const QImage closed = *list->closedPicture();
    const QRgb maroon = closed.pixel(0, 15);
    // A subfolder (indent 14), not selected: the picture at x 14, top 0, its maroon
    // ground drawn in the list's colour; nothing between the picture and the text.
    const QImage item = list->renderItem(3, size, false, false);
    const QRgb window = classic::clWindow.rgb();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb p = closed.pixel(x, y);
            EXPECT_EQ(item.pixel(14 + x, y), p == maroon ? window : p) << x << "," << y;
        }
    for (int x = 0; x < 14; ++x)
        for (int y = 0; y < 17; ++y)
            EXPECT_EQ(item.pixel(x, y), window);
    for (int y = 0; y < 17; ++y)
        EXPECT_EQ(item.pixel(14 + 16 + 2, y), window) << "the text starts at indent + 20";
    int textPixels = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 34; x < 80; ++x)
            textPixels += item.pixel(x, y) != window;
    EXPECT_GT(textPixels, 10);

    // The selected item: highlight ground, picture at indent 10, text in highlight text.
    const QImage selected = list->renderItem(2, size, true, false);
    const QRgb highlight = classic::clHighlight.rgb();
    EXPECT_EQ(selected.pixel(0, 0), highlight);
    EXPECT_EQ(selected.pixel(276, 16), highlight);
    const QImage open = *list->currentPicture();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb p = open.pixel(x, y);
            EXPECT_EQ(selected.pixel(10 + x, y), p == maroon ? highlight : p) << x << "," << y;
        }

    // The focus rectangle inverts every other pixel of the item's outline.
    const QImage focused = list->renderItem(2, size, true, true);
    EXPECT_EQ(focused.pixel(0, 0), highlight ^ 0x00FFFFFFu);
    EXPECT_EQ(focused.pixel(1, 0), highlight);
    EXPECT_EQ(focused.pixel(100, 16), selected.pixel(100, 16) ^ 0x00FFFFFFu);
    EXPECT_EQ(focused.pixel(100, 8), selected.pixel(100, 8));
}

TEST(DirectoryListBox, OpeningEachKindOfItem)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A\\B");
    auto list = shown<TZTRDirectoryListBox>(*d.platform);
    const std::string fixedRoot = std::filesystem::canonical(d.fixed.path()).string();

    // The current item: nothing changes.
    list->setCurrentRow(2);
    list->openSelected();
    EXPECT_EQ(list->directory(), "C:\\A\\B");
    EXPECT_EQ(list->currentRow(), 2);

    // A subfolder, by double click.
    const QPoint onXray = list->visualItemRect(list->item(3)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onXray);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onXray);
    EXPECT_EQ(list->directory(), "C:\\A\\B\\X-ray");
    EXPECT_EQ(d.platform->currentDirectory(), "C:\\A\\B\\X-ray");
    EXPECT_EQ(workingDirectory(), fixedRoot + "/A/B/X-ray");
    EXPECT_EQ(names(*list), (std::vector<std::string>{"C:\\", "A", "B", "X-ray"}));
    EXPECT_EQ(list->currentRow(), 3);

    // A folder on the path, by Enter.
    list->setCurrentRow(1);
    QTest::keyClick(list.get(), Qt::Key_Return);
    EXPECT_EQ(list->directory(), "C:\\A");
    EXPECT_EQ(workingDirectory(), fixedRoot + "/A");
    EXPECT_EQ(names(*list), (std::vector<std::string>{"C:\\", "A", "B", "Other"}));

    // The root.
    list->setCurrentRow(0);
    list->openSelected();
    EXPECT_EQ(list->directory(), "C:\\");
    EXPECT_EQ(workingDirectory(), fixedRoot);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(list->items()[0].picture, list->currentPicture());
}

TEST(DirectoryListBox, AFolderRemovedBeforeItIsOpenedLeavesTheListAsItWas)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A\\B");
    auto list = shown<TZTRDirectoryListBox>(*d.platform);
    const std::vector<std::string> before = names(*list);
    const std::string cwd = workingDirectory();
    std::filesystem::remove(d.fixed.path() / "A/B/Zeta");
    list->setCurrentRow(5);
    const int code = errorCodeOf([&] { list->openSelected(); });
    EXPECT_TRUE(code == ErrorFileNotFound || code == ErrorPathNotFound) << code;
    EXPECT_EQ(names(*list), before);
    EXPECT_EQ(list->directory(), "C:\\A\\B");
    EXPECT_EQ(d.platform->currentDirectory(), "C:\\A\\B");
    EXPECT_EQ(workingDirectory(), cwd);
    EXPECT_EQ(list->currentRow(), 5);
}

// An unmounted floppy image as A:, its folders made by mmd, entered by the list.
TEST(DirectoryListBox, EntersTheFoldersOfAnUnmountedFloppy)
{
    if (!programExists("mformat"))
        GTEST_SKIP() << "mtools is not installed";
    Drives d;
    const std::string image = (d.other.path() / "a.img").string();
    const std::vector<std::string> environment = {"MTOOLSRC=/dev/null", "LC_ALL=C.UTF-8"};
    ASSERT_EQ(runProgram({"mformat", "-C", "-f", "1440", "-i", image, "::"}, environment).exitCode, 0);
    ASSERT_EQ(
        runProgram({"mmd", "-i", image, "::/Giochi", "::/Giochi/Vecchi", "::/Giochi/Nuovi", "::/Zeta"}, environment)
            .exitCode,
        0);
    Drive a = makeDrive('A', DriveRemovable, std::string());
    a.floppy = image;
    LinuxPlatform platform(
        DriveTable({a, makeDrive('C', DriveFixed, d.fixed.path().string())}), std::make_shared<RecordingLauncher>());
    platform.setCurrentDirectory("A:\\");
    auto list = shown<TZTRDirectoryListBox>(platform);
    EXPECT_EQ(names(*list), (std::vector<std::string>{"A:\\", "Giochi", "Zeta"}));
    list->setCurrentRow(1);
    list->openSelected();
    EXPECT_EQ(list->directory(), "A:\\Giochi");
    EXPECT_EQ(names(*list), (std::vector<std::string>{"A:\\", "Giochi", "Nuovi", "Vecchi"}));
    list->setCurrentRow(3);
    list->openSelected();
    EXPECT_EQ(platform.currentDirectory(), "A:\\Giochi\\Vecchi");
    EXPECT_EQ(names(*list), (std::vector<std::string>{"A:\\", "Giochi", "Vecchi"}));
}

TEST(DriveComboBox, ListsTheDrivesInLowerCaseWithTheirPictures)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A");
    TZTRDriveComboBox box(*d.platform);
    box.setFont(testFont());
    EXPECT_FALSE(box.built());
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.drive(), 'C');
    box.setGeometry(16, 24, 281, 22);
    box.show();
    ASSERT_TRUE(box.built());
    EXPECT_EQ(box.itemHeight(), 16);

    std::vector<std::string> texts;
    for (const auto& item : box.items())
        texts.push_back(item.text);
    EXPECT_EQ(
        texts, (std::vector<std::string>{"a:", "c: [system]", "d: [cover cd]", "n: //server/share", "r: [ramdisk]"}));
    ASSERT_EQ(box.count(), 5);
    EXPECT_EQ(box.itemText(1), QStringLiteral("c: [system]"));
    EXPECT_EQ(box.currentIndex(), 1);

    const auto& items = box.items();
    EXPECT_EQ(*items[0].picture, art::drivePicture(art::DrivePicture::Floppy));
    EXPECT_EQ(*items[1].picture, art::drivePicture(art::DrivePicture::Hard));
    EXPECT_EQ(*items[2].picture, art::drivePicture(art::DrivePicture::CdRom));
    EXPECT_EQ(*items[3].picture, art::drivePicture(art::DrivePicture::Network));
    EXPECT_EQ(*items[4].picture, art::drivePicture(art::DrivePicture::Ram));
    EXPECT_EQ(items[4].picture->size(), QSize(16, 11));
}

TEST(DriveComboBox, TheRamPictureIsCentredInItsItem)
{
    Drives d;
    TZTRDriveComboBox box(*d.platform);
    box.setFont(testFont());
    box.show();
    const QImage ram = art::drivePicture(art::DrivePicture::Ram);
    const QRgb blue = ram.pixel(0, 10);
    const QRgb window = classic::clWindow.rgb();
    const QImage item = box.renderItem(4, QSize(277, 16), false, false);
    ASSERT_EQ(item.size(), QSize(277, 16));
    // (0 + 16 - 11) div 2 = 2 rows above the picture, 3 below.
    for (int x = 0; x < 18; ++x)
        for (int y : {0, 1, 13, 14, 15})
            EXPECT_EQ(item.pixel(x, y), window) << x << "," << y;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb p = ram.pixel(x, y);
            EXPECT_EQ(item.pixel(2 + x, 2 + y), p == blue ? window : p) << x << "," << y;
        }
    // The text starts at picture width + 6 = 22.
    for (int y = 0; y < 16; ++y)
        for (int x = 18; x < 22; ++x)
            EXPECT_EQ(item.pixel(x, y), window) << x << "," << y;
    int textPixels = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 22; x < 90; ++x)
            textPixels += item.pixel(x, y) != window;
    EXPECT_GT(textPixels, 10);
}

TEST(DriveComboBox, ChoosingADriveChangesNothingElse)
{
    Drives d;
    d.platform->setCurrentDirectory("C:\\A\\B");
    auto list = shown<TZTRDirectoryListBox>(*d.platform);
    TZTRDriveComboBox box(*d.platform);
    box.show();
    const std::string cwd = workingDirectory();
    box.setCurrentIndex(2);
    emit box.activated(2);
    EXPECT_EQ(box.drive(), 'D');
    EXPECT_EQ(box.currentIndex(), 2);
    EXPECT_EQ(d.platform->currentDirectory(), "C:\\A\\B");
    EXPECT_EQ(workingDirectory(), cwd);
    EXPECT_EQ(list->directory(), "C:\\A\\B");
    EXPECT_EQ(names(*list).size(), 6u);
    box.setDrive('a');
    EXPECT_EQ(box.drive(), 'A');
    EXPECT_EQ(box.currentIndex(), 0);
}

TEST(Painting, FocusRectangleTwiceRemovesIt)
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(0xC0, 0xC0, 0xC0));
    image.setPixel(3, 3, qRgb(1, 2, 3));
    const QImage before = image;
    drawFocusRect(image, QRect(QPoint(3, 3), QPoint(14, 6)));
    EXPECT_EQ(image.pixel(3, 3), qRgb(254, 253, 252));
    EXPECT_EQ(image.pixel(4, 3), before.pixel(4, 3));
    EXPECT_EQ(image.pixel(5, 3), before.pixel(5, 3) ^ 0x00FFFFFFu);
    EXPECT_EQ(image.pixel(14, 6), before.pixel(14, 6) ^ 0x00FFFFFFu);
    EXPECT_EQ(image.pixel(8, 5), before.pixel(8, 5));
    drawFocusRect(image, QRect(QPoint(3, 3), QPoint(14, 6)));
    EXPECT_EQ(image, before);
}

}  // namespace
