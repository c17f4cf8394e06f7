// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/picture_data.h"

#include "support/temp_dir.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace iradudo::test {

std::string pictureFile(const std::string& name)
{
    return std::string(IRADUDO_PICTURES_DATA) + "/" + name;
}

QImage referencePixels(const std::string& name)
{
    const std::string bytes = readFile(pictureFile(name) + ".ppm");
    std::istringstream in(bytes);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0)
        throw std::runtime_error("bad reference " + name);
    const std::size_t offset = static_cast<std::size_t>(in.tellg());
    if (bytes.size() < offset + std::size_t(width) * height * 3)
        throw std::runtime_error("short reference " + name);
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::copy_n(bytes.data() + offset + std::size_t(y) * width * 3, width * 3, image.scanLine(y));
    return image;
}

int maxChannelDifference(const QImage& image, const QImage& reference)
{
    if (image.size() != reference.size())
        return -1;
    const QImage a = image.convertToFormat(QImage::Format_RGB888);
    const QImage b = reference.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < a.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

double meanChannelDifference(const QImage& image, const QImage& reference, int firstRow, int lastRow)
{
    const QImage a = image.convertToFormat(QImage::Format_RGB888);
    const QImage b = reference.convertToFormat(QImage::Format_RGB888);
    double total = 0;
    long count = 0;
    for (int y = firstRow; y < lastRow; ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < a.width() * 3; ++i, ++count)
            total += std::abs(int(p[i]) - int(q[i]));
    }
    return count ? total / double(count) : 0;
}

}  // namespace iradudo::test
