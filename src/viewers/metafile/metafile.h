// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Windows metafiles, read by the program itself (plain C++, no Qt): the
// 16-bit Windows Metafile (WMF, with or without the "placeable" header) and the
// Enhanced Metafile (EMF). Parsing checks the framing once (headers, every
// record's size against the bytes that remain) and keeps the record list; the
// player (metafile_player.h) reads each record's parameters through
// RecordReader, which checks every access.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace iradudo::metafile {

// Bounds on what a file can make the program allocate. A file larger than
// kMaxFileBytes is refused before it is read into memory (the largest real
// clip art is a few megabytes). The record list costs 12 bytes per record and
// every record takes at least 6 bytes of the file, so it stays below twice the
// file's size; kMaxRecords caps it independently.
constexpr std::size_t kMaxFileBytes = std::size_t(64) << 20;
constexpr std::size_t kMaxRecords = std::size_t(1) << 22;
// A picture's own size in pixels is clamped to this many pixels per side; the
// image viewer renders it at that size.
constexpr int kMaxPictureSide = 8192;

class MetafileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Kind : std::uint8_t { Wmf, Emf };

struct Record {
    std::uint32_t offset;  // of the record's first byte in Metafile::data
    std::uint32_t size;    // bytes, the whole record
    std::uint32_t type;    // WMF: the function number; EMF: the record type
};

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct Metafile {
    Kind kind = Kind::Wmf;
    std::vector<std::uint8_t> data;
    std::vector<Record> records;  // in file order, header and end record left out
    bool truncated = false;       // the records stopped at damage before the end record

    // WMF
    bool placeable = false;
    Rect placeableBounds;          // logical units of the placeable header
    int unitsPerInch = 0;          // placeable header
    int objectCount = 0;           // header's number of object slots
    bool hasWindowExtent = false;  // a SetWindowExt record before the first drawing
    Rect windowRect;               // first SetWindowOrg/SetWindowExt seen (standard WMF sizing)

    // EMF
    Rect bounds;                            // device units, inclusive
    Rect frame;                             // 0.01 mm, inclusive
    int deviceWidth = 0, deviceHeight = 0;  // reference device, pixels
    int deviceWidthMm = 0, deviceHeightMm = 0;
    int handleCount = 0;

    // The picture's own size in pixels (see sizeRules in metafile.cpp).
    int width = 0, height = 0;
    // What the picture's width and height span in the player's device space
    // (WMF: logical units of the window; EMF: reference device pixels).
    double originX = 0, originY = 0, extentX = 0, extentY = 0;
};

// Parses a whole file. Throws MetafileError when the headers are not those of
// a metafile or give no usable size; damage among the records after a good
// header stops the record list there (Metafile::truncated) instead.
Metafile parse(const std::uint8_t* data, std::size_t size);
Metafile parse(std::vector<std::uint8_t> data);

// Checked little-endian reads from one record; any read beyond the record
// gives 0 and clears ok(). `at` counts from the record's first byte for EMF
// (where offsets inside records are measured that way) and from the first
// parameter word (after the 6-byte header) for WMF.
class RecordReader {
public:
    RecordReader(const std::uint8_t* begin, std::size_t size) : p_(begin), size_(size) { }
    std::size_t size() const { return size_; }
    bool has(std::size_t at, std::size_t count) const { return at <= size_ && count <= size_ - at; }
    std::uint8_t u8(std::size_t at) const { return has(at, 1) ? p_[at] : fail(); }
    std::uint16_t u16(std::size_t at) const
    {
        return has(at, 2) ? std::uint16_t(p_[at] | p_[at + 1] << 8) : std::uint16_t(fail());
    }
    std::int16_t i16(std::size_t at) const { return std::int16_t(u16(at)); }
    std::uint32_t u32(std::size_t at) const
    {
        return has(at, 4) ? std::uint32_t(p_[at]) | std::uint32_t(p_[at + 1]) << 8 | std::uint32_t(p_[at + 2]) << 16
                | std::uint32_t(p_[at + 3]) << 24
                          : fail();
    }
    std::int32_t i32(std::size_t at) const { return std::int32_t(u32(at)); }
    float f32(std::size_t at) const;
    const std::uint8_t* bytes(std::size_t at, std::size_t count) const { return has(at, count) ? p_ + at : nullptr; }
    bool ok() const { return ok_; }

private:
    std::uint8_t fail() const
    {
        ok_ = false;
        return 0;
    }
    const std::uint8_t* p_;
    std::size_t size_;
    mutable bool ok_ = true;
};

// The parameters of a record (see RecordReader for where `at` counts from).
RecordReader readerFor(const Metafile& file, const Record& record);

}  // namespace iradudo::metafile
