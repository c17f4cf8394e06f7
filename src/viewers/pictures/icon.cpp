// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/icon.h"

#include "base/byte_order.h"
#include "base/png_check.h"
#include "viewers/quiet_decode.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <istream>
#include <string_view>

namespace {

constexpr int kIconDirectoryHeader = 6;
constexpr int kIconEntrySize = 16;
// Icon files hold a handful of sizes and depths; a directory that claims
// thousands is damage, and each claimed entry costs the reader a seek.
constexpr int kMaxIconImages = 64;
// The largest sensible icon file: the directory, then as many images as are read,
// each at most 256 x 256 at 32 bits with its header and 1-bit mask (an image stored
// as PNG is smaller than that). About 16.5 MiB.
constexpr std::size_t kLargestIconImage = 40 + 256 * 256 * 4 + 256 * 256 / 8;
constexpr std::size_t kMaxIconFileSize = 6 + kMaxIconImages * (kIconEntrySize + kLargestIconImage);

// The entries the directory declares that also fit in the file.
int iconEntriesPresent(const QByteArray& data)
{
    const auto declared = static_cast<qsizetype>(iradudo::readLe16(data.constData() + 4));
    return int(std::min(declared, (data.size() - kIconDirectoryHeader) / kIconEntrySize));
}

// An entry stored as PNG goes to the reader only when its chunks fit its bytes:
// the reader would otherwise reserve whatever length a chunk claims.
bool entryIsSafeToRead(const QByteArray& data, int index)
{
    const qsizetype entry = kIconDirectoryHeader + qsizetype(index) * kIconEntrySize;
    const qsizetype size = iradudo::readLe32(data.constData() + entry + 8);
    const qsizetype offset = iradudo::readLe32(data.constData() + entry + 12);
    if (offset >= data.size())
        return false;
    const std::string_view bytes(data.constData() + offset, std::size_t(std::min(size, data.size() - offset)));
    return !iradudo::isPng(bytes) || iradudo::pngChunksFit(bytes);
}

}  // namespace

std::size_t TIcon::MaxFileSize() const
{
    return kMaxIconFileSize;
}

void TIcon::FileTooLarge() const
{
    throw EInvalidGraphic("Icon image is not valid");
}

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
    const iradudo::QuietDecode quiet;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QImage image;
    const int count = std::min(iconEntriesPresent(data), kMaxIconImages);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        if (!entryIsSafeToRead(data, i))
            continue;
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
