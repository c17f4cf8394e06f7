// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/metafile/metafile.h"
#include "viewers/pictures/graphic.h"

#include <QRectF>

#include <memory>

class QPainter;

// A Windows metafile, WMF (placeable or standard) or EMF, registered for "wmf"
// and "emf". Loading parses the records and fixes the picture's size (the size
// rules are in viewers/metafile/metafile.cpp); the records are played on first
// need into an image of that size on a white ground, and Play draws them as
// vectors into any rectangle (printing). A file that is not a metafile fails
// with "Metafile is not valid".
class TMetafile : public TGraphic {
public:
    static constexpr const char* ClassName = "TMetafile";

    void LoadStream(std::istream& stream) override;
    int Width() const override { return file_ ? file_->width : 0; }
    int Height() const override { return file_ ? file_->height : 0; }
    void Decode() override;
    QImage Image() const override { return image_; }
    // The parser's own bound, kMaxFileBytes.
    std::size_t MaxFileSize() const override { return iradudo::metafile::kMaxFileBytes; }

    // Whether the file was an enhanced metafile.
    bool Enhanced() const { return file_ && file_->kind == iradudo::metafile::Kind::Emf; }
    // Plays the records scaled into the rectangle.
    void Play(QPainter& painter, const QRectF& rect) const;

protected:
    [[noreturn]] void FileTooLarge() const override;

private:
    std::shared_ptr<const iradudo::metafile::Metafile> file_;
    QImage image_;
};
