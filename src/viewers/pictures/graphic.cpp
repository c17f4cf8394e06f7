// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/graphic.h"

#include <QPainter>
#include <QRect>

#include <fstream>
#include <sys/stat.h>

TGraphic::~TGraphic() = default;

void TGraphic::LoadFile(const std::string& fileName)
{
    // A directory opens on this platform but cannot be read: treat it like
    // any other file that will not open.
    struct stat info { };
    if (::stat(fileName.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        throw EFOpenError(fileName);
    std::ifstream file(fileName, std::ios::binary);
    if (!file.is_open())
        throw EFOpenError(fileName);
    LoadStream(file);
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
