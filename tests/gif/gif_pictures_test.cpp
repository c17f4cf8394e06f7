// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures made by ImageMagick, Pillow and giflib's gifbuild (data/make_pictures.sh),
// decoded here and by giflib.
#include "gif/gif.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace iradudo::test;

namespace {

const std::string kPictures = IRADUDO_SOURCE_DIR "/tests/gif/data/pictures/";

class GifPicture : public testing::TestWithParam<const char*> { };

}  // namespace

TEST_P(GifPicture, MatchesGiflib)
{
    const std::string gif = readBinaryFile(kPictures + GetParam());
    const Picture ours = readHandOff(decodeToBitmap(gif));
    const Picture reference = decodeWithGiflib(gif);
    EXPECT_EQ(ours.width, reference.width);
    EXPECT_EQ(ours.height, reference.height);
    EXPECT_EQ(ours.palette, reference.palette);
    EXPECT_EQ(ours.pixels, reference.pixels);
}

INSTANTIATE_TEST_SUITE_P(Tools, GifPicture,
    testing::Values("magick_plasma.gif", "magick_interlaced.gif", "magick_mono.gif", "magick_no_extension.gif",
        "pillow_noise.gif", "pillow_wide.gif", "pillow_narrow.gif", "pillow_interlaced.gif", "gifbuild_two_images.gif",
        "gifbuild_local_map.gif", "gifbuild_interlaced.gif"),
    [](const testing::TestParamInfo<const char*>& info) {
        std::string name = info.param;
        return name.substr(0, name.find('.'));
    });

TEST(GifPictures, ExtensionBeforeTheImageIsBadDataThoughGiflibReadsIt)
{
    const std::string gif = readBinaryFile(kPictures + "magick_extension.gif");
    EXPECT_EQ(decodeWithGiflib(gif).width, 12);
    try {
        decodeToBitmap(gif);
        FAIL() << "the extension block was accepted";
    } catch (const EGifException& error) {
        EXPECT_STREQ(error.what(), "Bad data");
    }
    // The same picture without extensions.
    const Picture plain = readHandOff(decodeToBitmap(readBinaryFile(kPictures + "magick_no_extension.gif")));
    EXPECT_EQ(plain.pixels, decodeWithGiflib(gif).pixels);
}

TEST(GifPictures, EveryPictureIsKept)
{
    // A new picture in the folder must also get a test above.
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kPictures))
        count += entry.path().extension() == ".gif";
    EXPECT_EQ(count, 12);
}
