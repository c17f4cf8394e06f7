// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/exception.h"

#include <functional>
#include <iosfwd>
#include <memory>

// A failure of the GIF decoder. The message comes from a fixed table of ten
// English texts, chosen by the error code (1 to 10).
class EGifException : public Exception {
public:
    explicit EGifException(int code);
    int code() const { return code_; }

    static const char* messageFor(int code);

private:
    int code_;
};

// Decodes the first image of a GIF file into 8-bit palette indices and hands it
// over as a Windows bitmap file (8 bits per pixel, 256-entry palette, rows
// bottom-up). Reads the subset a plain single-image file uses: a global colour
// table is required and the image descriptor must follow it directly.
class TGif {
public:
    TGif();
    ~TGif();
    TGif(const TGif&) = delete;
    TGif& operator=(const TGif&) = delete;

    // Decodes the whole image from the stream's current position. A null source
    // fails with "GIF file not found"; any other failure throws EGifException.
    void Load(std::istream* source);

    // Writes the bitmap file into the stream from position 0, then puts the
    // stream's position back to 0. Before a successful Load, and after a failed
    // one, it writes a 0 x 0 bitmap: no partial picture remains.
    void WriteBitmap(std::iostream& stream);

    // The image descriptor's size; 0 before a successful Load.
    int width() const;
    int height() const;

private:
    // The decoding state and tables live out of line, so that this header stays put.
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
};

namespace iradudo {

// Called once per completed row while a GIF decodes. The window program sets it
// to process pending events; headless it does nothing.
void setGifRowHook(std::function<void()> hook);

}  // namespace iradudo
