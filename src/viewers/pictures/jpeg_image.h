// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/graphic.h"

#include <memory>
#include <vector>

// A fatal error that libjpeg reported; the number is libjpeg's message code.
class EJPEG : public Exception {
public:
    explicit EJPEG(int code);
    int code() const { return code_; }

private:
    int code_;
};

namespace iradudo {

enum class JpegPerformance { QualityFirst, SpeedFirst };
enum class JpegPixelFormat { Bits24, Bits8 };
enum class JpegScale { FullSize, Half, Quarter, Eighth };

// Decoding settings of a JPEG picture. Every new picture copies the process-wide
// record returned by jpegDefaults().
struct JpegSettings {
    int compressionQuality = 90;  // only for saving, which the program never does
    bool grayscale = false;
    JpegPerformance performance = JpegPerformance::QualityFirst;
    JpegPixelFormat pixelFormat = JpegPixelFormat::Bits24;
    bool progressiveDisplay = false;
    bool progressiveEncoding = false;  // set on load to whether the file has several scans
    JpegScale scale = JpegScale::FullSize;
    bool smoothing = true;
};

JpegSettings& jpegDefaults();

}  // namespace iradudo

// The compressed file as loaded, with what its header says. Shared by copies
// of a picture; never changed after the load.
struct TJPEGData {
    std::vector<unsigned char> bytes;
    int width = 0;
    int height = 0;
    bool grayscale = false;
    bool multipleScans = false;
};

// A JPEG picture, decoded by libjpeg. Loading keeps the file in memory and
// reads its header only; the pixels are decoded on first need (Decode, Draw,
// Image after Decode). A decoding error is thrown once: the picture then keeps
// whatever rows were decoded before it.
class TJPEGImage : public TGraphic {
public:
    static constexpr const char* ClassName = "TJPEGImage";

    TJPEGImage();
    ~TJPEGImage() override;

    void LoadStream(std::istream& stream) override;
    // The size of the decoded bitmap; before decoding, the header's size at
    // the chosen scale (0 x 0 for an empty file).
    int Width() const override;
    int Height() const override;
    void Decode() override;
    QImage Image() const override { return bitmap_; }

    iradudo::JpegSettings& Settings() { return settings_; }
    const iradudo::JpegSettings& Settings() const { return settings_; }
    // Null before the first load.
    const TJPEGData* Data() const { return data_.get(); }

private:
    void decodeOrThrow();
    void reportProgress(int done, int total);

    iradudo::JpegSettings settings_;
    std::shared_ptr<const TJPEGData> data_;
    QImage bitmap_;
    bool decodeAttempted_ = false;
    long long lastProgressMs_ = 0;
};
