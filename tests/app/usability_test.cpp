// SPDX-License-Identifier: GPL-3.0-or-later
// What a new user met (issue 14): a new listing starts at its top, long names can
// be read, the parent button works from a vanished folder, the logo shows whole
// and the top bar's title is bold.
#include "app/icon_item_delegate.h"
#include "app/program_fonts.h"
#include "form_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QScrollBar>
#include <QToolTip>

#include <filesystem>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

const char kLongName[] = "AA_UN_NOME_DI_ARCHIVIO_MOLTO_LUNGO_CHE_NON_STA_IN_DUE_RIGHE_DELLA_FINESTRA.LHA";

// A disc with a drawer of 200 entries (far more than the window shows), a long
// name, and a nested drawer.
class Disc {
public:
    Disc()
    {
        for (int i = 0; i < 200; ++i)
            dir.writeFile("MANY/FILE" + std::to_string(1000 + i) + ".LHA", "x");
        dir.writeFile("MANY/SUB/NOTE.TXT", "note");
        dir.writeFile(std::string("LONG/") + kLongName, "y");
        dir.writeFile("LONG/A.TXT", "a");
        for (int i = 0; i < 10; ++i)
            dir.writeFile("LONG/B" + std::to_string(i) + ".TXT", "b");
        dir.writeFile("GONE/INNER/X.TXT", "x");
    }
    std::string root() const { return dir.path().string(); }
    TempDir dir;
};

class Usability : public ::testing::Test {
protected:
    Disc disc;
    FormFixture fx{{makeDrive('D', DriveCdRom, disc.root(), "COVER")}};
    TForm1& f = *fx.form;

    void SetUp() override
    {
        fx.showForm();
        FormFixture::doubleClickItem(f.ListView1, 0);
        ASSERT_FALSE(f.Panel1->isHidden());
        f.Panel1->setBounds({200, 88, 393, 281});
        QApplication::processEvents();
    }

    void enter(const char* caption)
    {
        const int row = fx.browserRow(QString::fromLatin1(caption));
        ASSERT_GE(row, 0) << caption;
        FormFixture::doubleClickItem(f.ListView2, row);
        QApplication::processEvents();
    }

    void scrollDown()
    {
        f.ListView2->doItemsLayout();
        QScrollBar* bar = f.ListView2->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 0);
        bar->setValue(bar->maximum());
        ASSERT_GT(bar->value(), 0);
    }

    int scrollOffset()
    {
        f.ListView2->doItemsLayout();
        QApplication::processEvents();
        return f.ListView2->verticalScrollBar()->value();
    }
};

// --- A new listing starts at the top -------------------------------------------

TEST_F(Usability, EveryKindOfNavigationStartsTheListAtItsTop)
{
    enter("[MANY]");
    ASSERT_EQ(fx.browserCaptions().size(), 203);

    // Into a drawer from the bottom of a long list.
    scrollDown();
    enter("[SUB]");
    EXPECT_EQ(scrollOffset(), 0);

    // Parent, back into the long list.
    f.SpeedButton1->click();
    EXPECT_EQ(scrollOffset(), 0);

    // Root from the bottom of the long list.
    scrollDown();
    f.SpeedButton2->click();
    QApplication::processEvents();
    EXPECT_EQ(scrollOffset(), 0);

    // Parent from the bottom of the long list.
    enter("[MANY]");
    scrollDown();
    f.SpeedButton1->click();
    EXPECT_EQ(scrollOffset(), 0);
}

// --- Long names -----------------------------------------------------------------

TEST_F(Usability, TheFocusedItemShowsItsWholeCaptionOverTheItemsBelow)
{
    enter("[LONG]");
    const int row = fx.browserRow(QString::fromLatin1(kLongName));
    ASSERT_GE(row, 0);
    const QModelIndex index = f.ListView2Items->index(row);
    const QRect cell = f.ListView2->visualRect(index);
    const QFontMetrics metrics(f.ListView2->font());
    const QStringList whole = wrapCaption(QString::fromLatin1(kLongName), f.ListView2->font(), cell.width() - 4, 1000);
    ASSERT_GT(whole.size(), 2) << "the name must need more than two lines";
    EXPECT_EQ(whole.join(QString()), QString::fromLatin1(kLongName));

    // The caption's lines below the icon: rows of ink under the cell, only while focused.
    auto inkRowsBelowCell = [&] {
        const QImage image = f.ListView2->viewport()->grab().toImage();
        int rows = 0;
        for (int y = cell.bottom() + 1; y < std::min(image.height(), cell.bottom() + 1 + 3 * metrics.height()); ++y) {
            bool ink = false;
            for (int x = cell.left() + 2; x < cell.right() - 2 && !ink; ++x)
                ink = qGray(image.pixel(x, y)) < 80;
            rows += ink;
        }
        return rows;
    };
    f.ListView2->setFocus();
    f.ListView2->setCurrentIndex(index);
    f.ListView2->selectionModel()->clearSelection();
    QApplication::processEvents();
    if (!f.ListView2->hasFocus())
        GTEST_SKIP() << "this platform gives no focus to an inactive window";
    const int focusedRows = inkRowsBelowCell();
    // The whole caption: the lines beyond the cell's two hold ink.
    EXPECT_GE(focusedRows, metrics.height() / 2);

    f.ListView2->setCurrentIndex(f.ListView2Items->index(fx.browserRow(QStringLiteral("A.TXT"))));
    QApplication::processEvents();
    // Unfocused, the long caption ends in "..." inside its cell again; the item
    // below it (if any) shows its own caption, which ink under the cell may be.
    const QStringList shortLines
        = wrapCaption(QString::fromLatin1(kLongName), f.ListView2->font(), cell.width() - 4, 2);
    ASSERT_EQ(shortLines.size(), 2);
    EXPECT_TRUE(shortLines.last().endsWith(QChar(0x2026)) || shortLines.last().endsWith(QStringLiteral("...")));
}

TEST_F(Usability, EveryItemsTooltipGivesItsWholeName)
{
    enter("[LONG]");
    const int row = fx.browserRow(QString::fromLatin1(kLongName));
    const QModelIndex index = f.ListView2Items->index(row);
    EXPECT_EQ(index.data(Qt::ToolTipRole).toString(), QString::fromLatin1(kLongName));
    const QPoint at = f.ListView2->visualRect(index).center();
    QHelpEvent help(QEvent::ToolTip, at, f.ListView2->viewport()->mapToGlobal(at));
    QApplication::sendEvent(f.ListView2->viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QString::fromLatin1(kLongName));
    QToolTip::hideText();
}

// --- Parent from a vanished folder ------------------------------------------------

TEST_F(Usability, TheParentButtonWorksFromAFolderThatHasVanished)
{
    disc.dir.writeFile("GONE/KEPT.TXT", "k");
    enter("[GONE]");
    enter("[INNER]");
    ASSERT_EQ(f.DirectoryListBox1.directory(), "D:\\GONE\\INNER");
    ASSERT_TRUE(f.SpeedButton1->isEnabled());
    // Removed from outside the program while it is browsed.
    fs::remove_all(disc.dir.path() / "GONE" / "INNER");
    f.SpeedButton1->click();
    QApplication::processEvents();
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join(" | ").toStdString();
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\GONE");
    EXPECT_GE(fx.browserRow(QStringLiteral("KEPT.TXT")), 0);
    EXPECT_LT(fx.browserRow(QStringLiteral("[INNER]")), 0);

    // Both gone: the parent of the parent opens too.
    fs::create_directories(disc.dir.path() / "GONE" / "INNER");
    f.SpeedButton1->click();
    enter("[GONE]");
    enter("[INNER]");
    ASSERT_EQ(f.DirectoryListBox1.directory(), "D:\\GONE\\INNER");
    fs::remove_all(disc.dir.path() / "GONE");
    fx.errors.clear();
    f.DirectoryListBox1.setDirectory("..\\..");
    f.Upd();
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join(" | ").toStdString();
    EXPECT_EQ(f.DirectoryListBox1.directory(), "D:\\");
}

// --- The logo -------------------------------------------------------------------------

TEST_F(Usability, TheLogoLabelsKeepTheirBoxesAndShowTheirCaptionsWhole)
{
    struct Box {
        QLabel* label;
        QRect geometry;
    };
    for (const Box& box : {Box{f.Label11, {416, 124, 59, 32}}, Box{f.Label12, {480, 120, 46, 37}},
             Box{f.Label10, {256, 56, 211, 75}}, Box{f.Label13, {256, 48, 73, 24}}}) {
        const std::string name = box.label->objectName().toStdString();
        EXPECT_EQ(box.label->geometry(), box.geometry) << name;
        // The caption as drawn fits in the box.
        const QFontMetrics metrics(box.label->font());
        EXPECT_LE(metrics.horizontalAdvance(box.label->text()), box.geometry.width()) << name;
        EXPECT_LE(metrics.height(), box.geometry.height() + 2) << name;
    }
    // "KOVA" shows whole: its last letter's ink lies left of the "CD" label.
    const QImage kova = f.Label11->grab().toImage();
    int lastInk = -1;
    for (int x = 0; x < kova.width(); ++x)
        for (int y = 0; y < kova.height(); ++y)
            if (kova.pixelColor(x, y) != QColor(0xC0, 0xC0, 0xC0))
                lastInk = std::max(lastInk, x);
    EXPECT_GT(lastInk, 40);
    EXPECT_LT(f.Label11->x() + lastInk, f.Label12->x());
}

// --- The top bar's title ----------------------------------------------------------------

// The most common length of a horizontal run of dark pixels: the stroke width.
int strokeWidth(const QImage& image)
{
    std::map<int, int> runs;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x <= image.width(); ++x) {
            const bool dark = x < image.width() && qGray(image.pixel(x, y)) < 128;
            if (dark) {
                ++run;
            } else if (run > 0) {
                ++runs[run];
                run = 0;
            }
        }
    }
    int best = 0;
    int count = 0;
    for (const auto& [width, n] : runs)
        if (n > count)
            best = width, count = n;
    return best;
}

TEST_F(Usability, TheTopBarTitleIsDrawnBold)
{
    EXPECT_TRUE(f.Label1->font().bold());
    QLabel regular(f.Label1->text());
    regular.setFont(windowFont());
    regular.setGeometry(f.Label1->geometry());
    regular.setPalette(f.Label1->palette());
    regular.setAlignment(f.Label1->alignment());
    const QImage bold = f.Label1->grab().toImage();
    const QImage plain = regular.grab().toImage();
    EXPECT_EQ(strokeWidth(plain), 1);
    EXPECT_GE(strokeWidth(bold), 2);
}

}  // namespace
