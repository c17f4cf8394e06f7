// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace iradudo {

// Start-up of the picture formats, before anything else runs: registers "gif"
// (the program's own GIF decoder), then "jpeg" and "jpg", and makes JPEG
// pictures decode to 8 bits per pixel on a screen of 8 or fewer bits per pixel.
void initialisePictureFormats(int screenBitsPerPixel);

// The JPEG default pixel format for a screen of that depth (bits per pixel
// times colour planes): 8 bits up to 8, else 24.
void chooseJpegPixelFormat(int screenBitsPerPixel);

// The counterpart at the end of the run: the JPEG class removes its entries.
void finalisePictureFormats();

}  // namespace iradudo
