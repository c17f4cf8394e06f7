// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/graphic.h"

#include "base/file_stream.h"

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cstdint>
#include <istream>
#include <sys/stat.h>

iradudo::FileHandle iradudo::openPictureFile(const std::string& fileName)
{
    return checkPictureFile(openRegularFile(fileName), fileName);
}

iradudo::FileHandle iradudo::checkPictureFile(FileHandle file, const std::string& fileName)
{
    struct stat info { };
    if (!file.valid() || ::fstat(file.fd(), &info) != 0
        || static_cast<std::uintmax_t>(info.st_size) > kMaxPictureFileSize)
        throw EFOpenError(fileName);
    return file;
}

TGraphic::~TGraphic() = default;

void TGraphic::LoadFile(const std::string& fileName)
{
    LoadFile(iradudo::openRegularFile(fileName), fileName);
}

void TGraphic::LoadFile(iradudo::FileHandle opened, const std::string& fileName)
{
    iradudo::FileHandle handle = iradudo::checkPictureFile(std::move(opened), fileName);
    struct stat info { };
    const std::size_t bound = std::min(MaxFileSize(), iradudo::kMaxPictureFileSize);
    if (::fstat(handle.fd(), &info) != 0 || static_cast<std::uintmax_t>(info.st_size) > bound)
        FileTooLarge();
    iradudo::FileStreamBuffer file(std::move(handle), bound);
    std::istream stream(&file);
    LoadStream(stream);
}

// Reached only when the file cannot be examined: a format without a bound of its
// own has the general one, which openPictureFile has checked.
void TGraphic::FileTooLarge() const
{
    throw EInvalidGraphic("Invalid graphic format");
}

void TGraphic::Draw(QPainter& painter, const QRect& rect)
{
    Decode();
    const QImage image = Image();
    if (image.isNull())
        return;
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Grayscale8) {
        if (drawCache_.isNull() || drawCacheKey_ != image.cacheKey()) {
            drawCache_ = image.convertToFormat(QImage::Format_RGB32);
            drawCacheKey_ = image.cacheKey();
        }
        painter.drawImage(rect, drawCache_);
    } else {
        painter.drawImage(rect, image);
    }
}

void TGraphic::Changed()
{
    drawCache_ = QImage();
    if (onChange_)
        onChange_(*this);
}

void TGraphic::Progress(int percent)
{
    if (onProgress_)
        onProgress_(*this, percent);
}
