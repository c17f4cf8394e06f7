// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/picture_formats.h"

#include "viewers/pictures/gif_bitmap.h"
#include "viewers/pictures/jpeg_image.h"
#include "viewers/pictures/picture.h"

namespace iradudo {

void initialisePictureFormats(int screenBitsPerPixel)
{
    TPicture::RegisterFormat("gif", "GIF-Format", graphicClassOf<TGifBitmap>());
    TPicture::RegisterFormat("jpeg", "JPEG Image File", graphicClassOf<TJPEGImage>());
    TPicture::RegisterFormat("jpg", "JPEG Image File", graphicClassOf<TJPEGImage>());
    chooseJpegPixelFormat(screenBitsPerPixel);
}

void chooseJpegPixelFormat(int screenBitsPerPixel)
{
    jpegDefaults().pixelFormat = screenBitsPerPixel <= 8 ? JpegPixelFormat::Bits8 : JpegPixelFormat::Bits24;
}

void finalisePictureFormats()
{
    TPicture::UnregisterFormats(graphicClassOf<TJPEGImage>());
}

}  // namespace iradudo
