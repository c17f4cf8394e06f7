// SPDX-License-Identifier: GPL-3.0-or-later
// Picture loading beside reference decoders, in one run:
//  - GIF: TPicture::LoadFile (the program's decoder and the bitmap hand-off)
//    beside giflib (DGifSlurp + the first image as 8-bit indices) and stb_image,
//    on a dithered photo-like and a flat 2048 x 2048 picture;
//  - JPEG: TJPEGImage (load + full decode) beside a bare libjpeg decode to memory
//    of a 4000 x 3000 photo.
// At the end the ratios of the medians to the references are printed, by real
// and by CPU time; both reference decoders allocate their output each time, as
// the picture does.

#include "gif/gif.h"
#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/graphic.h"
#include "viewers/pictures/picture.h"
#include "viewers/pictures/picture_formats.h"

#include "shared_machine_options.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <stb_image.h>

namespace {

std::string benchFile(const std::string& name)
{
    return std::string(IRADUDO_BENCH_PICTURES) + "/" + name;
}

void pictureLoad(benchmark::State& state, const std::string& name)
{
    const std::string file = benchFile(name);
    for (auto _ : state) {
        TPicture picture;
        picture.LoadFile(file);
        picture.Graphic()->Decode();
        benchmark::DoNotOptimize(picture.Graphic()->Image().constBits());
    }
}

// The earlier GIF load for comparison: the decoder writes its bitmap file into
// memory and the bitmap class reads it back.
void bitmapRoundTripLoad(benchmark::State& state, const std::string& name)
{
    const std::string file = benchFile(name);
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        TGif gif;
        gif.Load(&in);
        std::stringstream memory(std::ios::in | std::ios::out | std::ios::binary);
        gif.WriteBitmap(memory);
        TBitmap bitmap;
        bitmap.LoadStream(memory);
        benchmark::DoNotOptimize(bitmap.Image().constBits());
    }
}

void giflibLoad(benchmark::State& state, const std::string& name)
{
    const std::string file = benchFile(name);
    std::vector<unsigned char> indices;
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
        if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1)
            throw std::runtime_error("giflib cannot read " + file);
        const SavedImage& image = gif->SavedImages[0];
        const auto width = static_cast<std::size_t>(image.ImageDesc.Width);
        const auto height = static_cast<std::size_t>(image.ImageDesc.Height);
        indices.resize(width * height);
        std::memcpy(indices.data(), image.RasterBits, width * height);
        benchmark::DoNotOptimize(indices.data());
        DGifCloseFile(gif, &error);
    }
}

void stbLoad(benchmark::State& state, const std::string& name)
{
    const std::string file = benchFile(name);
    for (auto _ : state) {
        int width = 0, height = 0, channels = 0;
        unsigned char* pixels = stbi_load(file.c_str(), &width, &height, &channels, 0);
        if (!pixels)
            throw std::runtime_error("stb_image cannot read " + file);
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}

void libjpegDecode(benchmark::State& state, const std::string& name)
{
    const std::string file = benchFile(name);
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        std::vector<unsigned char> data(static_cast<std::size_t>(in.tellg()));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t(cinfo.output_width) * 3;
        // A fresh picture each time, as a viewer gets.
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.get() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.get());
    }
}

// Console output as usual, and the mean real time of each benchmark kept for
// the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                real_[run.run_name.function_name] = run.GetAdjustedRealTime();
                cpu_[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
    }

    void printRatios(std::ostream& out) const
    {
        print(out, "real time", real_);
        print(out, "CPU time", cpu_);
    }

private:
    // The machine may be shared: CPU time is the steadier figure then.
    void print(std::ostream& out, const char* clock, const std::map<std::string, double>& times) const
    {
        out << "\nratios by " << clock << " (lower is better):\n";
        for (const char* kind : {"photo", "flat"}) {
            const std::string k = kind;
            ratio(out, times, "GIF " + k + ": TPicture / giflib", "TPicture_gif_" + k, "giflib_" + k, 1.0);
            ratio(out, times, "GIF " + k + ": TPicture / stb_image", "TPicture_gif_" + k, "stb_image_" + k, 0);
            ratio(out, times, "GIF " + k + ": TPicture / bitmap round trip", "TPicture_gif_" + k, "bmp_round_trip_" + k,
                0);
        }
        ratio(out, times, "JPEG photo: TJPEGImage / libjpeg", "TPicture_jpeg_photo", "libjpeg_photo", 1.1);
    }

    static void ratio(std::ostream& out, const std::map<std::string, double>& times, const std::string& label,
        const std::string& mine, const std::string& reference, double target)
    {
        const auto a = times.find(mine);
        const auto b = times.find(reference);
        if (a == times.end() || b == times.end() || b->second <= 0)
            return;
        const double value = a->second / b->second;
        out << "  " << label << " = " << value;
        if (target > 0)
            out << (value <= target ? "  (target <= " : "  (MISSES target <= ") << target << ")";
        out << '\n';
    }

    std::map<std::string, double> real_;
    std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char** argv)
{
    iradudo::initialisePictureFormats(24);
    benchmark::RegisterBenchmark("TPicture_gif_photo", pictureLoad, std::string("photo.gif"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("giflib_photo", giflibLoad, std::string("photo.gif"))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("bmp_round_trip_photo", bitmapRoundTripLoad, std::string("photo.gif"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stb_image_photo", stbLoad, std::string("photo.gif"))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("TPicture_gif_flat", pictureLoad, std::string("flat.gif"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("giflib_flat", giflibLoad, std::string("flat.gif"))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("bmp_round_trip_flat", bitmapRoundTripLoad, std::string("flat.gif"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stb_image_flat", stbLoad, std::string("flat.gif"))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("TPicture_jpeg_photo", pictureLoad, std::string("photo.jpg"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("libjpeg_photo", libjpegDecode, std::string("photo.jpg"))
        ->Unit(benchmark::kMillisecond);

    iradudo::bench::initializeForSharedMachine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(std::cout);
    benchmark::Shutdown();
    return 0;
}
