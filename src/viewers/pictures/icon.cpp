// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/icon.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <istream>

void TIcon::LoadStream(std::istream& stream)
{
    QByteArray data;
    char chunk[65536];
    while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0)
        data.append(chunk, qsizetype(stream.gcount()));

    // An icon directory starts with reserved 0 and type 1; Qt's reader would
    // otherwise guess at other formats.
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    if (data.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0)
        throw EInvalidGraphic("Icon image is not valid");
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QImage image;
    const int count = reader.imageCount() > 0 ? reader.imageCount() : 1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage candidate;
        if (!reader.read(&candidate) || candidate.isNull())
            continue;
        if (image.isNull() || qint64(candidate.width()) * candidate.height() > qint64(image.width()) * image.height())
            image = std::move(candidate);
    }
    if (image.isNull())
        throw EInvalidGraphic("Icon image is not valid");
    image_ = std::move(image);
    Changed();
}
