// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/jpeg_image.h"

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <istream>
#include <iterator>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

EJPEG::EJPEG(int code) : Exception("JPEG error #" + std::to_string(code)), code_(code) { }

namespace iradudo {

JpegSettings& jpegDefaults()
{
    static JpegSettings defaults;
    return defaults;
}

}  // namespace iradudo

namespace {

using iradudo::JpegPerformance;
using iradudo::JpegPixelFormat;
using iradudo::JpegSettings;

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to runGuarded; the frames in between are libjpeg's own (plain
// C) and the one lambda call, which holds nothing with a destructor. The C++
// side throws only after the jump has landed.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void fatalError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings and trace messages are dropped.
void emitMessage(j_common_ptr, int) { }
void outputMessage(j_common_ptr) { }

// The whole file is in memory; when libjpeg asks for more than there is, it
// gets an end-of-image marker, which makes a truncated file a warning (the
// missing part decodes flat) rather than a hang or an overrun.
struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* data;
    std::size_t size;
};

const JOCTET fakeEndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = fakeEndOfImage;
    cinfo->src->bytes_in_buffer = sizeof fakeEndOfImage;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* source = cinfo->src;
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > source->bytes_in_buffer) {
        remaining -= source->bytes_in_buffer;
        fillInputBuffer(cinfo);
    }
    source->next_input_byte += remaining;
    source->bytes_in_buffer -= remaining;
}

// One decompressor on a block of memory, destroyed with the object.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    MemorySource source{};
    bool created = false;

    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    Decompressor(const unsigned char* data, std::size_t size)
    {
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = fatalError;
        errors.pub.emit_message = emitMessage;
        errors.pub.output_message = outputMessage;
        source.pub.init_source = initSource;
        source.pub.fill_input_buffer = fillInputBuffer;
        source.pub.skip_input_data = skipInputData;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = termSource;
        source.pub.next_input_byte = data;
        source.pub.bytes_in_buffer = size;
        source.data = data;
        source.size = size;
    }

    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }

    // Runs one step that calls into libjpeg; returns 0, or the message code
    // of the fatal error that ended it.
    template <class Step>
    int run(Step&& step)
    {
        if (setjmp(errors.jump) != 0)
            return errors.pub.msg_code != 0 ? errors.pub.msg_code : JERR_UNKNOWN_MARKER;
        step();
        return 0;
    }

    int createAndReadHeader()
    {
        created = true;
        return run([this] {
            jpeg_create_decompress(&cinfo);
            cinfo.src = &source.pub;
            jpeg_read_header(&cinfo, TRUE);
        });
    }
};

void throwIf(int code)
{
    if (code != 0)
        throw EJPEG(code);
}

// Upper bound for the decoded bitmap and, separately, for libjpeg's own buffers.
constexpr long maxDecodeBytes = 512l * 1024 * 1024;

int scaleDenominator(iradudo::JpegScale scale)
{
    return 1 << static_cast<int>(scale);
}

void applyFastOptions(jpeg_decompress_struct& cinfo)
{
    cinfo.dct_method = JDCT_IFAST;
    cinfo.two_pass_quantize = FALSE;
    cinfo.dither_mode = JDITHER_ORDERED;
}

QList<QRgb> colourTable(const jpeg_decompress_struct& cinfo)
{
    QList<QRgb> table(256, qRgb(0, 0, 0));
    const int count = cinfo.actual_number_of_colors < 256 ? cinfo.actual_number_of_colors : 256;
    for (int i = 0; i < count; ++i) {
        if (cinfo.out_color_components == 1) {
            const int grey = cinfo.colormap[0][i];
            table[i] = qRgb(grey, grey, grey);
        } else {
            table[i] = qRgb(cinfo.colormap[0][i], cinfo.colormap[1][i], cinfo.colormap[2][i]);
        }
    }
    return table;
}

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TJPEGImage::TJPEGImage() : settings_(iradudo::jpegDefaults()) { }

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadStream(std::istream& stream)
{
    auto data = std::make_shared<TJPEGData>();
    const std::istream::pos_type start = stream.tellg();
    if (start != std::istream::pos_type(-1) && stream.seekg(0, std::ios::end)) {
        const std::streamoff size = stream.tellg() - start;
        stream.seekg(start);
        if (size > 0) {
            data->bytes.resize(static_cast<std::size_t>(size));
            stream.read(reinterpret_cast<char*>(data->bytes.data()), size);
            data->bytes.resize(static_cast<std::size_t>(stream.gcount()));
        }
    } else {
        stream.clear();
        data->bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }

    if (!data->bytes.empty()) {
        Decompressor header(data->bytes.data(), data->bytes.size());
        throwIf(header.createAndReadHeader());
        data->width = static_cast<int>(header.cinfo.image_width);
        data->height = static_cast<int>(header.cinfo.image_height);
        data->grayscale = header.cinfo.jpeg_color_space == JCS_GRAYSCALE;
        data->multipleScans = jpeg_has_multiple_scans(&header.cinfo) != FALSE;
    }
    data_ = std::move(data);
    settings_.progressiveEncoding = data_->multipleScans;
    bitmap_ = QImage();
    decodeAttempted_ = false;
    Changed();
}

int TJPEGImage::Width() const
{
    if (!bitmap_.isNull() || !data_)
        return bitmap_.width();
    const int denominator = scaleDenominator(settings_.scale);
    return (data_->width + denominator - 1) / denominator;
}

int TJPEGImage::Height() const
{
    if (!bitmap_.isNull() || !data_)
        return bitmap_.height();
    const int denominator = scaleDenominator(settings_.scale);
    return (data_->height + denominator - 1) / denominator;
}

void TJPEGImage::Decode()
{
    if (decodeAttempted_ || !data_)
        return;
    decodeAttempted_ = true;
    try {
        decodeOrThrow();
    } catch (...) {
        Changed();
        throw;
    }
    Changed();
}

void TJPEGImage::reportProgress(int done, int total)
{
    const long long now = nowMs();
    if (now - lastProgressMs_ < 500)
        return;
    lastProgressMs_ = now;
    Progress(total > 0 ? int(static_cast<long long>(done) * 100 / total) : 0);
}

void TJPEGImage::decodeOrThrow()
{
    bitmap_ = QImage();
    Decompressor jpeg(data_->bytes.data(), data_->bytes.size());
    throwIf(jpeg.createAndReadHeader());
    jpeg_decompress_struct& cinfo = jpeg.cinfo;

    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scaleDenominator(settings_.scale));
    cinfo.do_block_smoothing = settings_.smoothing ? TRUE : FALSE;
    if (settings_.grayscale)
        cinfo.out_color_space = JCS_GRAYSCALE;
    else if (cinfo.jpeg_color_space != JCS_GRAYSCALE)
        cinfo.out_color_space = JCS_RGB;
    const bool eightBit = settings_.pixelFormat == JpegPixelFormat::Bits8 || cinfo.out_color_space == JCS_GRAYSCALE;
    if (eightBit) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 236;
    }
    if (settings_.performance == JpegPerformance::SpeedFirst)
        applyFastOptions(cinfo);
    const bool buffered = settings_.progressiveDisplay && jpeg_has_multiple_scans(&cinfo);
    // The final pass's choices, restored after the quick intermediate passes.
    const J_DCT_METHOD finalDct = cinfo.dct_method;
    const boolean finalTwoPass = cinfo.two_pass_quantize;
    const J_DITHER_MODE finalDither = cinfo.dither_mode;
    if (buffered) {
        cinfo.buffered_image = TRUE;
        cinfo.enable_1pass_quant = eightBit ? TRUE : FALSE;
        cinfo.enable_2pass_quant = eightBit && finalTwoPass ? TRUE : FALSE;
        applyFastOptions(cinfo);
    }

    // Sizes come from the file: refuse what would not fit before libjpeg allocates it.
    cinfo.mem->max_memory_to_use = maxDecodeBytes;
    throwIf(jpeg.run([&] { jpeg_calc_output_dimensions(&cinfo); }));
    if (cinfo.output_components != (eightBit ? 1 : 3))
        throw EJPEG(JERR_CONVERSION_NOTIMPL);
    const int width = static_cast<int>(cinfo.output_width);
    const int height = static_cast<int>(cinfo.output_height);
    const unsigned long long pixels = static_cast<unsigned long long>(width) * static_cast<unsigned>(height);
    if (pixels > static_cast<unsigned long long>(DecodeContext().limits.jpegPixels)
        || pixels * (eightBit ? 1u : 3u) > maxDecodeBytes)
        throw EJPEG(JERR_IMAGE_TOO_BIG);
    throwIf(jpeg.run([&] { jpeg_start_decompress(&cinfo); }));
    QImage bitmap(width, height, eightBit ? QImage::Format_Indexed8 : QImage::Format_RGB888);
    if (bitmap.isNull())
        throw EJPEG(JERR_OUT_OF_MEMORY);
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = bitmap.scanLine(y);

    // Rows not yet reached when an error stops the decode show black (index 0).
    int rowsWritten = 0;
    auto keepPartial = [&] {
        for (int y = rowsWritten; y < height; ++y)
            std::fill_n(rows[static_cast<std::size_t>(y)], bitmap.bytesPerLine(), JSAMPLE(0));
        if (eightBit && bitmap.colorCount() == 0)
            bitmap.setColorTable(QList<QRgb>(256, qRgb(0, 0, 0)));
        bitmap_ = bitmap;
    };
    auto readPass = [&]() -> int {
        if (eightBit)
            bitmap.setColorTable(colourTable(cinfo));
        constexpr JDIMENSION batch = 32;
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION first = cinfo.output_scanline;
            const JDIMENSION count = std::min(batch, cinfo.output_height - first);
            const int code = jpeg.run([&] {
                while (cinfo.output_scanline < first + count)
                    jpeg_read_scanlines(
                        &cinfo, rows.data() + cinfo.output_scanline, first + count - cinfo.output_scanline);
            });
            rowsWritten = std::max(rowsWritten, static_cast<int>(cinfo.output_scanline));
            if (code != 0)
                return code;
            reportProgress(static_cast<int>(cinfo.output_scanline), height);
        }
        return 0;
    };
    auto fail = [&](int code) {
        keepPartial();
        throw EJPEG(code);
    };

    if (!buffered) {
        if (int code = readPass())
            fail(code);
    } else {
        // Each scan as it arrives, quickly; then the last scan once more with the final settings.
        auto outputPass = [&] {
            if (int code = jpeg.run([&] { jpeg_start_output(&cinfo, cinfo.input_scan_number); }))
                fail(code);
            if (int code = readPass())
                fail(code);
            if (int code = jpeg.run([&] { jpeg_finish_output(&cinfo); }))
                fail(code);
        };
        while (!jpeg_input_complete(&cinfo))
            outputPass();
        cinfo.dct_method = finalDct;
        cinfo.two_pass_quantize = finalTwoPass;
        cinfo.dither_mode = finalDither;
        // A null colour map makes libjpeg choose the quantizer again.
        if (eightBit && finalTwoPass)
            cinfo.colormap = nullptr;
        outputPass();
    }
    if (int code = jpeg.run([&] { jpeg_finish_decompress(&cinfo); }))
        fail(code);
    bitmap_ = std::move(bitmap);
}
