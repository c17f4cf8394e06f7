// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/bitmap.h"

// The graphic class of ".gif" files: the program's own decoder turns the first
// image into an 8-bit bitmap file, which the bitmap class then reads.
class TGifBitmap : public TBitmap {
public:
    static constexpr const char* ClassName = "TGifBitmap";

    // Any decoder error passes on unchanged; the bitmap then keeps its content.
    void LoadStream(std::istream& stream) override;
    std::size_t MaxFileSize() const override;

protected:
    [[noreturn]] void FileTooLarge() const override;
};
