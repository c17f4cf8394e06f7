// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/metafile/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace iradudo::metafile {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderBytes = 22;
constexpr std::size_t kWmfHeaderBytes = 18;
constexpr std::size_t kWmfRecordHeaderBytes = 6;
constexpr std::uint16_t kWmfEof = 0x0000;
constexpr std::uint16_t kWmfSetWindowOrg = 0x020B;
constexpr std::uint16_t kWmfSetWindowExt = 0x020C;

constexpr std::size_t kEmfHeaderMinBytes = 88;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;

const char* const kNotAMetafile = "Metafile is not valid";

Rect readRect16(const RecordReader& r, std::size_t at)
{
    return Rect{r.i16(at), r.i16(at + 2), r.i16(at + 4), r.i16(at + 6)};
}

Rect readRect32(const RecordReader& r, std::size_t at)
{
    return Rect{r.i32(at), r.i32(at + 4), r.i32(at + 8), r.i32(at + 12)};
}

// The size rules, decided here once:
// - placeable WMF: the header's bounding box in its units per inch, at 96
//   pixels per inch; the box is the picture (the player maps the metafile's
//   window, which starts as the box, onto it);
// - standard WMF: one logical unit is one pixel, and the picture is the window
//   of the first SetWindowExt (with the first SetWindowOrg) in the records, as
//   common viewers do; without one there is no size and the file is refused;
// - EMF: the header's frame (0.01 mm) at the reference device's resolution
//   (szlDevice pixels over szlMillimeters), when the frame and the device are
//   not empty; else the header's bounds (device pixels, inclusive).
// Each side is at least 1 pixel; a side above kMaxPictureSide scales both
// sides down by the same factor.
void clampSize(Metafile& m, double width, double height)
{
    width = std::max(1.0, std::round(std::abs(width)));
    height = std::max(1.0, std::round(std::abs(height)));
    const double largest = std::max(width, height);
    if (largest > kMaxPictureSide) {
        width = std::max(1.0, std::round(width * kMaxPictureSide / largest));
        height = std::max(1.0, std::round(height * kMaxPictureSide / largest));
    }
    m.width = int(width);
    m.height = int(height);
}

void parseWmf(Metafile& m)
{
    const RecordReader file(m.data.data(), m.data.size());
    std::size_t header = 0;
    if (file.u32(0) == kPlaceableKey) {
        m.placeable = true;
        m.placeableBounds = readRect16(file, 6);
        m.unitsPerInch = file.u16(14);
        header = kPlaceableHeaderBytes;
    }
    if (!file.has(header, kWmfHeaderBytes))
        throw MetafileError(kNotAMetafile);
    const std::uint16_t type = file.u16(header);
    const std::uint16_t headerWords = file.u16(header + 2);
    if ((type != 1 && type != 2) || headerWords != kWmfHeaderBytes / 2)
        throw MetafileError(kNotAMetafile);
    m.objectCount = file.u16(header + 10);

    bool haveOrg = false;
    std::size_t at = header + kWmfHeaderBytes;
    for (;;) {
        if (!file.has(at, kWmfRecordHeaderBytes)) {
            m.truncated = true;
            break;
        }
        const std::uint64_t bytes = std::uint64_t(file.u32(at)) * 2;
        const std::uint16_t function = file.u16(at + 4);
        if (function == kWmfEof)
            break;
        if (bytes < kWmfRecordHeaderBytes || m.records.size() >= kMaxRecords) {
            m.truncated = true;
            break;
        }
        if (bytes > m.data.size() - at) {
            // A record cut short by the end of the file (GDI+ writes such
            // bitmaps into its metafile images): keep what there is of it.
            m.truncated = true;
            m.records.push_back(Record{std::uint32_t(at), std::uint32_t(m.data.size() - at), function});
            break;
        }
        m.records.push_back(Record{std::uint32_t(at), std::uint32_t(bytes), function});
        const RecordReader params(m.data.data() + at + kWmfRecordHeaderBytes, bytes - kWmfRecordHeaderBytes);
        if (function == kWmfSetWindowExt && !m.hasWindowExtent && params.has(0, 4)) {
            m.hasWindowExtent = true;
            m.windowRect.right = m.windowRect.left + params.i16(2);
            m.windowRect.bottom = m.windowRect.top + params.i16(0);
        } else if (function == kWmfSetWindowOrg && !haveOrg && params.has(0, 4)) {
            haveOrg = true;
            const int width = m.windowRect.right - m.windowRect.left;
            const int height = m.windowRect.bottom - m.windowRect.top;
            m.windowRect.left = params.i16(2);
            m.windowRect.top = params.i16(0);
            m.windowRect.right = m.windowRect.left + width;
            m.windowRect.bottom = m.windowRect.top + height;
        }
        at += std::size_t(bytes);
    }

    if (m.placeable) {
        const Rect& box = m.placeableBounds;
        const double dx = double(box.right) - box.left;
        const double dy = double(box.bottom) - box.top;
        if (m.unitsPerInch == 0 || dx == 0 || dy == 0)
            throw MetafileError(kNotAMetafile);
        clampSize(m, dx * 96.0 / m.unitsPerInch, dy * 96.0 / m.unitsPerInch);
        m.originX = box.left;
        m.originY = box.top;
        m.extentX = dx;
        m.extentY = dy;
    } else {
        const Rect& window = m.windowRect;
        const double dx = double(window.right) - window.left;
        const double dy = double(window.bottom) - window.top;
        if (!m.hasWindowExtent || dx == 0 || dy == 0)
            throw MetafileError(kNotAMetafile);
        clampSize(m, dx, dy);
        m.originX = window.left;
        m.originY = window.top;
        m.extentX = dx;
        m.extentY = dy;
    }
}

void parseEmf(Metafile& m)
{
    const RecordReader file(m.data.data(), m.data.size());
    const std::uint32_t headerBytes = file.u32(4);
    if (file.u32(0) != kEmrHeader || file.u32(40) != kEmfSignature || headerBytes < kEmfHeaderMinBytes
        || headerBytes > m.data.size())
        throw MetafileError(kNotAMetafile);
    m.bounds = readRect32(file, 8);
    m.frame = readRect32(file, 24);
    m.handleCount = file.u16(56);
    m.deviceWidth = file.i32(72);
    m.deviceHeight = file.i32(76);
    m.deviceWidthMm = file.i32(80);
    m.deviceHeightMm = file.i32(84);

    std::size_t at = headerBytes;
    for (;;) {
        if (!file.has(at, 8)) {
            m.truncated = true;
            break;
        }
        const std::uint32_t type = file.u32(at);
        const std::uint32_t bytes = file.u32(at + 4);
        if (bytes < 8 || bytes > m.data.size() - at || m.records.size() >= kMaxRecords) {
            m.truncated = true;
            break;
        }
        if (type == kEmrEof)
            break;
        m.records.push_back(Record{std::uint32_t(at), bytes, type});
        at += bytes;
    }

    const Rect& f = m.frame;
    const bool frameUsable = f.right > f.left && f.bottom > f.top && m.deviceWidth > 0 && m.deviceHeight > 0
        && m.deviceWidthMm > 0 && m.deviceHeightMm > 0;
    if (frameUsable) {
        const double perX = double(m.deviceWidth) / (m.deviceWidthMm * 100.0);
        const double perY = double(m.deviceHeight) / (m.deviceHeightMm * 100.0);
        m.originX = f.left * perX;
        m.originY = f.top * perY;
        m.extentX = (double(f.right) - f.left) * perX;
        m.extentY = (double(f.bottom) - f.top) * perY;
    } else {
        const Rect& b = m.bounds;
        if (b.right < b.left || b.bottom < b.top)
            throw MetafileError(kNotAMetafile);
        m.originX = b.left;
        m.originY = b.top;
        m.extentX = double(b.right) - b.left + 1;
        m.extentY = double(b.bottom) - b.top + 1;
    }
    clampSize(m, m.extentX, m.extentY);
}

}  // namespace

float RecordReader::f32(std::size_t at) const
{
    const std::uint32_t bits = u32(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
}

Metafile parse(std::vector<std::uint8_t> data)
{
    if (data.size() > kMaxFileBytes)
        throw MetafileError(kNotAMetafile);
    Metafile m;
    m.data = std::move(data);
    const RecordReader file(m.data.data(), m.data.size());
    if (file.u32(0) == kEmrHeader && file.u32(40) == kEmfSignature) {
        m.kind = Kind::Emf;
        parseEmf(m);
    } else {
        m.kind = Kind::Wmf;
        parseWmf(m);
    }
    return m;
}

Metafile parse(const std::uint8_t* data, std::size_t size)
{
    if (size > kMaxFileBytes)
        throw MetafileError(kNotAMetafile);
    return parse(std::vector<std::uint8_t>(data, data + size));
}

RecordReader readerFor(const Metafile& file, const Record& record)
{
    if (file.kind == Kind::Emf)
        return RecordReader(file.data.data() + record.offset, record.size);
    return RecordReader(file.data.data() + record.offset + kWmfRecordHeaderBytes, record.size - kWmfRecordHeaderBytes);
}

}  // namespace iradudo::metafile
