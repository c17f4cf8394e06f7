// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/gif_bitmap.h"

#include "gif/gif.h"

#include <sstream>
#include <string>

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
