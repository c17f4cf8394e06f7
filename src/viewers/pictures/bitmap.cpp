// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/bitmap.h"

#include "base/byte_order.h"
#include "viewers/pictures/bmp_normalize.h"
#include "viewers/quiet_decode.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <cstring>
#include <istream>
#include <limits>

namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t infoHeaderSize = 40;

[[noreturn]] void invalidBitmap()
{
    throw EInvalidGraphic("Bitmap image is not valid");
}

// Reads up to `size` bytes; returns how many arrived.
std::size_t readSome(std::istream& stream, char* into, std::size_t size)
{
    stream.read(into, static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(stream.gcount());
}

void appendRest(std::istream& stream, QByteArray& data)
{
    char chunk[65536];
    for (;;) {
        const std::size_t got = readSome(stream, chunk, sizeof chunk);
        if (got == 0)
            break;
        data.append(chunk, static_cast<qsizetype>(got));
    }
}

// The uncompressed 8-bit form with a 40-byte header: rows go straight from the
// stream into the image, bottom-up or top-down. Returns a null image when the
// file is of another kind (nothing past the headers has been read then).
QImage readIndexed8(std::istream& stream, const unsigned char* header, std::int64_t maxPixels)
{
    const unsigned char* info = header + fileHeaderSize;
    const std::uint32_t dataOffset = iradudo::readLe32(header + 10);
    const std::int32_t width = static_cast<std::int32_t>(iradudo::readLe32(info + 4));
    const std::int32_t rawHeight = static_cast<std::int32_t>(iradudo::readLe32(info + 8));
    const std::uint32_t coloursUsed = iradudo::readLe32(info + 32);
    if (iradudo::readLe32(info) != infoHeaderSize || iradudo::readLe16(info + 12) != 1
        || iradudo::readLe16(info + 14) != 8 || iradudo::readLe32(info + 16) != 0)
        return {};
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<std::int32_t>::min() || coloursUsed > 256)
        return {};
    const std::int64_t height = rawHeight < 0 ? -std::int64_t(rawHeight) : rawHeight;
    const std::uint32_t paletteEntries = coloursUsed == 0 ? 256 : coloursUsed;
    const std::uint64_t paletteEnd = fileHeaderSize + infoHeaderSize + 4ull * paletteEntries;
    if (dataOffset < paletteEnd)
        return {};
    if (std::int64_t(width) * height > maxPixels)
        invalidBitmap();

    std::array<unsigned char, 4 * 256> palette{};
    const std::size_t paletteBytes = 4 * paletteEntries;
    if (readSome(stream, reinterpret_cast<char*>(palette.data()), paletteBytes) != paletteBytes)
        invalidBitmap();
    for (std::uint64_t gap = dataOffset - paletteEnd; gap > 0;) {
        char skip[256];
        const std::size_t step = gap < sizeof skip ? std::size_t(gap) : sizeof skip;
        if (readSome(stream, skip, step) != step)
            invalidBitmap();
        gap -= step;
    }

    QImage image(width, int(height), QImage::Format_Indexed8);
    if (image.isNull())
        invalidBitmap();
    QList<QRgb> colours(256, qRgb(0, 0, 0));
    for (std::uint32_t i = 0; i < paletteEntries; ++i)
        colours[qsizetype(i)] = qRgb(palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]);
    image.setColorTable(colours);

    const std::size_t stride = (std::size_t(width) + 3) & ~std::size_t(3);
    const bool bottomUp = rawHeight > 0;
    char padding[4];
    for (int row = 0; row < image.height(); ++row) {
        const int y = bottomUp ? image.height() - 1 - row : row;
        char* line = reinterpret_cast<char*>(image.scanLine(y));
        if (readSome(stream, line, std::size_t(width)) != std::size_t(width))
            invalidBitmap();
        const std::size_t pad = stride - std::size_t(width);
        if (pad != 0 && readSome(stream, padding, pad) != pad)
            invalidBitmap();
    }
    return image;
}

}  // namespace

void TBitmap::LoadStream(std::istream& stream)
{
    unsigned char header[fileHeaderSize + infoHeaderSize];
    const std::size_t got = readSome(stream, reinterpret_cast<char*>(header), sizeof header);
    if (got < fileHeaderSize + 4 || header[0] != 'B' || header[1] != 'M')
        invalidBitmap();

    QImage image;
    if (got == sizeof header)
        image = readIndexed8(stream, header, DecodeContext().limits.bmpPixels);
    if (image.isNull()) {
        QByteArray data(reinterpret_cast<const char*>(header), qsizetype(got));
        appendRest(stream, data);
        data = iradudo::normalizedBmp(data, DecodeContext().limits.bmpPixels);
        const iradudo::QuietDecode quiet;
        if (data.isEmpty() || !image.loadFromData(data, "BMP"))
            invalidBitmap();
    }
    image_ = std::move(image);
    Changed();
}

// A bitmap's file bound is the general one: the reader's budget of kBmpMaxPixels
// at 32 bits with the largest headers and palette is 256 MiB and 1162 bytes, just
// above it.
void TBitmap::FileTooLarge() const
{
    invalidBitmap();
}

void TBitmap::SetImage(QImage image)
{
    image_ = std::move(image);
    Changed();
}

void TBitmap::Assign(const TBitmap& source)
{
    image_ = source.image_;
    Changed();
}
