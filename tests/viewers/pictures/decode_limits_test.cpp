// SPDX-License-Identifier: GPL-3.0-or-later
// Each format's pixel limit, as the load's decode context gives it: a picture of
// exactly the limit loads, one pixel over is refused with the format's own
// message. The pictures come from Pillow and ImageMagick; their sizes from the
// reference decode.
#include "support/picture_data.h"

#include "base/decode_context.h"
#include "viewers/pictures/picture.h"
#include "viewers/pictures/picture_formats.h"

#include <gtest/gtest.h>

#include <jerror.h>

#include <string>

using iradudo::DecodeContext;
using iradudo::DecodeLimits;
using iradudo::test::pictureFile;
using iradudo::test::referencePixels;

namespace {

// The load's failure, or "" when the picture loads and decodes whole.
std::string loadWith(const std::string& name, const DecodeContext& context)
{
    try {
        TPicture picture;
        picture.LoadFile(pictureFile(name), context);
        picture.Graphic()->Decode();
        const QImage image = picture.Graphic()->Image();
        return image.size() == referencePixels(name).size() ? "" : "(wrong size)";
    } catch (const std::exception& error) {
        return error.what();
    }
}

TEST(DecodeLimits, EachFormatRefusesOnePixelOverItsLimitWithItsOwnMessage)
{
    static const bool registered = [] {
        iradudo::initialisePictureFormats(24);
        return true;
    }();
    (void)registered;
    const std::string jpegTooBig = "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG);
    const struct {
        const char* file;
        std::int64_t DecodeLimits::*limit;
        std::string refusal;
    } table[] = {
        {"picture.gif", &DecodeLimits::gifPixels, "Bad bitmap"},
        {"interlaced.gif", &DecodeLimits::gifPixels, "Bad bitmap"},
        {"indexed.bmp", &DecodeLimits::bmpPixels, "Bitmap image is not valid"},
        {"truecolour.bmp", &DecodeLimits::bmpPixels, "Bitmap image is not valid"},
        {"rle.bmp", &DecodeLimits::bmpPixels, "Bitmap image is not valid"},
        {"photo.jpg", &DecodeLimits::jpegPixels, jpegTooBig},
        {"gray.jpg", &DecodeLimits::jpegPixels, jpegTooBig},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.file);
        const QSize size = referencePixels(row.file).size();
        ASSERT_FALSE(size.isEmpty());
        const std::int64_t pixels = std::int64_t(size.width()) * size.height();

        DecodeContext context;
        context.limits.*row.limit = pixels;
        EXPECT_EQ(loadWith(row.file, context), "");
        context.limits.*row.limit = pixels - 1;
        EXPECT_EQ(loadWith(row.file, context), row.refusal);

        // Another format's limit does not apply.
        DecodeContext others;
        others.limits = {1, 1, 1};
        others.limits.*row.limit = pixels;
        EXPECT_EQ(loadWith(row.file, others), "");
    }
}

TEST(DecodeLimits, TheDefaultsAreTheFormatsFigures)
{
    const DecodeLimits limits;
    EXPECT_EQ(limits.gifPixels, 64'000'000);
    EXPECT_EQ(limits.bmpPixels, 64 * 1024 * 1024);
    EXPECT_EQ(limits.jpegPixels, 8192 * 8192);
}

}  // namespace
