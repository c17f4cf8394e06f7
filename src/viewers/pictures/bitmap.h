// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/graphic.h"

// A Windows bitmap file (BMP, any of its usual depths). The 8-bit uncompressed
// form that the GIF decoder hands over is read directly into an indexed image;
// the rest goes through Qt's BMP reader.
class TBitmap : public TGraphic {
public:
    static constexpr const char* ClassName = "TBitmap";

    void LoadStream(std::istream& stream) override;
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    QImage Image() const override { return image_; }

    // Takes over the other bitmap's image and palette (shared, not copied).
    void Assign(const TBitmap& source);

protected:
    [[noreturn]] void FileTooLarge() const override;
    // Takes a picture decoded elsewhere as the content, announcing the change.
    void SetImage(QImage image);

private:
    QImage image_;
};
