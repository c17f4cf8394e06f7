// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/decode_context.h"
#include "base/exception.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>

namespace iradudo {

// The ten ways a GIF load fails, numbered by their codes (1 to 10).
enum class GifFailure : int {
    NoSource = 1,           // "GIF file not found": the decoder was given no stream
    NotAGif = 2,            // "Not a GIF file": the first bytes are not "GIF"
    MissingColorTable = 3,  // "Missing color table": no global colour table
    BadData = 4,            // "Bad data": the image descriptor does not follow the table
    NoData = 5,             // "No data": a code needs another byte and the next block is empty
    UnexpectedEof = 6,      // "Unexpected EOF": the file ends inside a structure
    BadCodeSize = 7,        // "Bad code size": the LZW minimum code size is not 2 to 9
    BadCode = 8,            // "Bad code": the end code after a clear code, or a code not yet defined
    BadBitSize = 9,         // "Bad bit size": the table is full and the next code is no clear code
    BadBitmap = 10,         // "Bad bitmap": an image without pixels or with too many
};

}  // namespace iradudo

// A failure of the GIF decoder. The message is one of ten fixed English texts,
// chosen by the failure.
class EGifException : public Exception {
public:
    explicit EGifException(iradudo::GifFailure failure);
    iradudo::GifFailure failure() const { return failure_; }
    int code() const { return static_cast<int>(failure_); }

    static const char* messageFor(iradudo::GifFailure failure);

private:
    iradudo::GifFailure failure_;
};

// Decodes the first image of a GIF file into 8-bit palette indices and hands it
// over as a Windows bitmap file (8 bits per pixel, 256-entry palette, rows
// bottom-up). Reads the subset a plain single-image file uses: a global colour
// table is required and the image descriptor must follow it directly.
class TGif {
public:
    // The context's GIF limit bounds the image; its progress hears of every
    // completed row and can cancel the decode there (EDecodeCancelled).
    explicit TGif(iradudo::DecodeContext context = {});
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

    // The decoded palette indices, top row first, each row `stride` bytes apart
    // (stride >= width; the bytes past width are left alone). A row that never
    // arrived reads as index 0, as in the bitmap.
    void ReadIndices(std::uint8_t* into, std::size_t stride) const;
    // The 256-entry palette as the bitmap has it (red, green, blue per entry):
    // the local colour table if there is one, else the global one, black beyond.
    void ReadPalette(std::uint8_t (&rgb)[256 * 3]) const;

private:
    // The decoding state and tables live out of line, so that this header stays put.
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
    iradudo::DecodeContext context_;
};
