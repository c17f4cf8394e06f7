// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the GIF decoder: scripts/fuzz.sh fuzz_gif MINUTES. Every
// input must either load or fail with EGifException, give a well-formed bitmap,
// and match the step-by-step model. Keep what it finds in data/regress/ with
// its outcome in expected.txt; the normal build replays them all.
#include "gif/gif.h"
#include "gif_model.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The picture class takes indices and palette straight from the decoder: they
// must be the bitmap file's rows (bottom-up there, padded to 4 bytes) and palette.
void checkDirectHandOff(const TGif& decoder, const std::string& bitmap)
{
    const auto width = static_cast<std::size_t>(decoder.width());
    const auto height = static_cast<std::size_t>(decoder.height());
    const std::size_t stride = width + 3;  // not the bitmap's padding, on purpose
    std::vector<std::uint8_t> indices(stride * height, 0xEE);
    decoder.ReadIndices(indices.data(), stride);
    const std::size_t padded = (width + 3) & ~std::size_t(3);
    for (std::size_t row = 0; row < height; ++row) {
        const char* fileRow = bitmap.data() + 1078 + (height - 1 - row) * padded;
        if (std::memcmp(indices.data() + row * stride, fileRow, width) != 0)
            std::abort();
        for (std::size_t pad = width; pad < stride; ++pad)
            if (indices[row * stride + pad] != 0xEE)
                std::abort();
    }
    std::uint8_t rgb[256 * 3];
    decoder.ReadPalette(rgb);
    for (int i = 0; i < 256; ++i) {
        const auto* quad = reinterpret_cast<const std::uint8_t*>(bitmap.data()) + 54 + 4 * i;
        if (rgb[3 * i] != quad[2] || rgb[3 * i + 1] != quad[1] || rgb[3 * i + 2] != quad[0])
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string gif(reinterpret_cast<const char*>(data), size);
    std::optional<iradudo::GifFailure> error;
    std::string bitmap;
    try {
        std::istringstream in(gif);
        TGif decoder;
        decoder.Load(&in);
        std::stringstream out;
        decoder.WriteBitmap(out);
        bitmap = out.str();
        checkDirectHandOff(decoder, bitmap);
    } catch (const EGifException& failure) {
        error = failure.failure();
    }
    if (!error) {
        std::uint32_t fileSize;
        std::memcpy(&fileSize, bitmap.data() + 2, 4);
        if (bitmap.size() != fileSize)
            std::abort();
    }
    const iradudo::test::ModelResult model = iradudo::test::modelDecode(gif, 1 << 20);
    if (!model.tooLarge && (model.error != error || model.bitmap != bitmap))
        std::abort();
    return 0;
}
