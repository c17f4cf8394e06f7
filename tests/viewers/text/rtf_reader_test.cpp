// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/rtf_reader.h"

#include "support/memory_probe.h"
#include "support/temp_dir.h"
#include "support/text_test_util.h"
#include "viewers/text/document_text.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <random>

using namespace iradudo;
using namespace iradudo::test;

namespace {

std::unique_ptr<QTextDocument> readRich(QByteArrayView rtf)
{
    auto document = std::make_unique<QTextDocument>();
    EXPECT_TRUE(readRtf(rtf, *document));
    return document;
}

std::string textOf(QByteArrayView rtf)
{
    return utf8(documentPlainText(*readRich(rtf)));
}

QTextTable* firstTable(const QTextDocument& document)
{
    for (auto it = document.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame()))
            return table;
    }
    return nullptr;
}

struct PictureInfo {
    QTextImageFormat format;
    QImage image;
};

std::vector<PictureInfo> picturesOf(const QTextDocument& document)
{
    std::vector<PictureInfo> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                const QTextImageFormat image = format.toImageFormat();
                pictures.push_back(
                    {image, document.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>()});
            }
        }
    }
    return pictures;
}

}  // namespace

TEST(RtfReader, RecognisesRichTextOnlyByItsOpening)
{
    EXPECT_TRUE(looksLikeRtf("{\\rtf1 x}"));
    EXPECT_TRUE(looksLikeRtf(" \t\r\n{\\rtf"));
    EXPECT_FALSE(looksLikeRtf(""));
    EXPECT_FALSE(looksLikeRtf("{\\rt"));
    EXPECT_FALSE(looksLikeRtf("{ \\rtf1 x}"));
    EXPECT_FALSE(looksLikeRtf("{\\RTF1 x}"));
    EXPECT_FALSE(looksLikeRtf("x{\\rtf1 x}"));

    QTextDocument document;
    document.setPlainText(QStringLiteral("as it was"));
    EXPECT_FALSE(readRtf("{curly but plain}", document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("as it was"));
}

TEST(RtfReader, WordPadFileKeepsTextAndFormatting)
{
    const std::string rtf = readFile(dataFile("wordpad.rtf"));
    const auto document = readRich(QByteArrayView(rtf.data(), qsizetype(rtf.size())));
    EXPECT_EQ(utf8(documentPlainText(*document)),
        "Caff\u00e8 e citt\u00e0 costano 3 \u20ac.\n"
        "Grassetto normale rosso e corsivo.\n"
        "Titolo centrato\n"
        "A destra\n"
        "Paragrafo giustificato con rientri.\n"
        "\u00b7\tPrimo punto\n"
        "Nome\tValore\n"
        "Caff\u00e8\t2\n"
        "Immagine:  fine.\n"
        "\n"
        "Ultima riga\n");

    const QTextCharFormat bold = formatOf(*document, "Grassetto");
    EXPECT_EQ(bold.fontWeight(), QFont::Bold);
    EXPECT_EQ(bold.fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_DOUBLE_EQ(bold.fontPointSize(), 10.0);
    EXPECT_EQ(formatOf(*document, "normale").fontWeight(), QFont::Normal);
    EXPECT_EQ(formatOf(*document, "rosso").foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatOf(*document, "normale").hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_TRUE(formatOf(*document, "corsivo").fontItalic());
    EXPECT_FALSE(formatOf(*document, "normale").fontItalic());

    const QTextCharFormat title = formatOf(*document, "Titolo");
    EXPECT_EQ(title.foreground().color(), QColor(0, 0, 128));
    EXPECT_DOUBLE_EQ(title.fontPointSize(), 14.0);
    EXPECT_EQ(blockFormatOf(*document, "Titolo").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(blockFormatOf(*document, "A destra").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(blockFormatOf(*document, "Caff").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

    // Twips at 96 dots per inch: 720 -> 48 pixels.
    const QTextBlockFormat justified = blockFormatOf(*document, "giustificato");
    EXPECT_EQ(justified.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    EXPECT_DOUBLE_EQ(justified.leftMargin(), 48.0);
    EXPECT_DOUBLE_EQ(justified.rightMargin(), 24.0);
    EXPECT_DOUBLE_EQ(justified.textIndent(), -24.0);
    EXPECT_DOUBLE_EQ(justified.topMargin(), 8.0);
    EXPECT_DOUBLE_EQ(justified.bottomMargin(), 16.0);

    // The header group and the generator stamp hold no text of the document.
    EXPECT_TRUE(document->find("Prova di stampa").isNull());
    EXPECT_TRUE(document->find("Redazione").isNull());
    EXPECT_TRUE(document->find("Msftedit").isNull());

    const QTextTable* table = firstTable(*document);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    QTextCursor cell = table->cellAt(1, 0).firstCursorPosition();
    cell.setPosition(table->cellAt(1, 0).lastPosition(), QTextCursor::KeepAnchor);
    EXPECT_EQ(cell.selectedText(), QString::fromUtf8("Caff\u00e8"));
    EXPECT_EQ(formatOf(*document, "Nome").fontWeight(), QFont::Bold);

    // Pictures as Pillow made them: PNG 24 x 16 shown at its goal of 720 x 480 twips,
    // JPEG 20 x 10 at its own size, a bitmap 8 x 6 scaled by 200 %; the metafile is left out.
    const std::vector<PictureInfo> pictures = picturesOf(*document);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0].image.size(), QSize(24, 16));
    EXPECT_DOUBLE_EQ(pictures[0].format.width(), 48.0);
    EXPECT_DOUBLE_EQ(pictures[0].format.height(), 32.0);
    EXPECT_EQ(pictures[0].image.pixelColor(23, 15), QColor(0, 0, 200));
    EXPECT_EQ(pictures[0].image.pixelColor(3, 3), QColor(255, 255, 0));
    EXPECT_EQ(pictures[1].image.size(), QSize(20, 10));
    EXPECT_DOUBLE_EQ(pictures[1].format.width(), 20.0);
    EXPECT_DOUBLE_EQ(pictures[1].format.height(), 10.0);
    EXPECT_EQ(pictures[2].image.size(), QSize(8, 6));
    EXPECT_DOUBLE_EQ(pictures[2].format.width(), 16.0);
    EXPECT_DOUBLE_EQ(pictures[2].format.height(), 12.0);
    // Bitmaps are stored bottom row first: the yellow square must stay at the top left.
    EXPECT_EQ(pictures[2].image.pixelColor(7, 5), QColor(200, 0, 0));
    EXPECT_EQ(pictures[2].image.pixelColor(2, 2), QColor(255, 255, 0));
}

TEST(RtfReader, PandocFileKeepsTextTablesAndLinks)
{
    const std::string rtf = readFile(dataFile("pandoc.rtf"));
    const auto document = readRich(QByteArrayView(rtf.data(), qsizetype(rtf.size())));
    EXPECT_EQ(utf8(documentPlainText(*document)),
        "Titolo del disco\n"
        "Caff\u00e8 in grassetto e in corsivo, con un collegamento.\n"
        "Programma\tDimensione\n"
        "Uno\t12345\n"
        "Due\t678\n"
        "\n"
        "\u2022\tprimo punto\n"
        "\u2022\tsecondo punto\n"
        "Riga finale.\n");
    EXPECT_DOUBLE_EQ(formatOf(*document, "Titolo").fontPointSize(), 18.0);
    EXPECT_EQ(formatOf(*document, "Titolo").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(*document, "Caff").fontWeight(), QFont::Normal);
    EXPECT_EQ(formatOf(*document, "grassetto").fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatOf(*document, "corsivo").fontItalic());
    EXPECT_TRUE(formatOf(*document, "collegamento").fontUnderline());
    EXPECT_TRUE(document->find("HYPERLINK").isNull());
    const QTextTable* table = firstTable(*document);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 3);
    EXPECT_EQ(table->columns(), 2);
    EXPECT_EQ(blockFormatOf(*document, "12345").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_DOUBLE_EQ(blockFormatOf(*document, "primo").leftMargin(), 24.0);
}

TEST(RtfReader, DecodesCodePagesAndUnicode)
{
    EXPECT_EQ(textOf("{\\rtf1\\ansi Caff\\'e8 \\'80 \\'93x\\'94}"), "Caff\u00e8 \u20ac \u201cx\u201d");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}"), "\u0410\u0431");
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f0\\'e8 \\f1\\'e8}"),
        "\u00e8 \u0438");
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset238 Arial CE;}}\\'b9}"), "\u0105");
    // A font's own code page, UTF-8 among them, and the Mac code pages.
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0\\cpg65001 Arial;}}\\f0 Caff\\'c3\\'a8 \\'e2\\'82\\'ac}"),
        "Caff\u00e8 \u20ac");
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0\\cpg1251 Arial;}}\\f0\\'c0}"), "\u0410");
    EXPECT_EQ(textOf("{\\rtf1\\mac Caf\\'8e \\'a5 \\'d2x\\'d3}"), "Caf\u00e9 \u2022 \u201cx\u201d");
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset77 Geneva;}}\\f0 \\'8a}"), "\u00e4");
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset78 Osaka;}}\\f0 \\'82\\'a0}"), "\u3042");
    // \uN is followed by \ucN fallback characters (1 by default), a hex escape counting as one.
    EXPECT_EQ(textOf("{\\rtf1 3 \\u8364? euro}"), "3 \u20ac euro");
    EXPECT_EQ(textOf("{\\rtf1\\uc0 \\u8364 x}"), "\u20acx");
    EXPECT_EQ(textOf("{\\rtf1\\uc2 \\u8364\\'80\\'80x}"), "\u20acx");
    EXPECT_EQ(textOf("{\\rtf1 {\\uc2 a}\\u8364?b}"), "a\u20acb");  // \uc is kept per group
    EXPECT_EQ(textOf("{\\rtf1 \\u-3913?}"), "\uf0b7");
    EXPECT_EQ(textOf("{\\rtf1 \\u55357?\\u56832?}"), "\U0001F600");
    EXPECT_EQ(textOf("{\\rtf1 a\\emdash b\\endash c\\bullet \\lquote d\\rquote \\ldblquote e\\rdblquote}"),
        "a\u2014b\u2013c\u2022\u2018d\u2019\u201ce\u201d");
    EXPECT_EQ(textOf("{\\rtf1 a\\~b\\-c\\_d\\{\\}\\\\}"), "a\u00a0b\u00adc\u2011d{}\\");
    EXPECT_EQ(textOf("{\\rtf1 a\\tab b\\line c\\par d}"), "a\tb\nc\nd");
    // Raw line ends inside rich text are not text; an escaped one ends a paragraph.
    EXPECT_EQ(textOf("{\\rtf1 a\r\nb\rc\nd\\\r\ne\\\rf\\\ng}"), "abcd\ne\nf\ng");
    // A byte 0 shows as a blank, wherever it comes from.
    static const char withZeros[] = "{\\rtf1 a\0b\\'00c\\u0?d}";
    EXPECT_EQ(textOf(QByteArrayView(withZeros, sizeof withZeros - 1)), "a b c d");
}

TEST(RtfReader, CharacterAndParagraphStateFollowGroups)
{
    const auto document
        = readRich("{\\rtf1{\\colortbl;\\red0\\green128\\blue0;\\red255\\green255\\blue0;}"
                   "\\b uno{\\i due\\ul tre}quattro\\plain cinque \\strike sei\\strike0 {\\cf1\\highlight2 sette}"
                   "{\\super otto}{\\sub nove}\\ulnone\\fs40 dieci\\par"
                   "\\qc centro{\\qr\\par}"
                   "\\pard sinistra\\par}");
    EXPECT_EQ(formatOf(*document, "uno").fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatOf(*document, "due").fontItalic());
    EXPECT_TRUE(formatOf(*document, "tre").fontUnderline());
    EXPECT_EQ(formatOf(*document, "tre").fontWeight(), QFont::Bold);
    EXPECT_FALSE(formatOf(*document, "quattro").fontItalic());
    EXPECT_FALSE(formatOf(*document, "quattro").fontUnderline());
    EXPECT_EQ(formatOf(*document, "quattro").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(*document, "cinque").fontWeight(), QFont::Normal);
    EXPECT_TRUE(formatOf(*document, "sei").fontStrikeOut());
    EXPECT_FALSE(formatOf(*document, "sette").fontStrikeOut());
    EXPECT_EQ(formatOf(*document, "sette").foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(formatOf(*document, "sette").background().color(), QColor(255, 255, 0));
    EXPECT_EQ(formatOf(*document, "otto").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatOf(*document, "nove").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_DOUBLE_EQ(formatOf(*document, "dieci").fontPointSize(), 20.0);
    EXPECT_DOUBLE_EQ(formatOf(*document, "cinque").fontPointSize(), 12.0);
    // A paragraph takes the properties in force at its paragraph mark.
    EXPECT_EQ(blockFormatOf(*document, "centro").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(blockFormatOf(*document, "sinistra").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST(RtfReader, SkipsDestinationsWithoutDocumentText)
{
    EXPECT_EQ(textOf("{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}"
                     "{\\header H}{\\footer F}{\\*\\unknown U{\\nested N}}{\\*\\bkmkstart B}"
                     "uno {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt due}} "
                     "{\\field{\\fldinst PAGE}{\\fldrslt tre}} {\\v nascosto}quattro"
                     "{\\*\\shppict{\\pict\\pngblip 00}}{\\nonshppict{\\pict\\wmetafile8 00}}"
                     "\\unknownword cinque}"),
        "uno due tre quattrocinque");
    // \binN data is skipped whole, braces and backslashes included.
    EXPECT_EQ(textOf("{\\rtf1 a\\bin3 {}\\b}"), "ab");
    EXPECT_EQ(textOf("{\\rtf1{\\*\\blob\\bin4 }}{x}c}"), "c");
    EXPECT_EQ(textOf("{\\rtf1 a\\bin2147483647 {}}}}"), "a");
    EXPECT_EQ(textOf("{\\rtf1 a\\bin-5 b}"), "ab");
}

TEST(RtfReader, TablesWithoutRowDefinitionsOrWithTooManyCells)
{
    // Cells without \trowd and rows of differing widths still form one table.
    auto document
        = readRich("{\\rtf1\\intbl a\\cell b\\cell\\row\\intbl c\\cell d\\cell e\\cell\\row\\pard after\\par}");
    // A document cannot begin with a table: an empty paragraph goes before it.
    EXPECT_EQ(utf8(documentPlainText(*document)), "\na\tb\t\nc\td\te\nafter\n");
    // After text, the table follows directly, empty paragraphs before it kept.
    EXPECT_EQ(textOf("{\\rtf1 x\\par\\intbl a\\cell\\row\\pard y\\par\\par\\intbl b\\cell\\row}"), "x\na\ny\n\nb\n\n");

    std::string wide = "{\\rtf1\\trowd";
    for (int i = 0; i < 1000; ++i)
        wide += "\\cellx" + std::to_string(100 * (i + 1));
    wide += "\\pard\\intbl";
    for (int i = 0; i < 1000; ++i)
        wide += " x\\cell";
    wide += "\\row}";
    document = readRich(QByteArrayView(wide.data(), qsizetype(wide.size())));
    const QTextTable* table = firstTable(*document);
    ASSERT_NE(table, nullptr);
    EXPECT_LE(table->columns(), 64);
    EXPECT_EQ(documentPlainText(*document).count(QLatin1Char('x')), 1000);
}

TEST(RtfReader, LongTableKeepsEveryRowInOrder)
{
    std::string rtf = "{\\rtf1 before\\par";
    std::string expected = "before\n";
    for (int i = 0; i < 450; ++i) {
        rtf += "\\trowd\\cellx1000\\cellx2000\\pard\\intbl r" + std::to_string(i) + "\\cell x\\cell\\row\r\n";
        expected += "r" + std::to_string(i) + "\tx\n";
    }
    rtf += "\\pard after\\par}";
    expected += "after\n";
    const auto document = readRich(QByteArrayView(rtf.data(), qsizetype(rtf.size())));
    EXPECT_EQ(utf8(documentPlainText(*document)), expected);
    // Built in parts (Qt's tables grow slower the longer they are) that show as one.
    document->setTextWidth(400);
    (void)document->size();  // lays the document out
    std::vector<QRectF> tables;
    int joints = 0;
    for (auto it = document->rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame()))
            tables.push_back(document->documentLayout()->frameBoundingRect(table));
        else if (!it.currentFrame() && it.currentBlock().text().isEmpty() && it.currentBlock().next().isValid())
            ++joints;
    }
    for (std::size_t i = 1; i < tables.size(); ++i)
        EXPECT_LT(tables[i].top() - tables[i - 1].bottom(), 3.0) << i;
    EXPECT_EQ(joints, int(tables.size()) - 1);
    EXPECT_GE(tables.size(), 2u);
    EXPECT_DOUBLE_EQ(formatOf(*document, "after").fontPointSize(), 12.0);
    EXPECT_EQ(blockFormatOf(*document, "after").lineHeightType(), int(QTextBlockFormat::SingleHeight));
}

TEST(RtfReader, DamagedFilesRenderWhatTheyCan)
{
    // Truncated anywhere: never fails, and the text read so far stays.
    const std::string rtf = readFile(dataFile("wordpad.rtf"));
    for (std::size_t length = 5; length <= rtf.size(); length += 7) {
        QTextDocument document;
        ASSERT_TRUE(readRtf(QByteArrayView(rtf.data(), qsizetype(length)), document)) << length;
    }
    const std::size_t cut = rtf.find("rosso");
    EXPECT_NE(textOf(QByteArrayView(rtf.data(), qsizetype(cut + 3))).find("Grassetto normale ros"), std::string::npos);

    // Unbalanced braces: the document ends with its outermost group.
    EXPECT_EQ(textOf("{\\rtf1 a{\\b b}}}} ignored {\\rtf1 x}"), "ab");
    EXPECT_EQ(textOf("{\\rtf1 a{\\b b{\\i c"), "abc");
    EXPECT_EQ(textOf("{\\rtf1 a\\"), "a");
    EXPECT_EQ(textOf("{\\rtf1 a\\'"), "a");
    EXPECT_EQ(textOf("{\\rtf1 a\\'4"), "a");
    EXPECT_EQ(textOf("{\\rtf1 a\\'zzb}"), "azzb");
    EXPECT_EQ(textOf("{\\rtf1{\\colortbl;\\red300\\green-1\\blue2;}{\\fonttbl{\\f0"), "");

    // Absurd parameters are clamped.
    auto document = readRich("{\\rtf1\\fs99999999999999 a\\fs0 b\\cf-5 c\\cf99999 d\\f-7 e\\li-2147483648 f"
                             "\\uc2147483647\\u99999999 g\\sa99999999\\par}");
    EXPECT_EQ(utf8(documentPlainText(*document)), "abcdef\n");
    EXPECT_GT(formatOf(*document, "a").fontPointSize(), 0.0);
    EXPECT_GT(formatOf(*document, "b").fontPointSize(), 0.0);
}

TEST(RtfReader, DeepNestingIsFlattened)
{
    std::string deep = "{\\rtf1 start";
    for (int i = 0; i < 100000; ++i)
        deep += "{\\b ";
    deep += "middle";
    for (int i = 0; i < 100000; ++i)
        deep += "}";
    deep += " end}";
    const auto document = readRich(QByteArrayView(deep.data(), qsizetype(deep.size())));
    EXPECT_EQ(utf8(documentPlainText(*document)), "startmiddle end");
    EXPECT_EQ(formatOf(*document, "middle").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(*document, "end").fontWeight(), QFont::Normal);

    // Opened and never closed: still no stack of 100,000 states.
    std::string open = "{\\rtf1 x";
    for (int i = 0; i < 100000; ++i)
        open += "{";
    EXPECT_EQ(textOf(QByteArrayView(open.data(), qsizetype(open.size()))), "x");
}

TEST(RtfReader, RandomBytesAfterTheOpeningNeverBreakTheReader)
{
    std::mt19937 random(1997);
    const std::string alphabet = "{}\\\\\\'0123456789abcdefghijklmnopqrstuvwxyz*-; \r\n\t\x80\xff";
    const char* words[] = {"\\par", "\\cell", "\\row", "\\trowd", "\\intbl", "\\pard", "\\pict", "\\bin9", "\\u8364",
        "\\fonttbl", "\\colortbl", "\\*", "\\plain", "\\cellx99", "\\pngblip"};
    for (int round = 0; round < 300; ++round) {
        std::string rtf = "{\\rtf1 ";
        const int length = int(random() % 400);
        for (int i = 0; i < length; ++i) {
            if (random() % 4 == 0)
                rtf += words[random() % std::size(words)];
            else
                rtf += alphabet[random() % alphabet.size()];
        }
        QTextDocument document;
        ASSERT_TRUE(readRtf(QByteArrayView(rtf.data(), qsizetype(rtf.size())), document)) << rtf;
        documentPlainText(document);
    }
}

TEST(RtfReader, DecodedPicturesStayWithinABudget)
{
    // Each of these small files claims a 3000 x 3000 picture (36 MB decoded): only as
    // many as fit in 256 MB are decoded, the rest are left out.
    QImage large(3000, 3000, QImage::Format_RGB32);
    large.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(large.save(&buffer, "PNG"));
    ASSERT_LT(png.size(), 200000);
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 0; i < 10; ++i)
        rtf += "{\\pict\\pngblip " + png.toHex() + "}";
    rtf += "}";
    const auto document = readRich(rtf);
    const std::vector<PictureInfo> pictures = picturesOf(*document);
    EXPECT_EQ(pictures.size(), 7u);
    for (const PictureInfo& picture : pictures)
        EXPECT_EQ(picture.image.size(), QSize(3000, 3000));
}

TEST(RtfReader, PngThatDeclaresAHugeChunkCostsNoMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own reservations hide the peak";
#else
    // A valid PNG header, then an IDAT chunk that claims 0x7FFFFFF0 bytes: PNG
    // readers reserve that much before they find out the bytes are not there.
    const QByteArray rtf
        = "{\\rtf1 before{\\pict\\pngblip " + QByteArray::fromStdString(chunkBombPng()).toHex() + "}after}";
    EXPECT_EQ(peakGrowthAbove(256 * 1024,
                  [&] {
                      QTextDocument document;
                      readRtf(rtf, document);
                      if (!documentPlainText(document).contains(QStringLiteral("after")))
                          ::_exit(2);
                  }),
        0)
        << "reading the picture reserved more than 256 MB, or lost the text after it";
#endif
}
