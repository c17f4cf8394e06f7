// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/gif_bitmap.h"

#include "gif/gif.h"

#include <QImage>
#include <QList>

namespace {

// Only the first image is read, of at most kGifMaxPixels pixels. Its LZW data
// spends at most one 12-bit code per pixel, in blocks of 255 bytes behind a
// length byte; 1 MiB more holds the header, both colour tables and the
// extensions before the image. About 97 MB.
constexpr std::size_t kMaxGifFileSize
    = std::size_t(iradudo::kGifMaxPixels) * 12 / 8 / 255 * 256 + (std::size_t(1) << 20);

}  // namespace

std::size_t TGifBitmap::MaxFileSize() const
{
    return kMaxGifFileSize;
}

void TGifBitmap::FileTooLarge() const
{
    throw EGifException(iradudo::GifFailure::BadBitmap);
}

// The decoder's indices and palette go straight into an 8-bit image: the same
// picture its bitmap file gives (TGif::WriteBitmap, which gif2bmp writes), without
// writing and reading that file in memory.
void TGifBitmap::LoadStream(std::istream& stream)
{
    TGif gif(DecodeContext());
    gif.Load(&stream);

    QImage image(gif.width(), gif.height(), QImage::Format_Indexed8);
    if (image.isNull())
        throw EGifException(iradudo::GifFailure::BadBitmap);
    std::uint8_t rgb[256 * 3];
    gif.ReadPalette(rgb);
    QList<QRgb> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[i] = qRgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    image.setColorTable(colours);
    gif.ReadIndices(image.bits(), static_cast<std::size_t>(image.bytesPerLine()));
    SetImage(std::move(image));
}
