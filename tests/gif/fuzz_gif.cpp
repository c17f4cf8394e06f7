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
