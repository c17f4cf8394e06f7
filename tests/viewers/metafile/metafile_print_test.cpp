// SPDX-License-Identifier: GPL-3.0-or-later
// Metafile pictures of rich text through the text viewer's print job into a
// PDF, measured by poppler's pdfimages: they print at the size the view gives
// them. The test runs on an offscreen screen of 119 dots per inch (a desktop
// scaled by 124 %, with Qt rounding the scale down), where the print layout's
// pixels are no longer the pictures' 1/96 inch.
#include "viewers/printing/text_print_job.h"
#include "viewers/text/rtf_reader.h"
#include "viewers/views/rich_text_view.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTextDocument>

#include <fstream>
#include <iterator>

namespace {

const std::string kData = IRADUDO_SOURCE_DIR "/tests/viewers/metafile/data/";

std::string hexOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// The printed sizes of the page's images, in pixels at 96 per inch: the
// image's pixels over its resolution on the page, as pdfimages lists them.
std::vector<QSizeF> printedImages(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    process.waitForFinished(60000);
    std::vector<QSizeF> sizes;
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
    for (const QString& line : lines) {
        const QStringList f = line.simplified().split(' ');
        // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
        if (f.size() < 14 || f[2] != QLatin1String("image"))
            continue;
        sizes.emplace_back(f[3].toDouble() * 96 / f[12].toDouble(), f[4].toDouble() * 96 / f[13].toDouble());
    }
    return sizes;
}

}  // namespace

TEST(MetafilePrint, RtfPicturesPrintAtTheSizeTheViewGivesThem)
{
    if (QStandardPaths::findExecutable("pdfimages").isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed (scripts/setup.sh installs it)";
    ASSERT_NEAR(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 119, 0.5) << "the screen set up by main()";
    struct Case {
        const char* what;
        std::string rtf;
        QSizeF shown;  // pixels at 96 per inch
    };
    const std::string wmf = hexOf(kData + "pictures/uemf_standard.wmf");
    const std::string emf = hexOf(kData + "pictures/uemf_shapes.emf");
    const std::vector<Case> cases{
        {"WMF at its goal size", "{\\pict\\wmetafile8\\picwgoal2160\\pichgoal2160 " + wmf + "}", {144, 144}},
        {"WMF scaled", "{\\pict\\wmetafile8\\picwgoal2160\\pichgoal1440\\picscalex50 " + wmf + "}", {72, 96}},
        {"EMF at its goal size", "{\\pict\\emfblip\\picwgoal3000\\pichgoal1500 " + emf + "}", {200, 100}},
    };
    iradudo::test::TempDir dir;
    for (const Case& c : cases) {
        const std::string rtf = "{\\rtf1\\ansi Prima " + c.rtf + " dopo\\par}";
        auto loaded = std::make_unique<QTextDocument>();
        ASSERT_TRUE(iradudo::readRtf(QByteArrayView(rtf.data(), qsizetype(rtf.size())), *loaded)) << c.what;
        iradudo::RichTextView view(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        view.resize(600, 400);
        view.setLoadedDocument(std::move(loaded));
        view.show();
        const QTextDocument& document = *view.document();
        const QString pdf = QString::fromStdString((dir.path() / "picture.pdf").string());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(pdf);
        iradudo::printTextDocument(document, printer);
        const std::vector<QSizeF> images = printedImages(pdf);
        ASSERT_EQ(images.size(), 1u) << c.what;
        EXPECT_NEAR(images[0].width(), c.shown.width(), 1.5) << c.what;
        EXPECT_NEAR(images[0].height(), c.shown.height(), 1.5) << c.what;
    }
}

int main(int argc, char** argv)
{
    const QByteArray config = IRADUDO_SOURCE_DIR "/tests/viewers/metafile/data/screen_119dpi.json";
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    qputenv("QT_SCALE_FACTOR_ROUNDING_POLICY", "Floor");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
