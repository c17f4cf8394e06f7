// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/printing/text_print_job.h"

#include "app/program_fonts.h"
#include "support/temp_dir.h"
#include "support/text_test_util.h"
#include "viewers/text/text_loader.h"

#include <gtest/gtest.h>

#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextFrame>
#include <QTextTable>

using namespace iradudo;
using namespace iradudo::test;

namespace {

// Poppler's tools read the PDF files back, independently of Qt.
QString poppler(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(tool);
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pageCount(const std::filesystem::path& pdf)
{
    const QString info = poppler("pdfinfo", {QString::fromStdString(pdf.string())});
    const QRegularExpressionMatch match
        = QRegularExpression("^Pages:\\s+(\\d+)$", QRegularExpression::MultilineOption).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pageText(const std::filesystem::path& pdf, int page)
{
    return poppler("pdftotext",
        {"-f", QString::number(page), "-l", QString::number(page), "-layout", QString::fromStdString(pdf.string()),
            "-"});
}

int printToPdf(const QTextDocument& document, const std::filesystem::path& pdf)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    return printTextDocument(document, printer);
}

class TextPrintJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty()
            || QStandardPaths::findExecutable("pdftotext").isEmpty())
            GTEST_SKIP() << "poppler-utils is not installed (scripts/setup.sh installs it)";
        installProgramFonts();
    }

    TempDir dir_;
};

}  // namespace

TEST_F(TextPrintJob, EmptyDocumentPrintsOneBlankPage)
{
    const QTextDocument empty;
    const auto pdf = dir_.path() / "empty.pdf";
    EXPECT_EQ(printToPdf(empty, pdf), 1);
    EXPECT_EQ(pageCount(pdf), 1);
    EXPECT_EQ(pageText(pdf, 1).trimmed(), QString());
}

TEST_F(TextPrintJob, LongTextTakesAsManyFullPagesAsItNeeds)
{
    QByteArray text;
    const int lines = 400;
    for (int i = 1; i <= lines; ++i)
        text += "Riga " + QByteArray::number(i) + " del testo\r\n";
    QTextDocument document;
    loadTextBytes(text, document, fixedSysFont());
    const auto pdf = dir_.path() / "long.pdf";
    const int printed = printToPdf(document, pdf);
    const int pages = pageCount(pdf);
    EXPECT_EQ(printed, pages);
    ASSERT_GT(pages, 1);

    // Every line exactly once, in order, and nothing but the text: no page numbers.
    int next = 1;
    int onFirstPage = 0;
    for (int page = 1; page <= pages; ++page) {
        const QStringList found = pageText(pdf, page).split('\n', Qt::SkipEmptyParts);
        for (const QString& line : found) {
            if (line.trimmed().isEmpty() || line.trimmed() == QStringLiteral("\f"))
                continue;
            ASSERT_EQ(line.trimmed(), QStringLiteral("Riga %1 del testo").arg(next)) << "page " << page;
            ++next;
            if (page == 1)
                ++onFirstPage;
        }
    }
    EXPECT_EQ(next, lines + 1);

    // The whole sheet is the page area: the first line sits at its top left corner
    // and the page fills down to its bottom, with no room left for a footer.
    const QString words
        = poppler("pdftotext", {"-bbox", "-f", "1", "-l", "1", QString::fromStdString(pdf.string()), "-"});
    const QRegularExpression box("xMin=\"(-?[0-9.]+)\" yMin=\"(-?[0-9.]+)\" xMax=\"(-?[0-9.]+)\" yMax=\"(-?[0-9.]+)\"");
    double left = 1e9, top = 1e9, bottom = 0, lineHeight = 0;
    for (auto it = box.globalMatch(words); it.hasNext();) {
        const QRegularExpressionMatch word = it.next();
        left = std::min(left, word.captured(1).toDouble());
        top = std::min(top, word.captured(2).toDouble());
        bottom = std::max(bottom, word.captured(4).toDouble());
        lineHeight = word.captured(4).toDouble() - word.captured(2).toDouble();
    }
    ASSERT_GT(lineHeight, 0.0) << words.toStdString();
    EXPECT_LT(left, 1.0);
    EXPECT_LT(top, 1.0);
    const double a4Height = 842.0;
    EXPECT_GT(bottom, a4Height - 2 * lineHeight);
    EXPECT_LE(bottom, a4Height);
    EXPECT_EQ(pages, (lines + onFirstPage - 1) / onFirstPage);

    // The job's document title is empty.
    const QString info = poppler("pdfinfo", {QString::fromStdString(pdf.string())});
    EXPECT_FALSE(QRegularExpression("^Title:[ \\t]*\\S", QRegularExpression::MultilineOption).match(info).hasMatch())
        << info.toStdString();
}

TEST_F(TextPrintJob, RichTextPrintsWithItsText)
{
    QTextDocument document;
    const std::string rtf = readFile(dataFile("wordpad.rtf"));
    ASSERT_EQ(
        loadTextBytes(QByteArrayView(rtf.data(), qsizetype(rtf.size())), document, fixedSysFont()), TextKind::Rich);
    const auto pdf = dir_.path() / "rich.pdf";
    EXPECT_EQ(printToPdf(document, pdf), 1);
    const QString text = pageText(pdf, 1);
    EXPECT_TRUE(text.contains(QString::fromUtf8("Caff\u00e8 e citt\u00e0 costano 3 \u20ac."))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Titolo centrato")));
    // The view's document keeps its own layout: printing works on a copy.
    EXPECT_FALSE(document.pageSize().isValid() && document.pageSize().height() < 1e6);
}

namespace {

std::vector<int> rowsOfFirstTable(const QTextDocument& document)
{
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            std::vector<int> paragraphs;
            for (int row = 0; row < table->rows(); ++row) {
                int count = 0;
                const QTextTableCell cell = table->cellAt(row, 0);
                for (auto it = cell.begin(); !it.atEnd(); ++it)
                    ++count;
                paragraphs.push_back(count);
            }
            return paragraphs;
        }
    }
    return {};
}

// The non-empty paragraphs of one column of the first table, top to bottom.
QStringList columnLines(const QTextDocument& document, int column)
{
    QStringList lines;
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            for (int row = 0; row < table->rows(); ++row) {
                const QTextTableCell cell = table->cellAt(row, column);
                for (auto it = cell.begin(); !it.atEnd(); ++it)
                    if (!it.currentBlock().text().isEmpty())
                        lines << it.currentBlock().text();
            }
            break;
        }
    }
    return lines;
}

}  // namespace

// A cell of thousands of paragraphs pages in quadratic time in Qt: printing
// splits such rows, keeping every paragraph in its order and column.
TEST_F(TextPrintJob, LongCellsAreSplitIntoRowsKeepingTheirText)
{
    QByteArray rtf = "{\\rtf1\\ansi\\trowd\\cellx3000\\cellx6000 ";
    for (int i = 0; i < 1050; ++i)
        rtf += "\\intbl riga " + QByteArray::number(i) + "\\par ";
    rtf += "\\intbl fine\\cell\\intbl accanto\\cell\\row \\trowd\\cellx6000 \\intbl corta\\cell\\row }";
    QTextDocument document;
    ASSERT_EQ(loadTextBytes(rtf, document, fixedSysFont()), TextKind::Rich);
    const std::vector<int> original = rowsOfFirstTable(document);
    ASSERT_GE(original.size(), 2u);
    ASSERT_EQ(original[0], 1051);

    const std::unique_ptr<QTextDocument> copy = printableCopy(document);
    std::vector<int> expected(10, 100);
    expected.push_back(51);
    expected.insert(expected.end(), original.begin() + 1, original.end());
    EXPECT_EQ(rowsOfFirstTable(*copy), expected);
    // Every paragraph is there, and each column reads in its order.
    for (int column : {0, 1})
        EXPECT_EQ(columnLines(*copy, column), columnLines(document, column)) << "column " << column;
    EXPECT_EQ(rowsOfFirstTable(document), original) << "the view's document stays as it was";

    const auto pdf = dir_.path() / "cell.pdf";
    const int pages = printToPdf(document, pdf);
    EXPECT_EQ(pageCount(pdf), pages);
    EXPECT_TRUE(pageText(pdf, pages).contains(QStringLiteral("riga 1049")));
}

TEST_F(TextPrintJob, PrinterThatCannotStartFails)
{
    QTextDocument document;
    document.setPlainText("x");
    EXPECT_THROW(printToPdf(document, dir_.path() / "no" / "such" / "dir.pdf"), EPrintJobError);
}

TEST(DefaultPrinter, MissingOneIsReportedBeforeTheDialog)
{
    if (QPrinterInfo::defaultPrinter().isNull()) {
        try {
            requireDefaultPrinter();
            ADD_FAILURE() << "no error without a default printer";
        } catch (const EPrinter& error) {
            EXPECT_STREQ(error.what(), "There is no default printer currently selected");
        }
    } else {
        EXPECT_NO_THROW(requireDefaultPrinter());
    }
}
