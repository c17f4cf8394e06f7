// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/graphic.h"

#include "platform/file_handle.h"

#include <QPainter>
#include <QRect>

#include <sstream>

std::string iradudo::readPictureFile(const std::string& fileName)
{
    // A file too large to hold, or one whose medium fails while it is read, has
    // not been opened for reading as far as the viewer can tell.
    FileHandle file = openRegularFile(fileName);
    std::string bytes;
    if (!file.valid() || readWholeFile(file, kMaxPictureFileSize, bytes) != WholeFileRead::Complete)
        throw EFOpenError(fileName);
    return bytes;
}

TGraphic::~TGraphic() = default;

void TGraphic::LoadFile(const std::string& fileName)
{
    std::istringstream stream(iradudo::readPictureFile(fileName), std::ios::in | std::ios::binary);
    LoadStream(stream);
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
