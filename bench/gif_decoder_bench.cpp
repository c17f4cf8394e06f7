// SPDX-License-Identifier: GPL-3.0-or-later
// The GIF decoder core beside giflib on the same 2048 x 2048 files, in one run.
// Compare TGif/... with Giflib/... of the same picture (time per load).
#include "gif/gif.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 2048;

int writeMemory(GifFileType* file, const GifByteType* bytes, int count)
{
    static_cast<std::string*>(file->UserData)->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

// Encodes indices with giflib as a plain GIF87a (no extension blocks).
std::string encode(const std::vector<GifByteType>& pixels)
{
    std::string out;
    int error = 0;
    GifFileType* file = EGifOpen(&out, writeMemory, &error);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i / 2)};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(file, kSide, kSide, 8, 0, map);
    EGifPutImageDesc(file, 0, 0, kSide, kSide, false, nullptr);
    for (int y = 0; y < kSide; ++y)
        EGifPutLine(file, const_cast<GifByteType*>(pixels.data()) + static_cast<std::size_t>(y) * kSide, kSide);
    EGifCloseFile(file, &error);
    GifFreeMapObject(map);
    return out;
}

// Smooth shading with dither-like noise: short LZW strings, as in a scanned photo.
const std::string& photo()
{
    static const std::string gif = [] {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> noise(-12, 12);
        std::vector<GifByteType> pixels(static_cast<std::size_t>(kSide) * kSide);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const double shade = 128 + 60 * std::sin(x / 97.0) + 50 * std::cos((x + 2 * y) / 151.0);
                pixels[static_cast<std::size_t>(y) * kSide + x]
                    = static_cast<GifByteType>(std::clamp(static_cast<int>(shade) + noise(random), 0, 255));
            }
        return encode(pixels);
    }();
    return gif;
}

// A few flat shapes on a plain ground: long strings.
const std::string& flat()
{
    static const std::string gif = [] {
        std::vector<GifByteType> pixels(static_cast<std::size_t>(kSide) * kSide);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                int colour = 1;
                if (x > 200 && x < 900 && y > 300 && y < 1000)
                    colour = 2;
                if ((x - 1400) * (x - 1400) + (y - 1300) * (y - 1300) < 400 * 400)
                    colour = 3;
                if (y > 1700 && x < y - 1000)
                    colour = 4;
                pixels[static_cast<std::size_t>(y) * kSide + x] = static_cast<GifByteType>(colour);
            }
        return encode(pixels);
    }();
    return gif;
}

void tgifLoad(benchmark::State& state, const std::string& gif, bool handOff)
{
    for (auto _ : state) {
        std::istringstream in(gif);
        TGif decoder;
        decoder.Load(&in);
        if (handOff) {
            std::stringstream out;
            decoder.WriteBitmap(out);
            benchmark::DoNotOptimize(out.tellp());
        }
        benchmark::DoNotOptimize(decoder.width());
    }
    state.counters["compressed_bytes"] = static_cast<double>(gif.size());
}

struct MemorySource {
    const std::string* data;
    std::size_t position;
};

int readMemory(GifFileType* file, GifByteType* buffer, int count)
{
    auto* source = static_cast<MemorySource*>(file->UserData);
    const std::size_t n = std::min<std::size_t>(count, source->data->size() - source->position);
    std::memcpy(buffer, source->data->data() + source->position, n);
    source->position += n;
    return static_cast<int>(n);
}

// DGifSlurp, then the first image's indices into a buffer of their own.
void giflibLoad(benchmark::State& state, const std::string& gif)
{
    for (auto _ : state) {
        MemorySource source{&gif, 0};
        int error = 0;
        GifFileType* file = DGifOpen(&source, readMemory, &error);
        if (file == nullptr || DGifSlurp(file) != GIF_OK)
            throw std::runtime_error("giflib failed");
        const SavedImage& image = file->SavedImages[0];
        std::vector<GifByteType> pixels(static_cast<std::size_t>(image.ImageDesc.Width) * image.ImageDesc.Height);
        std::memcpy(pixels.data(), image.RasterBits, pixels.size());
        benchmark::DoNotOptimize(pixels.data());
        DGifCloseFile(file, &error);
    }
}

}  // namespace

BENCHMARK_CAPTURE(giflibLoad, Giflib / photo, photo())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tgifLoad, TGif / photo, photo(), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tgifLoad, TGifHandOff / photo, photo(), true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(giflibLoad, Giflib / flat, flat())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tgifLoad, TGif / flat, flat(), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tgifLoad, TGifHandOff / flat, flat(), true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
