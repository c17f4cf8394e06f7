// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/png_check.h"

#include <gtest/gtest.h>

#include <string>

using namespace iradudo;

namespace {

std::string chunk(std::uint32_t length, const char* type, std::size_t present)
{
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>(length >> shift));
    bytes += type;
    bytes += std::string(present, 'x');
    bytes += "CRC!";
    return bytes;
}

const std::string signature("\x89PNG\r\n\x1a\n", 8);

}  // namespace

TEST(PngCheck, ChunksMustFitTheBytesPresent)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool fits;
    };
    const Case cases[] = {
        {"whole", signature + chunk(13, "IHDR", 13) + chunk(3, "IDAT", 3) + chunk(0, "IEND", 0), true},
        {"bytes after IEND", signature + chunk(0, "IEND", 0) + "trailing junk", true},
        {"no IEND", signature + chunk(13, "IHDR", 13), true},
        {"huge chunk", signature + chunk(13, "IHDR", 13) + chunk(0x7FFFFFF0, "IDAT", 3), false},
        {"chunk one byte too long", signature + chunk(4, "IDAT", 3), false},
        {"length above 2^31", signature + chunk(0xFFFFFFFF, "IDAT", 0), false},
        {"not a PNG", "GIF89a" + chunk(0, "IEND", 0), false},
        {"signature only", signature, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pngChunksFit(c.bytes), c.fits) << c.name;
    EXPECT_TRUE(isPng(signature));
    EXPECT_FALSE(isPng(signature.substr(0, 7)));
}
