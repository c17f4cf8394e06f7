// SPDX-License-Identifier: GPL-3.0-or-later
// The text view keeps the event loop answering while a big text is read and laid
// out: a zero-length timer keeps ticking, wrap on and off, and the whole text ends
// up in the view.
#include "app/program_fonts.h"
#include "support/temp_dir.h"
#include "viewers/views/rich_text_view.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <fstream>

using namespace iradudo;
namespace fs = std::filesystem;

namespace {

// The longest a zero-length timer may wait: far above the view's slices (about 12
// ms), with room for a machine busy with other tests, and still below what one
// step of Qt's own lazy layout takes on these texts (seconds each).
constexpr qint64 kGapBoundMs = 1500;

// A disc index: long folder paths without blanks, every 40th one about 3,000
// characters long.
std::string discIndex(std::size_t size, int& lines)
{
    std::string text;
    text.reserve(size + 4096);
    unsigned seed = 5;
    lines = 0;
    while (text.size() < size) {
        text += "CD0:";
        const unsigned depth = (lines % 40 == 39) ? 200 : 2 + seed % 30;
        for (unsigned i = 0; i < depth; ++i) {
            seed = seed * 1103515245 + 12345;
            text += "Cartella" + std::to_string((seed >> 8) % 100000) + "/";
        }
        text += "Archivio" + std::to_string(lines++) + ".lha\r\n";
    }
    return text;
}

std::string richText(std::size_t size, int& paragraphs)
{
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}"
                      "\\pard\\f0\\fs20 ";
    paragraphs = 0;
    while (rtf.size() < size) {
        rtf += "Paragrafo " + std::to_string(paragraphs)
            + " del disco con \\b grassetto\\b0 , \\cf1 colore\\cf0  e una lunga serie di parole che vanno a capo "
              "nella finestra del visualizzatore\\par\r\n";
        if (++paragraphs % 50 == 0)
            rtf += "\\pard\\qc\\fs28 Titolo centrato\\par\r\n\\pard\\fs20 ";
    }
    rtf += "Fine\\par}";
    return rtf;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class BigTextView : public ::testing::Test {
protected:
    void SetUp() override
    {
        installProgramFonts();
        view.resize(357, 83);
        view.show();
        QApplication::processEvents();
    }

    // Loads the file, then runs the event loop until the view is done, and returns
    // the longest wait of a zero-length timer meanwhile (the load call included).
    qint64 longestGapWhileLoading(const fs::path& file, bool toggleWrapMidway = false)
    {
        QElapsedTimer gap;
        qint64 longest = 0;
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
        tick.start();
        QApplication::processEvents();
        gap.start();
        view.LoadFromFile(file.string());
        QElapsedTimer clock;
        clock.start();
        bool toggled = false;
        while (clock.elapsed() < 300'000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            // Early, so that the toggle lands while the text is still coming in.
            if (toggleWrapMidway && !toggled && clock.elapsed() > 50) {
                view.setWrapping(!view.wrapping());
                toggled = true;
            }
            if (view.busy() || (toggleWrapMidway && !toggled))
                continue;
            // Done once what the last step posted has run and started nothing new.
            QApplication::processEvents();
            if (!view.busy())
                break;
        }
        longest = std::max(longest, gap.elapsed());
        return longest;
    }

    RichTextView view{fixedSysFont()};
    test::TempDir dir;
};

TEST_F(BigTextView, PlainTextOfLongPathsKeepsTheLoopAnswering)
{
    int lines = 0;
    writeFile(dir.path() / "INDEX.TXT", discIndex(6'000'000, lines));
    for (const bool wrap : {true, false}) {
        view.setWrapping(wrap);
        const qint64 gap = longestGapWhileLoading(dir.path() / "INDEX.TXT");
        EXPECT_LT(gap, kGapBoundMs) << "wrap " << wrap;
        ASSERT_FALSE(view.busy());
        EXPECT_EQ(view.kind(), TextKind::Plain);
        // The whole text is there, one block a line.
        EXPECT_EQ(view.document()->blockCount(), lines + 1);
        EXPECT_TRUE(
            view.document()->lastBlock().previous().text().endsWith(QStringLiteral("Archivio%1.lha").arg(lines - 1)));
        // Scrolling to the end shows the end, at once.
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        QElapsedTimer paint;
        paint.start();
        QApplication::processEvents();
        EXPECT_LT(paint.elapsed(), kGapBoundMs);
    }
}

TEST_F(BigTextView, RichTextIsReadAndLaidOutInSlices)
{
    int paragraphs = 0;
    writeFile(dir.path() / "BIG.RTF", richText(4'000'000, paragraphs));
    for (const bool wrap : {true, false}) {
        view.setWrapping(wrap);
        const qint64 gap = longestGapWhileLoading(dir.path() / "BIG.RTF");
        EXPECT_LT(gap, kGapBoundMs) << "wrap " << wrap;
        ASSERT_FALSE(view.busy());
        EXPECT_EQ(view.kind(), TextKind::Rich);
        const QString text = view.toPlainText();
        EXPECT_TRUE(text.startsWith(QStringLiteral("Paragrafo 0 del disco con grassetto, colore")));
        EXPECT_TRUE(text.trimmed().endsWith(QStringLiteral("Fine")));
        EXPECT_TRUE(text.contains(QStringLiteral("Paragrafo %1 del disco").arg(paragraphs - 1)));
        // The layout reached the end: the scroll range covers the whole text.
        const QRectF last = view.document()->documentLayout()->blockBoundingRect(view.document()->lastBlock());
        EXPECT_GE(view.verticalScrollBar()->maximum() + view.viewport()->height(), int(last.bottom()) - 20);
    }
}

TEST_F(BigTextView, WrapToggledWhileLoadingStillAnswersAndCompletes)
{
    int paragraphs = 0;
    writeFile(dir.path() / "BIG.RTF", richText(3'000'000, paragraphs));
    const qint64 gap = longestGapWhileLoading(dir.path() / "BIG.RTF", true);
    EXPECT_LT(gap, kGapBoundMs);
    ASSERT_FALSE(view.busy());
    EXPECT_FALSE(view.wrapping());
    EXPECT_TRUE(view.toPlainText().trimmed().endsWith(QStringLiteral("Fine")));
}

TEST_F(BigTextView, ASmallTextIsWholeAsSoonAsItLoads)
{
    writeFile(dir.path() / "SHORT.TXT", "uno\r\ndue\rtre\nquattro\n");
    view.LoadFromFile((dir.path() / "SHORT.TXT").string());
    EXPECT_FALSE(view.busy());
    EXPECT_EQ(view.toPlainText(), QStringLiteral("uno\ndue\ntre\nquattro\n"));
}

TEST_F(BigTextView, ALoadReplacesOneStillInProgress)
{
    int lines = 0;
    writeFile(dir.path() / "INDEX.TXT", discIndex(30'000'000, lines));
    writeFile(dir.path() / "SHORT.TXT", "breve\n");
    view.LoadFromFile((dir.path() / "INDEX.TXT").string());
    view.LoadFromFile((dir.path() / "SHORT.TXT").string());
    QApplication::processEvents();
    EXPECT_FALSE(view.busy());
    EXPECT_EQ(view.toPlainText(), QStringLiteral("breve\n"));
}

}  // namespace
