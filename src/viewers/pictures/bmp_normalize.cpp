// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/bmp_normalize.h"

#include "base/byte_order.h"
#include <cstdint>
#include <limits>
#include <vector>

namespace iradudo {
namespace {

constexpr qsizetype kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kV3Header = 56;  // the 40-byte header, then the four channel masks
constexpr std::uint32_t kV4Header = 108;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

std::uint32_t u32(const QByteArray& bytes, qsizetype at)
{
    return readLe32(bytes.constData() + at);
}

std::uint16_t u16(const QByteArray& bytes, qsizetype at)
{
    return readLe16(bytes.constData() + at);
}

void put32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    writeLe32(bytes.data() + at, value);
}

void put16(QByteArray& bytes, qsizetype at, std::uint16_t value)
{
    writeLe16(bytes.data() + at, value);
}

struct Layout {
    std::int32_t width = 0;
    std::int32_t rawHeight = 0;
    std::int64_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t headerSize = 0;
};

bool readLayout(const QByteArray& file, Layout& layout)
{
    if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M')
        return false;
    layout.headerSize = u32(file, kFileHeader);
    if (layout.headerSize < kInfoHeader || layout.headerSize > 1024)
        return false;
    layout.dataOffset = u32(file, 10);
    layout.width = static_cast<std::int32_t>(u32(file, kFileHeader + 4));
    layout.rawHeight = static_cast<std::int32_t>(u32(file, kFileHeader + 8));
    layout.bitsPerPixel = u16(file, kFileHeader + 14);
    layout.compression = u32(file, kFileHeader + 16);
    if (layout.width <= 0 || layout.rawHeight == 0 || layout.rawHeight == std::numeric_limits<std::int32_t>::min())
        return false;
    layout.height = layout.rawHeight < 0 ? -std::int64_t(layout.rawHeight) : layout.rawHeight;
    return true;
}

// Decodes the runs into one palette index a pixel, rows in file order (bottom-up).
// Skipped pixels and rows that the data never reaches stay 0.
std::vector<unsigned char> expandRuns(const QByteArray& file, const Layout& layout)
{
    const std::size_t width = std::size_t(layout.width);
    const std::size_t height = std::size_t(layout.height);
    std::vector<unsigned char> pixels(width * height, 0);
    const bool four = layout.compression == kRle4;
    std::size_t x = 0;
    std::size_t y = 0;
    auto put = [&](unsigned char index) {
        if (x < width && y < height)
            pixels[y * width + x] = index;
        ++x;
    };
    qsizetype at = layout.dataOffset;
    const qsizetype end = file.size();
    while (at + 2 <= end && y < height) {
        const auto count = static_cast<unsigned char>(file[at]);
        const auto value = static_cast<unsigned char>(file[at + 1]);
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // move right and up
            if (at + 2 > end)
                break;
            x += static_cast<unsigned char>(file[at]);
            y += static_cast<unsigned char>(file[at + 1]);
            at += 2;
        } else {  // `value` literal pixels, padded to a 16-bit boundary
            const qsizetype bytes = four ? (value + 1) / 2 : value;
            for (unsigned i = 0; i < value && at + qsizetype(four ? i / 2 : i) < end; ++i) {
                const auto byte = static_cast<unsigned char>(file[at + (four ? i / 2 : i)]);
                put(four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            at += bytes + (bytes & 1);
        }
    }
    return pixels;
}

QByteArray uncompressedFromRuns(const QByteArray& file, const Layout& layout)
{
    if (layout.rawHeight < 0 || layout.headerSize != kInfoHeader)
        return {};
    const std::uint32_t coloursUsed = u32(file, kFileHeader + 32);
    const std::uint32_t maxColours = layout.compression == kRle4 ? 16 : 256;
    const std::uint32_t colours = coloursUsed == 0 || coloursUsed > maxColours ? maxColours : coloursUsed;
    const qsizetype paletteAt = kFileHeader + kInfoHeader;
    const qsizetype paletteBytes = qsizetype(colours) * 4;
    if (file.size() < paletteAt + paletteBytes || layout.dataOffset < paletteAt + paletteBytes)
        return {};

    const std::vector<unsigned char> pixels = expandRuns(file, layout);
    const qsizetype stride = (qsizetype(layout.width) + 3) & ~qsizetype(3);
    const qsizetype dataAt = paletteAt + paletteBytes;
    QByteArray out(dataAt + stride * qsizetype(layout.height), '\0');
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, std::uint32_t(out.size()));
    put32(out, 10, std::uint32_t(dataAt));
    put32(out, kFileHeader, kInfoHeader);
    put32(out, kFileHeader + 4, std::uint32_t(layout.width));
    put32(out, kFileHeader + 8, std::uint32_t(layout.rawHeight));
    put16(out, kFileHeader + 12, 1);
    put16(out, kFileHeader + 14, 8);
    put32(out, kFileHeader + 32, colours);
    out.replace(paletteAt, paletteBytes, file.constData() + paletteAt, paletteBytes);
    for (qsizetype row = 0; row < qsizetype(layout.height); ++row)
        out.replace(dataAt + row * stride, layout.width,
            reinterpret_cast<const char*>(pixels.data()) + row * layout.width, layout.width);
    return out;
}

}  // namespace

QByteArray normalizedBmp(const QByteArray& file, std::int64_t maxPixels)
{
    Layout layout;
    if (!readLayout(file, layout))
        return file;
    if (std::int64_t(layout.width) * layout.height > maxPixels)
        return {};
    if ((layout.compression == kRle8 && layout.bitsPerPixel == 8)
        || (layout.compression == kRle4 && layout.bitsPerPixel == 4))
        return uncompressedFromRuns(file, layout);

    QByteArray out = file;
    if (layout.headerSize == kV3Header) {
        out.insert(kFileHeader + kV3Header, QByteArray(kV4Header - kV3Header, '\0'));
        put32(out, kFileHeader, kV4Header);
        put32(out, 10, layout.dataOffset + (kV4Header - kV3Header));
        put32(out, 2, std::uint32_t(out.size()));
        layout.dataOffset += kV4Header - kV3Header;
    }
    // Uncompressed or bit-field pixels: a file cut short gets its missing rows
    // as zero bytes, which is what a reader would otherwise leave to chance.
    if ((layout.compression == 0 || layout.compression == 3) && layout.bitsPerPixel > 0 && layout.bitsPerPixel <= 32) {
        // Pixels said to start past the end are no cut file but a broken one;
        // padding up to them would let a few bytes claim gigabytes.
        if (std::int64_t(layout.dataOffset) > out.size())
            return {};
        const std::int64_t stride = ((std::int64_t(layout.width) * layout.bitsPerPixel + 31) / 32) * 4;
        const std::int64_t needed = std::int64_t(layout.dataOffset) + stride * layout.height;
        if (needed > out.size())
            out.append(QByteArray(qsizetype(needed - out.size()), '\0'));
    }
    return out;
}

}  // namespace iradudo
