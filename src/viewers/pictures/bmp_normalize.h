// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>

namespace iradudo {

// Rewrites a BMP file into a form that Qt's reader decodes completely and the
// same way every time: run-length encoded pixels (RLE4, RLE8) are expanded into
// an uncompressed 8-bit picture, pixels that the runs skip or that a truncated
// file lacks become palette index 0 (or black), and the 56-byte header with an
// alpha mask becomes the 108-byte header that carries the same masks. Other files
// come back unchanged. Returns an empty array when the file cannot be made whole,
// or claims more than maxPixels: a small file must not expand into gigabytes.
QByteArray normalizedBmp(const QByteArray& file, std::int64_t maxPixels);

}  // namespace iradudo
