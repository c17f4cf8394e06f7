// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/picture_data.h"

#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/icon.h"

#include "support/memory_probe.h"
#include "support/temp_dir.h"

#include <QPainter>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <sstream>

using iradudo::test::maxChannelDifference;
using iradudo::test::pictureFile;
using iradudo::test::referencePixels;

namespace {

TEST(Bitmap, ReadsEveryCommonDepthLikeAnotherDecoder)
{
    for (const char* name : {"indexed.bmp", "truecolour.bmp", "sixteen.bmp", "mono.bmp", "rle.bmp"}) {
        TBitmap bitmap;
        bitmap.LoadFile(pictureFile(name));
        EXPECT_EQ(maxChannelDifference(bitmap.Image(), referencePixels(name)), 0) << name;
    }
}

// Runs that skip pixels or stop early, a cut file: whatever the file does not
// give is palette index 0 (or black), never memory left over from elsewhere.
// The test also runs with MALLOC_PERTURB_ set, which fills fresh memory with a
// pattern that a leftover pixel would show.
TEST(BitmapGaps, MissingPixelsAreIndexZeroAndValidHeadersLoad)
{
    for (const char* name :
        {"rle8-skips.bmp", "rle8-cut.bmp", "rle4-skips.bmp", "truecolour-short.bmp", "bitfields56.bmp"}) {
        TBitmap bitmap;
        bitmap.LoadFile(pictureFile(name));
        EXPECT_EQ(maxChannelDifference(bitmap.Image(), referencePixels(name)), 0) << name;
    }
}

TEST(Bitmap, EightBitFormKeepsItsIndicesAndPalette)
{
    TBitmap bitmap;
    bitmap.LoadFile(pictureFile("indexed.bmp"));
    const QImage image = bitmap.Image();
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.colorCount(), 256);
    EXPECT_EQ(bitmap.Width(), 37);
    EXPECT_EQ(bitmap.Height(), 23);
}

TEST(Bitmap, TopDownRowsAreReadInOrder)
{
    // The same picture with its height negated and its rows reversed.
    std::string bytes = iradudo::test::readFile(pictureFile("indexed.bmp"));
    const std::size_t offset = std::uint8_t(bytes[10]) | std::uint8_t(bytes[11]) << 8;
    const std::size_t stride = 40;
    const int height = 23;
    std::string flipped = bytes.substr(0, offset);
    for (int row = height - 1; row >= 0; --row)
        flipped += bytes.substr(offset + std::size_t(row) * stride, stride);
    const std::int32_t negative = -height;
    for (int i = 0; i < 4; ++i)
        flipped[22 + i] = char((std::uint32_t(negative) >> (8 * i)) & 0xFF);
    std::istringstream stream(flipped);
    TBitmap bitmap;
    bitmap.LoadStream(stream);
    EXPECT_EQ(maxChannelDifference(bitmap.Image(), referencePixels("indexed.bmp")), 0);
}

TEST(Bitmap, DamagedFilesFailAndKeepTheOldPicture)
{
    TBitmap bitmap;
    bitmap.LoadFile(pictureFile("truecolour.bmp"));
    int changes = 0;
    bitmap.SetOnChange([&changes](TGraphic&) { ++changes; });
    for (const char* name : {"short.bmp", "photo.jpg", "empty.jpg"}) {
        try {
            bitmap.LoadFile(pictureFile(name));
            ADD_FAILURE() << name << " loaded";
        } catch (const EInvalidGraphic& error) {
            EXPECT_STREQ(error.what(), "Bitmap image is not valid") << name;
        }
    }
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(maxChannelDifference(bitmap.Image(), referencePixels("truecolour.bmp")), 0);
}

// A 66-byte file whose pixels would start 687 MB in is broken, not cut short.
TEST(Bitmap, PixelsPastTheEndFailWithoutTheirMemory)
{
    const std::string bytes = iradudo::test::readFile(std::string(IRADUDO_FUZZ_BMP_DATA) + "/pixels-past-end.bmp");
    std::istringstream stream(bytes);
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadStream(stream), EInvalidGraphic);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(iradudo::test::peakGrowthAbove(64 * 1024,
                  [&] {
                      std::istringstream again(bytes);
                      try {
                          TBitmap().LoadStream(again);
                      } catch (const EInvalidGraphic&) {
                      }
                  }),
        0);
#endif
}

TEST(Bitmap, DrawsScaledIntoTheRectangle)
{
    TBitmap bitmap;
    bitmap.LoadFile(pictureFile("indexed.bmp"));
    QImage canvas(74, 46, QImage::Format_RGB32);
    QPainter painter(&canvas);
    bitmap.Draw(painter, canvas.rect());
    painter.end();
    const QImage reference = referencePixels("indexed.bmp");
    EXPECT_EQ(QColor(canvas.pixel(2 * 5 + 1, 2 * 7 + 1)), QColor(reference.pixel(5, 7)));
    EXPECT_EQ(QColor(canvas.pixel(2 * 36 + 1, 2 * 22 + 1)), QColor(reference.pixel(36, 22)));
}

TEST(Icon, ShowsTheLargestImageOfTheFile)
{
    TIcon icon;
    icon.LoadFile(pictureFile("two.ico"));
    EXPECT_EQ(icon.Width(), 32);
    EXPECT_EQ(icon.Height(), 32);
    EXPECT_EQ(maxChannelDifference(icon.Image(), referencePixels("two.ico")), 0);
}

TEST(Icon, OtherFilesAreNotIcons)
{
    TIcon icon;
    for (const char* name : {"indexed.bmp", "empty.jpg", "picture.gif"}) {
        try {
            icon.LoadFile(pictureFile(name));
            ADD_FAILURE() << name << " loaded";
        } catch (const EInvalidGraphic& error) {
            EXPECT_STREQ(error.what(), "Icon image is not valid") << name;
        }
    }
    EXPECT_TRUE(icon.Empty());
}

}  // namespace

namespace {

int qtMessages = 0;

void countMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
    ++qtMessages;
}

std::string iconFile(std::uint16_t declared, const std::string& image)
{
    std::string file{0, 0, 1, 0, char(declared & 0xFF), char(declared >> 8)};
    if (!image.empty()) {
        const std::uint32_t size = std::uint32_t(image.size());
        const std::uint32_t offset = 6 + 16;
        file += std::string{1, 1, 0, 0, 1, 0, 32, 0};
        for (std::uint32_t value : {size, offset})
            for (int i = 0; i < 4; ++i)
                file.push_back(char(value >> (8 * i)));
        file += image;
    }
    return file;
}

}  // namespace

TEST(Icon, DirectoryThatClaimsThousandsOfImagesFailsQuietly)
{
    iradudo::test::TempDir dir;
    const auto path = dir.writeFile("claims.ico", iconFile(65535, ""));
    qtMessages = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countMessage);
    TIcon icon;
    EXPECT_THROW(icon.LoadFile(path.string()), EInvalidGraphic);
    qInstallMessageHandler(previous);
    EXPECT_EQ(qtMessages, 0);
}

TEST(Icon, PngEntryThatDeclaresAHugeChunkCostsNoMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own reservations hide the peak";
#else
    iradudo::test::TempDir dir;
    const auto path = dir.writeFile("bomb.ico", iconFile(1, iradudo::test::chunkBombPng()));
    EXPECT_EQ(iradudo::test::peakGrowthAbove(256 * 1024,
                  [&] {
                      TIcon icon;
                      try {
                          icon.LoadFile(path.string());
                      } catch (const EInvalidGraphic&) {
                      }
                  }),
        0);
#endif
}
