// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/decode_context.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace iradudo::test {

// Writes LZW codes least significant bit first, keeping the code width a GIF
// reader expects: every code but a clear code, the first code after it and the
// end code adds a table entry, and the width grows when the next free entry
// reaches 2^width (up to 12 bits).
class CodeStream {
public:
    explicit CodeStream(int minCodeSize);

    int clearCode() const { return 1 << minCodeSize_; }
    int endCode() const { return clearCode() + 1; }
    int width() const { return width_; }
    int nextFree() const { return nextFree_; }

    void clear();
    void code(int value);
    void end();
    // A code of the given width, leaving the table state alone.
    void raw(int value, int width);

    std::string bytes() const;

private:
    int minCodeSize_;
    int width_;
    int nextFree_;
    bool firstAfterClear_ = true;
    std::string bytes_;
    std::uint32_t pending_ = 0;
    int pendingBits_ = 0;
};

// Plain LZW compression of pixels: a clear code first, a clear code whenever
// the table is full, the end code last.
std::string lzwEncode(const std::vector<std::uint8_t>& pixels, int minCodeSize);

using Rgb = std::array<std::uint8_t, 3>;

// The parts of a GIF file, to be assembled by buildGif.
struct GifParts {
    std::string signature = "GIF87a";
    int screenWidth = 0;  // 0: the image's size
    int screenHeight = 0;
    bool hasGlobalTable = true;
    std::vector<Rgb> globalTable;      // size a power of two, 2 to 256
    std::string betweenTableAndImage;  // e.g. an extension block
    int width = 0;
    int height = 0;
    bool interlaced = false;
    std::vector<Rgb> localTable;
    int minCodeSize = 8;
    std::string codes;  // packed code stream, split into sub-blocks
    int blockSize = 255;
    bool blockTerminator = true;
    std::string tail = ";";
};

std::string buildGif(const GifParts& parts);

// A grey ramp of n entries.
std::vector<Rgb> greyTable(int entries);

// A decoded picture: palette of 256 entries and width x height indices, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> pixels;
};

// Reads the decoder's bitmap hand-off: checks its fixed header fields, returns the picture.
Picture readHandOff(const std::string& bitmap);

// Loads the GIF bytes with TGif and returns the hand-off bytes.
std::string decodeToBitmap(const std::string& gif, const iradudo::DecodeContext& context = {});

// The first image through giflib (DGifSlurp), palette padded with black to 256.
Picture decodeWithGiflib(const std::string& gif);

std::string readBinaryFile(const std::string& path);

}  // namespace iradudo::test
