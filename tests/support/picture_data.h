// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <string>

namespace iradudo::test {

// Where the generated picture files are (made at build time by make_pictures.py).
std::string pictureFile(const std::string& name);

// The pixels Pillow decoded from the named file when it was made (NAME.ppm).
QImage referencePixels(const std::string& name);

// Largest difference of any colour channel between the two images, compared
// as RGB; -1 when their sizes differ.
int maxChannelDifference(const QImage& image, const QImage& reference);

// Mean absolute channel difference over the rows [firstRow, lastRow).
double meanChannelDifference(const QImage& image, const QImage& reference, int firstRow, int lastRow);

}  // namespace iradudo::test
