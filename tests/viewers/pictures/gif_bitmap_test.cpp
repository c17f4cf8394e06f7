// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/picture_data.h"

#include "gif/gif.h"
#include "support/temp_dir.h"
#include "viewers/pictures/gif_bitmap.h"

#include <gtest/gtest.h>

#include <sstream>

using iradudo::test::maxChannelDifference;
using iradudo::test::pictureFile;
using iradudo::test::referencePixels;

namespace {

std::string loadError(TGifBitmap& bitmap, const std::string& name)
{
    try {
        bitmap.LoadFile(pictureFile(name));
    } catch (const EGifException& error) {
        return error.what();
    }
    return "(loaded)";
}

TEST(GifBitmap, DecodesToAnEightBitPictureLikeAnotherDecoder)
{
    for (const char* name : {"picture.gif", "interlaced.gif", "twocolour.gif"}) {
        TGifBitmap bitmap;
        bitmap.LoadFile(pictureFile(name));
        const QImage image = bitmap.Image();
        EXPECT_EQ(image.format(), QImage::Format_Indexed8) << name;
        EXPECT_EQ(image.colorCount(), 256) << name;
        EXPECT_EQ(maxChannelDifference(image, referencePixels(name)), 0) << name;
    }
}

TEST(GifBitmap, ShortColourTableLeavesTheRestBlack)
{
    TGifBitmap bitmap;
    bitmap.LoadFile(pictureFile("twocolour.gif"));
    const QList<QRgb> colours = bitmap.Image().colorTable();
    ASSERT_EQ(colours.size(), 256);
    EXPECT_EQ(colours[0], qRgb(10, 20, 30));
    EXPECT_EQ(colours[1], qRgb(200, 100, 50));
    for (int i = 2; i < 256; ++i)
        EXPECT_EQ(colours[i], qRgb(0, 0, 0)) << i;
}

TEST(GifBitmap, ErrorsPassOnAndTheOldPictureStays)
{
    TGifBitmap bitmap;
    bitmap.LoadFile(pictureFile("picture.gif"));
    int changes = 0;
    bitmap.SetOnChange([&changes](TGraphic&) { ++changes; });
    EXPECT_EQ(loadError(bitmap, "bitmap.gif"), "Not a GIF file");
    EXPECT_EQ(loadError(bitmap, "extension.gif"), "Bad data");
    EXPECT_EQ(loadError(bitmap, "empty.jpg"), "Unexpected EOF");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(maxChannelDifference(bitmap.Image(), referencePixels("picture.gif")), 0);
}

TEST(GifBitmap, ReadsFromTheStreamsPosition)
{
    std::stringstream stream;
    stream << "prefix" << iradudo::test::readFile(pictureFile("picture.gif"));
    stream.seekg(6);
    TGifBitmap bitmap;
    bitmap.LoadStream(stream);
    EXPECT_EQ(maxChannelDifference(bitmap.Image(), referencePixels("picture.gif")), 0);
}

}  // namespace
