// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/graphic.h"

// A Windows icon file. Of several images in one file the largest is shown
// (the first of those of equal size).
class TIcon : public TGraphic {
public:
    static constexpr const char* ClassName = "TIcon";

    void LoadStream(std::istream& stream) override;
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    QImage Image() const override { return image_; }
    std::size_t MaxFileSize() const override;

protected:
    [[noreturn]] void FileTooLarge() const override;

private:
    QImage image_;
};
