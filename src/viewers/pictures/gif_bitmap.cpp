// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/gif_bitmap.h"

#include "gif/gif.h"

#include <sstream>
#include <string>

namespace {

// Only the first image is read, and the decoder takes at most 64,000,000 pixels.
// Its LZW data spends at most one 12-bit code per pixel, in blocks of 255 bytes
// behind a length byte; 1 MiB more holds the header, both colour tables and the
// extensions before the image. About 97 MB.
constexpr std::size_t kMaxGifPixels = 64'000'000;
constexpr std::size_t kMaxGifFileSize = kMaxGifPixels * 12 / 8 / 255 * 256 + (std::size_t(1) << 20);

}  // namespace

std::size_t TGifBitmap::MaxFileSize() const
{
    return kMaxGifFileSize;
}

void TGifBitmap::FileTooLarge() const
{
    throw EGifException(iradudo::GifFailure::BadBitmap);
}

void TGifBitmap::LoadStream(std::istream& stream)
{
    TGif gif;
    gif.Load(&stream);

    // Room for the whole bitmap file up front, so the writer never regrows it.
    const std::size_t rowBytes = (static_cast<std::size_t>(gif.width()) + 3) & ~std::size_t(3);
    std::string buffer;
    buffer.reserve(1078 + rowBytes * static_cast<std::size_t>(gif.height()));
    std::stringstream memory(std::move(buffer), std::ios::in | std::ios::out | std::ios::binary);
    gif.WriteBitmap(memory);

    TBitmap bitmap;
    bitmap.LoadStream(memory);
    Assign(bitmap);
}
