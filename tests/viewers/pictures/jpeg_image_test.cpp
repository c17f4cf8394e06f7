// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/picture_data.h"

#include "viewers/pictures/jpeg_image.h"
#include "viewers/pictures/picture_formats.h"

#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <jerror.h>
#include <jpeglib.h>

using iradudo::JpegPixelFormat;
using iradudo::test::maxChannelDifference;
using iradudo::test::meanChannelDifference;
using iradudo::test::pictureFile;
using iradudo::test::referencePixels;

namespace {

std::string jpegError(int code)
{
    return "JPEG error #" + std::to_string(code);
}

std::unique_ptr<TJPEGImage> loaded(const std::string& name)
{
    auto image = std::make_unique<TJPEGImage>();
    image->LoadFile(pictureFile(name));
    return image;
}

// Every test starts from the start-up defaults.
class JpegImage : public ::testing::Test {
protected:
    void SetUp() override { iradudo::jpegDefaults() = iradudo::JpegSettings{}; }
    void TearDown() override { iradudo::jpegDefaults() = iradudo::JpegSettings{}; }
};

TEST_F(JpegImage, LoadReadsTheHeaderOnly)
{
    const auto image = loaded("photo.jpg");
    ASSERT_NE(image->Data(), nullptr);
    EXPECT_EQ(image->Data()->width, 97);
    EXPECT_EQ(image->Data()->height, 61);
    EXPECT_FALSE(image->Data()->grayscale);
    EXPECT_FALSE(image->Data()->multipleScans);
    EXPECT_EQ(image->Data()->bytes, std::vector<unsigned char>([] {
        std::ifstream f(pictureFile("photo.jpg"), std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
    }()));
    EXPECT_EQ(image->Width(), 97);
    EXPECT_EQ(image->Height(), 61);
    EXPECT_TRUE(image->Image().isNull());
}

TEST_F(JpegImage, BaselineDecodesToTwentyFourBitsLikeAnotherDecoder)
{
    const auto image = loaded("photo.jpg");
    image->Decode();
    const QImage pixels = image->Image();
    EXPECT_EQ(pixels.format(), QImage::Format_RGB888);
    EXPECT_LE(maxChannelDifference(pixels, referencePixels("photo.jpg")), 2);
}

TEST_F(JpegImage, ProgressiveFileDecodesAndIsFlagged)
{
    const auto image = loaded("progressive.jpg");
    EXPECT_TRUE(image->Data()->multipleScans);
    EXPECT_TRUE(image->Settings().progressiveEncoding);
    image->Decode();
    EXPECT_LE(maxChannelDifference(image->Image(), referencePixels("progressive.jpg")), 2);
}

TEST_F(JpegImage, ProgressiveDisplayEndsOnTheSamePicture)
{
    iradudo::jpegDefaults().progressiveDisplay = true;
    const auto image = loaded("progressive.jpg");
    image->Decode();
    EXPECT_LE(maxChannelDifference(image->Image(), referencePixels("progressive.jpg")), 2);
    iradudo::jpegDefaults().pixelFormat = JpegPixelFormat::Bits8;
    const auto indexed = loaded("progressive.jpg");
    indexed->Decode();
    EXPECT_EQ(indexed->Image().format(), QImage::Format_Indexed8);
    EXPECT_LT(meanChannelDifference(indexed->Image(), referencePixels("progressive.jpg"), 0, 61), 10.0);
}

TEST_F(JpegImage, GrayscaleFileDecodesToGreyLevels)
{
    const auto image = loaded("gray.jpg");
    EXPECT_TRUE(image->Data()->grayscale);
    image->Decode();
    const QImage pixels = image->Image();
    ASSERT_EQ(pixels.format(), QImage::Format_Indexed8);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x)
            ASSERT_LT(pixels.pixelIndex(x, y), 236);
    for (QRgb colour : pixels.colorTable())
        EXPECT_TRUE(qRed(colour) == qGreen(colour) && qGreen(colour) == qBlue(colour));
    EXPECT_LE(maxChannelDifference(pixels, referencePixels("gray.jpg")), 3);
}

TEST_F(JpegImage, GrayscaleSettingTurnsColourIntoGrey)
{
    iradudo::jpegDefaults().grayscale = true;
    const auto image = loaded("photo.jpg");
    image->Decode();
    const QImage pixels = image->Image();
    ASSERT_EQ(pixels.format(), QImage::Format_Indexed8);
    // Luma as the JPEG colour transform defines it.
    QImage reference = referencePixels("photo.jpg");
    for (int y = 0; y < reference.height(); ++y)
        for (int x = 0; x < reference.width(); ++x) {
            const QRgb c = reference.pixel(x, y);
            const int luma = int(0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c) + 0.5);
            reference.setPixel(x, y, qRgb(luma, luma, luma));
        }
    EXPECT_LT(meanChannelDifference(pixels, reference, 0, pixels.height()), 1.5);
}

TEST_F(JpegImage, EightBitScreenGivesAtMost236Colours)
{
    iradudo::chooseJpegPixelFormat(8);
    EXPECT_EQ(iradudo::jpegDefaults().pixelFormat, JpegPixelFormat::Bits8);
    const auto image = loaded("photo.jpg");
    iradudo::chooseJpegPixelFormat(32);
    EXPECT_EQ(iradudo::jpegDefaults().pixelFormat, JpegPixelFormat::Bits24);
    image->Decode();
    const QImage pixels = image->Image();
    ASSERT_EQ(pixels.format(), QImage::Format_Indexed8);
    QSet<int> used;
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x)
            used.insert(pixels.pixelIndex(x, y));
    EXPECT_LE(used.size(), 236);
    EXPECT_GT(used.size(), 16);
    for (int index : used)
        EXPECT_LT(index, 236);
    EXPECT_LT(meanChannelDifference(pixels, referencePixels("photo.jpg"), 0, pixels.height()), 8.0);
}

TEST_F(JpegImage, SpeedFirstStaysClose)
{
    iradudo::jpegDefaults().performance = iradudo::JpegPerformance::SpeedFirst;
    const auto image = loaded("photo.jpg");
    image->Decode();
    EXPECT_LT(meanChannelDifference(image->Image(), referencePixels("photo.jpg"), 0, 61), 2.0);
}

TEST_F(JpegImage, ScaleShrinksTheBitmap)
{
    iradudo::jpegDefaults().scale = iradudo::JpegScale::Quarter;
    const auto image = loaded("photo.jpg");
    EXPECT_EQ(image->Width(), 25);
    EXPECT_EQ(image->Height(), 16);
    image->Decode();
    EXPECT_EQ(image->Image().size(), QSize(25, 16));
    EXPECT_LT(meanChannelDifference(image->Image(),
                  referencePixels("photo.jpg").scaled(25, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), 0, 16),
        12.0);
}

TEST_F(JpegImage, EmptyFileLoadsAndFailsOnceAtTheFirstDraw)
{
    const auto image = loaded("empty.jpg");
    EXPECT_EQ(image->Width(), 0);
    EXPECT_EQ(image->Height(), 0);
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    try {
        image->Draw(painter, QRect(0, 0, 10, 10));
        FAIL() << "the first draw should fail";
    } catch (const EJPEG& error) {
        EXPECT_EQ(std::string(error.what()), jpegError(JERR_NO_SOI));
        EXPECT_EQ(error.code(), JERR_NO_SOI);
    }
    EXPECT_NO_THROW(image->Draw(painter, QRect(0, 0, 10, 10)));
    EXPECT_NO_THROW(image->Decode());
    painter.end();
    EXPECT_TRUE(image->Image().isNull());
    EXPECT_EQ(canvas.pixel(5, 5), qRgb(255, 255, 255));
}

TEST_F(JpegImage, NotAJpegFailsAtLoad)
{
    TJPEGImage image;
    try {
        image.LoadFile(pictureFile("text.jpg"));
        FAIL() << "loaded text";
    } catch (const EJPEG& error) {
        EXPECT_EQ(std::string(error.what()), jpegError(JERR_NO_SOI));
    }
}

TEST_F(JpegImage, HugeFramesAreRefusedBeforeAnythingIsAllocated)
{
    struct Case {
        const char* file;
        int width;
        int height;
    };
    // Three billion colour pixels, and half a billion grey ones that would fit
    // in memory but take seconds to decode.
    for (const Case c : {Case{"huge.jpg", 60000, 50000}, Case{"huge-gray.jpg", 22000, 23000}}) {
        SCOPED_TRACE(c.file);
        const auto image = loaded(c.file);
        EXPECT_EQ(image->Width(), c.width);
        EXPECT_EQ(image->Height(), c.height);
        try {
            image->Decode();
            FAIL() << "decoded the huge frame";
        } catch (const EJPEG& error) {
            EXPECT_EQ(error.code(), JERR_IMAGE_TOO_BIG);
        }
        EXPECT_TRUE(image->Image().isNull());
    }
}

TEST_F(JpegImage, TruncatedFileShowsWhatArrived)
{
    const auto image = loaded("truncated.jpg");
    EXPECT_NO_THROW(image->Decode());
    const QImage pixels = image->Image();
    ASSERT_EQ(pixels.size(), QSize(97, 61));
    EXPECT_LT(meanChannelDifference(pixels, referencePixels("photo.jpg"), 0, 24), 1.0);
    EXPECT_GT(meanChannelDifference(pixels, referencePixels("photo.jpg"), 48, 61), 10.0);
}

TEST_F(JpegImage, ErrorAfterTheHeaderIsReportedOnce)
{
    const auto image = loaded("badscan.jpg");
    EXPECT_EQ(image->Width(), 97);
    EXPECT_TRUE(image->Data()->multipleScans);
    EXPECT_THROW(image->Decode(), EJPEG);
    EXPECT_NO_THROW(image->Decode());
    QImage canvas(97, 61, QImage::Format_RGB32);
    QPainter painter(&canvas);
    EXPECT_NO_THROW(image->Draw(painter, canvas.rect()));
    EXPECT_EQ(image->Width(), 97);
    EXPECT_EQ(image->Height(), 61);
}

TEST_F(JpegImage, ErrorWhileShowingScansKeepsTheRowsDecodedSoFar)
{
    iradudo::jpegDefaults().progressiveDisplay = true;
    const auto image = loaded("badscan.jpg");
    try {
        image->Decode();
        FAIL() << "decoded a broken scan";
    } catch (const EJPEG& error) {
        EXPECT_EQ(error.code(), JERR_BAD_COMPONENT_ID);
    }
    const QImage partial = image->Image();
    ASSERT_EQ(partial.size(), QSize(97, 61));
    // The first scan (DC only) gives a coarse version of the picture down to the
    // last 16-row block, which would need the rest of that scan; below, black.
    EXPECT_LT(meanChannelDifference(partial, referencePixels("progressive.jpg"), 0, 32), 20.0);
    for (int y = 48; y < 61; ++y)
        EXPECT_EQ(partial.pixel(50, y), qRgb(0, 0, 0)) << y;
    EXPECT_NO_THROW(image->Decode());
    EXPECT_EQ(image->Image(), partial);
}

TEST_F(JpegImage, LoadsFromTheStreamsPositionAndReplacesTheOldPicture)
{
    std::ifstream file(pictureFile("gray.jpg"), std::ios::binary);
    std::stringstream stream;
    stream << "junk" << file.rdbuf();
    stream.seekg(4);
    const auto image = loaded("photo.jpg");
    image->Decode();
    image->LoadStream(stream);
    EXPECT_TRUE(image->Data()->grayscale);
    EXPECT_TRUE(image->Image().isNull());
    image->Decode();
    EXPECT_LE(maxChannelDifference(image->Image(), referencePixels("gray.jpg")), 3);
}

}  // namespace
