#include "viewers/icon.h"

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
    if (!reader.read(&image) || image.isNull())
        throw EInvalidGraphic("Icon image is not valid");
    image_ = std::move(image);
    Changed();
}
