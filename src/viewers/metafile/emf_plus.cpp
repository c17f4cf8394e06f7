// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/metafile/emf_plus.h"

#include "viewers/metafile/metafile_player.h"
#include "viewers/quiet_decode.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace iradudo::metafile {

namespace {

constexpr std::uint32_t kEmrComment = 70;
constexpr std::uint32_t kEmfPlusTag = 0x2B464D45;  // "EMF+"
constexpr std::size_t kObjectSlots = 64;
constexpr double kMaxFontPixels = 2048;
constexpr std::size_t kMaxStringChars = 8192;

enum : std::uint16_t {
    kHeader = 0x4001,
    kEndOfFile = 0x4002,
    kComment = 0x4003,
    kGetDc = 0x4004,
    kObject = 0x4008,
    kClear = 0x4009,
    kFillRects = 0x400A,
    kDrawRects = 0x400B,
    kFillPolygon = 0x400C,
    kDrawLines = 0x400D,
    kFillEllipse = 0x400E,
    kDrawEllipse = 0x400F,
    kFillPie = 0x4010,
    kDrawPie = 0x4011,
    kDrawArc = 0x4012,
    kFillRegion = 0x4013,
    kFillPath = 0x4014,
    kDrawPath = 0x4015,
    kFillClosedCurve = 0x4016,
    kDrawClosedCurve = 0x4017,
    kDrawCurve = 0x4018,
    kDrawBeziers = 0x4019,
    kDrawImage = 0x401A,
    kDrawImagePoints = 0x401B,
    kDrawString = 0x401C,
    kSetRenderingOrigin = 0x401D,
    kSetAntiAliasMode = 0x401E,
    kSetTextRenderingHint = 0x401F,
    kSetTextContrast = 0x4020,
    kSetInterpolationMode = 0x4021,
    kSetPixelOffsetMode = 0x4022,
    kSetCompositingMode = 0x4023,
    kSetCompositingQuality = 0x4024,
    kSave = 0x4025,
    kRestore = 0x4026,
    kBeginContainer = 0x4027,
    kBeginContainerNoParams = 0x4028,
    kEndContainer = 0x4029,
    kSetWorldTransform = 0x402A,
    kResetWorldTransform = 0x402B,
    kMultiplyWorldTransform = 0x402C,
    kTranslateWorldTransform = 0x402D,
    kScaleWorldTransform = 0x402E,
    kRotateWorldTransform = 0x402F,
    kSetPageTransform = 0x4030,
    kResetClip = 0x4031,
    kSetClipRect = 0x4032,
    kSetClipPath = 0x4033,
    kSetClipRegion = 0x4034,
    kOffsetClip = 0x4035,
};

// Record flags.
constexpr std::uint16_t kFlagSolid = 0x8000;       // S: the brush is an ARGB colour
constexpr std::uint16_t kFlagCompressed = 0x4000;  // C: 16-bit integer coordinates
constexpr std::uint16_t kFlagRelative = 0x0800;    // R: relative points (7- or 15-bit deltas)
constexpr std::uint16_t kFlagClosed = 0x2000;      // L: DrawLines closes the figure
constexpr std::uint16_t kFlagAppend = 0x2000;      // A: transform applied after the world's
constexpr std::uint16_t kFlagContinued = 0x8000;   // Object: more records follow

// Records drawn or safely skipped: not the multi-format ones (0x4005-0x4007),
// DrawDriverString (0x4036) and StrokeFillPath (0x4037); the serialized
// effects and terminal-server records (0x4038-0x403A) change no picture.
bool knownRecord(std::uint16_t type)
{
    return (type >= kHeader && type <= kOffsetClip && (type < 0x4005 || type > 0x4007))
        || (type >= 0x4038 && type <= 0x403A);
}

QColor argb(std::uint32_t value)
{
    return QColor::fromRgba(value);  // both 0xAARRGGBB
}

enum class ObjectType : std::uint8_t { None, Brush, Pen, Path, Region, Image, Font, StringFormat };

struct Object {
    ObjectType type = ObjectType::None;
    QBrush brush;
    QPen pen;
    QPainterPath path;      // paths and regions, world units
    bool infinite = false;  // a region without bounds
    QImage image;
    std::shared_ptr<const Metafile> metafile;  // a metafile image
    QFont font;
    double fontEm = 0;  // world units
    int fontUnit = 2;
    int alignment = 0, lineAlignment = 0;
    bool noWrap = false;
};

struct Graphics {
    QTransform world;
    int pageUnit = 2;  // pixels
    double pageScale = 1;
    std::optional<QPainterPath> clip;  // painter coordinates
    bool sourceCopy = false;
};

}  // namespace

bool isEmfPlusComment(const RecordReader& comment)
{
    return comment.has(0, 16) && comment.u32(0) == kEmrComment && comment.u32(12) == kEmfPlusTag;
}

namespace {

// Calls `each(type, flags, data)` for the EMF+ records of one comment.
template <class Each>
void forEachRecord(const RecordReader& comment, Each each)
{
    const std::uint64_t dataSize = comment.u32(8);
    const std::size_t end = std::size_t(std::min<std::uint64_t>(comment.size(), 12 + dataSize));
    std::size_t at = 16;
    while (at + 12 <= end) {
        const std::uint16_t type = comment.u16(at);
        const std::uint16_t flags = comment.u16(at + 2);
        const std::uint32_t size = comment.u32(at + 4);
        const std::uint32_t data = comment.u32(at + 8);
        if (size < 12 || size > end - at)
            return;
        const std::size_t dataBytes = std::min<std::size_t>(data, size - 12);
        each(type, flags, RecordReader(comment.bytes(at + 12, dataBytes), dataBytes));
        at += size;
    }
}

}  // namespace

bool playsEmfPlus(const Metafile& file)
{
    if (file.kind != Kind::Emf || file.records.empty())
        return false;
    const RecordReader first = readerFor(file, file.records.front());
    if (!isEmfPlusComment(first))
        return false;
    bool header = false, dual = false;
    forEachRecord(first, [&](std::uint16_t type, std::uint16_t flags, const RecordReader&) {
        if (type == kHeader && !header) {
            header = true;
            dual = (flags & 1) != 0;
        }
    });
    if (!header)
        return false;
    if (!dual)
        return true;
    bool drawable = true;
    bool fallback = false;  // the EMF records draw something
    for (const Record& record : file.records) {
        if (record.type != kEmrComment) {
            fallback = true;
            continue;
        }
        const RecordReader r = readerFor(file, record);
        if (!isEmfPlusComment(r))
            continue;
        forEachRecord(r, [&](std::uint16_t type, std::uint16_t, const RecordReader&) {
            if (!knownRecord(type))
                drawable = false;
        });
    }
    return drawable || !fallback;
}

// Metafile images inside metafile images are not drawn.
static thread_local int nesting = 0;

struct EmfPlusPlayer::State {
    QPainter& painter;
    QTransform device;  // reference device pixels -> painter
    QRectF baseClip;
    double dpiX = 96, dpiY = 96;
    Graphics g;
    std::vector<std::pair<std::uint32_t, Graphics>> saved;  // stack index, state
    std::array<Object, kObjectSlots> objects;
    // Object data gathered from continued records.
    std::vector<std::uint8_t> pending;
    int pendingSlot = -1;
    std::uint16_t pendingFlags = 0;
    bool emf = false;

    State(QPainter& p, const QTransform& d, const QRectF& c) : painter(p), device(d), baseClip(c) { }

    // ---- coordinates ----
    double unitScale(int unit, double dpi) const
    {
        switch (unit) {
        case 3: return dpi / 72.0;   // point
        case 4: return dpi;          // inch
        case 5: return dpi / 300.0;  // document
        case 6: return dpi / 25.4;   // millimetre
        default: return 1;           // world, display, pixel
        }
    }

    QTransform toPainter() const
    {
        const QTransform page = QTransform::fromScale(
            unitScale(g.pageUnit, dpiX) * g.pageScale, unitScale(g.pageUnit, dpiY) * g.pageScale);
        return g.world * page * device;
    }

    void applyClip()
    {
        painter.setTransform(QTransform());
        QPainterPath clip;
        clip.addRect(baseClip);
        if (g.clip)
            clip = clip.intersected(*g.clip);
        painter.setClipPath(clip);
    }

    void combineClip(const QPainterPath& area, int mode, bool infinite = false)
    {
        QPainterPath current;
        if (g.clip)
            current = *g.clip;
        else
            current.addRect(baseClip);
        QPainterPath whole;
        whole.addRect(baseClip);
        const QPainterPath target = infinite ? whole : area;
        switch (mode) {
        case 1: g.clip = current.intersected(target); break;
        case 2: g.clip = current.united(target); break;
        case 3: g.clip = current.united(target).subtracted(current.intersected(target)); break;
        case 4: g.clip = current.subtracted(target); break;
        case 5: g.clip = target.subtracted(current); break;
        default: g.clip = target; break;
        }
        applyClip();
    }

    // ---- reading ----
    static QRectF rectAt(const RecordReader& r, std::size_t at, bool compressed)
    {
        if (compressed)
            return QRectF(r.i16(at), r.i16(at + 2), r.i16(at + 4), r.i16(at + 6));
        return QRectF(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12));
    }

    // `count` points from `at`: float pairs, 16-bit pairs (C) or relative
    // deltas of one or two bytes each (R). Empty when they do not fit.
    static std::vector<QPointF> pointsAt(
        const RecordReader& r, std::size_t at, std::uint64_t count, std::uint16_t flags, std::size_t* end = nullptr)
    {
        std::vector<QPointF> out;
        if (count == 0 || count > r.size() || count > kMaxPlusPathPoints)
            return out;
        out.reserve(std::size_t(count));
        if (flags & kFlagRelative) {
            QPointF p;
            auto delta = [&](std::size_t& pos) -> double {
                const std::uint8_t b = r.u8(pos);
                if (b & 0x80) {
                    const std::uint16_t v = std::uint16_t((b & 0x7F) << 8 | r.u8(pos + 1));
                    pos += 2;
                    return (v & 0x4000) ? double(int(v) - 0x8000) : double(v);
                }
                pos += 1;
                return (b & 0x40) ? double(int(b) - 0x80) : double(b);
            };
            std::size_t pos = at;
            for (std::size_t i = 0; i < count; ++i) {
                const double dx = delta(pos);
                const double dy = delta(pos);
                if (!r.ok() || pos > r.size())
                    return {};
                p += QPointF(dx, dy);
                out.push_back(p);
            }
            if (end)
                *end = pos;
            return out;
        }
        const std::size_t each = (flags & kFlagCompressed) ? 4 : 8;
        if (!r.has(at, std::size_t(count) * each))
            return out;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t p = at + i * each;
            out.push_back(each == 4 ? QPointF(r.i16(p), r.i16(p + 2)) : QPointF(r.f32(p), r.f32(p + 4)));
        }
        if (end)
            *end = at + std::size_t(count) * each;
        return out;
    }

    // ---- objects ----
    QBrush readBrush(const RecordReader& r, std::size_t at) const
    {
        const std::uint32_t type = r.u32(at + 4);
        switch (type) {
        case 0: return QBrush(argb(r.u32(at + 8)));
        case 1: {  // hatch: style, fore, back
            static const Qt::BrushStyle styles[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern, Qt::BDiagPattern,
                Qt::CrossPattern, Qt::DiagCrossPattern};
            // A tile of the background with the pattern over it: Qt's
            // pattern brushes leave the background out.
            const std::uint32_t style = r.u32(at + 8);
            QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
            tile.fill(argb(r.u32(at + 16)));
            QPainter onTile(&tile);
            onTile.fillRect(tile.rect(), QBrush(argb(r.u32(at + 12)), style < 6 ? styles[style] : Qt::Dense4Pattern));
            onTile.end();
            return QBrush(tile);
        }
        case 4: {  // linear gradient: flags, wrap, rect, start, end colours
            const QRectF rect = rectAt(r, at + 16, false);
            QLinearGradient gradient(rect.topLeft(), rect.topRight());
            gradient.setColorAt(0, argb(r.u32(at + 32)));
            gradient.setColorAt(1, argb(r.u32(at + 36)));
            gradient.setSpread(QGradient::RepeatSpread);
            return QBrush(gradient);
        }
        case 2: {  // texture: flags, wrap mode, a transform when flagged, an image
            const std::size_t imageAt = at + 16 + ((r.u32(at + 8) & 0x02) ? 24 : 0);
            if (!r.has(imageAt, 28))
                return QBrush(QColor(128, 128, 128));
            const QImage image = readImage(RecordReader(r.bytes(imageAt, r.size() - imageAt), r.size() - imageAt));
            if (image.isNull())
                return QBrush(QColor(128, 128, 128));
            return QBrush(image);
        }
        case 3:  // path gradient: its centre colour
            return QBrush(argb(r.u32(at + 16)));
        default: return QBrush(QColor(128, 128, 128));
        }
    }

    QPen readPen(const RecordReader& r) const
    {
        const std::uint32_t flags = r.u32(8);
        const int unit = int(r.u32(12));
        const double width = r.f32(16);
        std::size_t at = 20;
        QPen pen;
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        auto cap = [](std::uint32_t value) {
            return value == 1 ? Qt::SquareCap : value == 2 ? Qt::RoundCap : Qt::FlatCap;
        };
        if (flags & 0x01)
            at += 24;  // a transform of the pen
        if (flags & 0x02)
            pen.setCapStyle(cap(r.u32(at))), at += 4;
        if (flags & 0x04)
            at += 4;  // end cap: Qt has one cap for both ends
        if (flags & 0x08) {
            const std::uint32_t join = r.u32(at);
            pen.setJoinStyle(join == 1 ? Qt::BevelJoin : join == 2 ? Qt::RoundJoin : Qt::MiterJoin);
            at += 4;
        }
        if (flags & 0x10)
            pen.setMiterLimit(std::clamp(double(r.f32(at)), 1.0, 100.0)), at += 4;
        if (flags & 0x20) {
            switch (r.u32(at)) {
            case 1: pen.setStyle(Qt::DashLine); break;
            case 2: pen.setStyle(Qt::DotLine); break;
            case 3: pen.setStyle(Qt::DashDotLine); break;
            case 4: pen.setStyle(Qt::DashDotDotLine); break;
            default: break;
            }
            at += 4;
        }
        if (flags & 0x40)
            at += 4;
        if (flags & 0x80)
            pen.setDashOffset(r.f32(at)), at += 4;
        if (flags & 0x100) {
            const std::uint64_t count = r.u32(at);
            at += 4;
            if (count > 0 && count <= 64 && r.has(at, std::size_t(count) * 4)) {
                QList<qreal> pattern;
                for (std::size_t i = 0; i < count; ++i)
                    pattern.append(std::clamp(double(r.f32(at + 4 * i)), 0.01, 1000.0));
                if (pattern.size() % 2 == 1)
                    pattern.append(pattern.back());
                pen.setDashPattern(pattern);
            }
            at += std::size_t(std::min<std::uint64_t>(count, r.size())) * 4;
        }
        if (flags & 0x200)
            at += 4;
        if (flags & 0x400) {
            const std::uint64_t count = r.u32(at);
            at += 4 + std::size_t(std::min<std::uint64_t>(count, r.size())) * 4;
        }
        if (flags & 0x800)
            at += 4 + std::size_t(std::min<std::uint64_t>(r.u32(at), r.size()));
        if (flags & 0x1000)
            at += 4 + std::size_t(std::min<std::uint64_t>(r.u32(at), r.size()));
        const QBrush brush = readBrush(r, at);
        pen.setBrush(brush);
        // Widths in world units (unit 0 or 2) scale with the transform; the
        // others are converted at the reference resolution.
        const double perUnit = unit >= 3 ? unitScale(unit, dpiX) : 1;
        const double shown = width * perUnit;
        if (shown > 0 && shown < 1e6) {
            pen.setWidthF(shown);
        } else {
            pen.setCosmetic(true);
            pen.setWidthF(1);
        }
        return pen;
    }

    static QPainterPath readPath(const RecordReader& r, std::size_t at, std::size_t* end = nullptr)
    {
        QPainterPath path;
        const std::uint64_t count = r.u32(at + 4);
        const std::uint16_t flags = std::uint16_t(r.u32(at + 8));
        std::size_t typesAt = 0;
        const std::vector<QPointF> points = pointsAt(r, at + 12, count, flags, &typesAt);
        if (points.size() != count || count == 0)
            return path;
        std::vector<std::uint8_t> types;
        types.reserve(std::size_t(count));
        if (flags & 0x1000) {  // run-length types: count, type
            std::size_t pos = typesAt;
            while (types.size() < count && r.has(pos, 2)) {
                const std::size_t run = r.u8(pos) & 0x3F;
                for (std::size_t i = 0; i < run && types.size() < count; ++i)
                    types.push_back(r.u8(pos + 1));
                pos += 2;
            }
            typesAt = pos;
        } else {
            if (!r.has(typesAt, std::size_t(count)))
                return path;
            for (std::size_t i = 0; i < count; ++i)
                types.push_back(r.u8(typesAt + i));
            typesAt += std::size_t(count);
        }
        if (types.size() != count)
            return path;
        for (std::size_t i = 0; i < count; ++i) {
            const int kind = types[i] & 0x07;
            if (kind == 0 || path.elementCount() == 0) {
                path.moveTo(points[i]);
            } else if (kind == 3 && i + 2 < count) {
                path.cubicTo(points[i], points[i + 1], points[i + 2]);
                i += 2;
            } else {
                path.lineTo(points[i]);
            }
            if (types[i] & 0x80)
                path.closeSubpath();
        }
        if (end)
            *end = (typesAt + 3) & ~std::size_t(3);
        return path;
    }

    // A region's node tree; false when it is infinite.
    QPainterPath readRegionNode(const RecordReader& r, std::size_t& at, std::size_t& budget, int depth, bool& infinite)
    {
        QPainterPath area;
        if (budget == 0 || depth > 64 || !r.has(at, 4)) {
            at = r.size();
            return area;
        }
        --budget;
        const std::uint32_t type = r.u32(at);
        at += 4;
        switch (type) {
        case 0x10000000:
            area.addRect(rectAt(r, at, false));
            at += 16;
            return area;
        case 0x10000001: {
            const std::uint64_t size = r.u32(at);
            if (size <= r.size() - std::min(r.size(), at + 4))
                area = readPath(RecordReader(r.bytes(at + 4, std::size_t(size)), std::size_t(size)), 0);
            at += 4 + std::size_t(std::min<std::uint64_t>(size, r.size()));
            return area;
        }
        case 0x10000002: return area;
        case 0x10000003: infinite = true; return area;
        default: break;
        }
        if (type < 1 || type > 5) {
            at = r.size();
            return area;
        }
        bool leftInfinite = false, rightInfinite = false;
        QPainterPath left = readRegionNode(r, at, budget, depth + 1, leftInfinite);
        QPainterPath right = readRegionNode(r, at, budget, depth + 1, rightInfinite);
        // An infinite side stands for a large rectangle.
        QPainterPath huge;
        huge.addRect(QRectF(-1e7, -1e7, 2e7, 2e7));
        if (leftInfinite)
            left = huge;
        if (rightInfinite)
            right = huge;
        switch (type) {
        case 1: return left.intersected(right);
        case 2: return left.united(right);
        case 3: return left.united(right).subtracted(left.intersected(right));
        case 4: return left.subtracted(right);
        default: return right.subtracted(left);
        }
    }

    // A metafile image: its type, size and file (WMF, placeable WMF, EMF,
    // EMF+), parsed for drawing; not inside another picture's images.
    static std::shared_ptr<const Metafile> readMetafile(const RecordReader& r)
    {
        const std::uint64_t size = r.u32(12);
        if (nesting > 0 || size > r.size() - std::min<std::size_t>(r.size(), 16))
            return nullptr;
        const std::uint8_t* bytes = r.bytes(16, std::size_t(size));
        std::vector<std::uint8_t> data(bytes, bytes + size);
        // GDI+ stores a placeable header as its 24-byte structure, two bytes
        // of padding after the 22 of the file.
        const RecordReader file(data.data(), data.size());
        if (file.u32(0) == 0x9AC6CDD7 && file.u16(22) == 0 && (file.u16(24) == 1 || file.u16(24) == 2)
            && file.u16(26) == 9)
            data.erase(data.begin() + 22, data.begin() + 24);
        try {
            return std::make_shared<const Metafile>(parse(std::move(data)));
        } catch (const MetafileError&) {
            return nullptr;
        }
    }

    static QImage readImage(const RecordReader& r)
    {
        const qint64 width = r.i32(8), height = r.i32(12);
        const qint64 stride = r.i32(16);
        const std::uint32_t format = r.u32(20);
        const std::uint32_t type = r.u32(24);
        const QuietDecode quiet;
        if (type == 1) {  // a compressed file (PNG, JPEG...): its header has no size
            QImage image;
            image.loadFromData(r.bytes(28, r.size() - std::min<std::size_t>(r.size(), 28)),
                qsizetype(r.size() - std::min<std::size_t>(r.size(), 28)));
            if (!image.isNull() && qint64(image.width()) * image.height() > (qint64(1) << 24))
                return {};
            return image;
        }
        if (width <= 0 || height <= 0 || width * height > (qint64(1) << 24))
            return {};
        QImage::Format qformat;
        int bytesPerPixel;
        switch (format) {
        case 0x0026200A: qformat = QImage::Format_ARGB32, bytesPerPixel = 4; break;
        case 0x000E200B: qformat = QImage::Format_ARGB32_Premultiplied, bytesPerPixel = 4; break;
        case 0x00022009: qformat = QImage::Format_RGB32, bytesPerPixel = 4; break;
        case 0x00021808: qformat = QImage::Format_BGR888, bytesPerPixel = 3; break;
        default: return {};
        }
        if (stride < width * bytesPerPixel || !r.has(28, std::size_t(stride * height)))
            return {};
        QImage image(int(width), int(height), qformat);
        if (image.isNull())
            return {};
        for (qint64 y = 0; y < height; ++y)
            std::memcpy(image.scanLine(int(y)),
                r.bytes(28 + std::size_t(y * stride), std::size_t(width * bytesPerPixel)),
                std::size_t(width * bytesPerPixel));
        return image;
    }

    void storeObject(int slot, std::uint16_t flags, const RecordReader& r)
    {
        Object o;
        switch (flags >> 8 & 0x7F) {
        case 1:
            o.type = ObjectType::Brush;
            o.brush = readBrush(r, 0);
            break;
        case 2:
            o.type = ObjectType::Pen;
            o.pen = readPen(r);
            break;
        case 3:
            o.type = ObjectType::Path;
            o.path = readPath(r, 0);
            break;
        case 4: {
            o.type = ObjectType::Region;
            std::size_t at = 8;
            std::size_t budget = kMaxPlusRegionNodes;
            o.path = readRegionNode(r, at, budget, 0, o.infinite);
            break;
        }
        case 5:
            o.type = ObjectType::Image;
            if (r.u32(4) == 2)
                o.metafile = readMetafile(r);
            else if (r.u32(4) == 1)
                o.image = readImage(r);
            break;
        case 6: {
            o.type = ObjectType::Font;
            o.fontEm = r.f32(4);
            o.fontUnit = int(r.u32(8));
            const std::uint32_t style = r.u32(12);
            const std::uint64_t length = std::min<std::uint64_t>(r.u32(20), 64);
            QString family;
            for (std::size_t i = 0; i < length && r.has(24 + 2 * i, 2); ++i)
                family.append(QChar(r.u16(24 + 2 * i)));
            if (!family.isEmpty())
                o.font.setFamily(family);
            o.font.setBold(style & 1);
            o.font.setItalic(style & 2);
            o.font.setUnderline(style & 4);
            o.font.setStrikeOut(style & 8);
            break;
        }
        case 7:
            o.type = ObjectType::StringFormat;
            o.noWrap = (r.u32(4) & 0x1000) != 0;
            o.alignment = int(r.u32(12));
            o.lineAlignment = int(r.u32(16));
            break;
        default: return;  // image attributes, custom line caps
        }
        objects[std::size_t(slot)] = std::move(o);
    }

    void object(std::uint16_t flags, const RecordReader& r)
    {
        const int slot = flags & 0xFF;
        if (slot >= int(kObjectSlots))
            return;
        if (flags & kFlagContinued) {
            // TotalObjectSize, then this record's share of the data.
            const std::uint64_t total = r.u32(0);
            if (pendingSlot != slot) {
                pending.clear();
                pendingSlot = slot;
                pendingFlags = flags;
            }
            if (total > kMaxPlusObjectBytes || r.size() < 4 || pending.size() + (r.size() - 4) > total) {
                pending.clear();
                pendingSlot = -1;
                return;
            }
            const std::uint8_t* bytes = r.bytes(4, r.size() - 4);
            pending.insert(pending.end(), bytes, bytes + (r.size() - 4));
            // The last part may carry the flag too: the total tells the end.
            if (pending.size() == total) {
                const std::vector<std::uint8_t> all = std::move(pending);
                pending.clear();
                pendingSlot = -1;
                storeObject(slot, flags, RecordReader(all.data(), all.size()));
            }
            return;
        }
        if (pendingSlot == slot && !pending.empty()) {
            const std::uint8_t* bytes = r.bytes(0, r.size());
            if (pending.size() + r.size() <= kMaxPlusObjectBytes && bytes != nullptr)
                pending.insert(pending.end(), bytes, bytes + r.size());
            const std::vector<std::uint8_t> all = std::move(pending);
            pending.clear();
            pendingSlot = -1;
            storeObject(slot, flags, RecordReader(all.data(), all.size()));
            return;
        }
        pending.clear();
        pendingSlot = -1;
        storeObject(slot, flags, r);
    }

    const Object* slot(std::uint32_t index, ObjectType type) const
    {
        if (index >= kObjectSlots || objects[index].type != type)
            return nullptr;
        return &objects[index];
    }

    // The brush of a fill record: an ARGB colour (S) or a brush object.
    std::optional<QBrush> fillBrush(std::uint16_t flags, std::uint32_t value) const
    {
        if (flags & kFlagSolid)
            return QBrush(argb(value));
        if (const Object* o = slot(value, ObjectType::Brush))
            return o->brush;
        return std::nullopt;
    }

    // ---- drawing ----
    void begin()
    {
        painter.setTransform(toPainter());
        painter.setCompositionMode(
            g.sourceCopy ? QPainter::CompositionMode_Source : QPainter::CompositionMode_SourceOver);
    }

    void fill(const QPainterPath& path, std::optional<QBrush> brush)
    {
        if (!brush)
            return;
        begin();
        painter.fillPath(path, *brush);
    }

    void stroke(const QPainterPath& path, std::uint32_t penIndex)
    {
        const Object* o = slot(penIndex, ObjectType::Pen);
        if (o == nullptr)
            return;
        begin();
        painter.strokePath(path, o->pen);
    }

    static QPainterPath polygonPath(const std::vector<QPointF>& points, bool closed)
    {
        QPainterPath path;
        if (points.empty())
            return path;
        path.moveTo(points[0]);
        for (std::size_t i = 1; i < points.size(); ++i)
            path.lineTo(points[i]);
        if (closed)
            path.closeSubpath();
        return path;
    }

    // A cardinal spline through the points, as Bezier segments.
    static QPainterPath curvePath(const std::vector<QPointF>& p, double tension, bool closed)
    {
        QPainterPath path;
        const std::size_t n = p.size();
        if (n < 2)
            return path;
        const double t = tension / 3;
        auto at = [&](std::ptrdiff_t i) {
            if (closed)
                return p[std::size_t((i % std::ptrdiff_t(n) + std::ptrdiff_t(n)) % std::ptrdiff_t(n))];
            return p[std::size_t(std::clamp<std::ptrdiff_t>(i, 0, std::ptrdiff_t(n) - 1))];
        };
        path.moveTo(p[0]);
        const std::size_t segments = closed ? n : n - 1;
        for (std::size_t i = 0; i < segments; ++i) {
            const std::ptrdiff_t k = std::ptrdiff_t(i);
            const QPointF c1 = at(k) + (at(k + 1) - at(k - 1)) * t;
            const QPointF c2 = at(k + 1) - (at(k + 2) - at(k)) * t;
            path.cubicTo(c1, c2, at(k + 1));
        }
        if (closed)
            path.closeSubpath();
        return path;
    }

    static QPainterPath arcPath(const QRectF& box, double start, double sweep, bool pie)
    {
        // GDI+ angles run clockwise from the x axis (y down); Qt's run
        // counter-clockwise.
        QPainterPath path;
        if (pie)
            path.moveTo(box.center());
        else
            path.arcMoveTo(box, -start);
        path.arcTo(box, -start, -sweep);
        if (pie)
            path.closeSubpath();
        return path;
    }

    void drawString(std::uint16_t flags, const RecordReader& r)
    {
        const Object* font = slot(flags & 0xFF, ObjectType::Font);
        const std::optional<QBrush> brush = fillBrush(flags, r.u32(0));
        const std::uint64_t length = r.u32(8);
        const QRectF layout = rectAt(r, 12, false);
        if (font == nullptr || !brush || length > kMaxStringChars || !r.has(28, std::size_t(length) * 2))
            return;
        QString text;
        text.reserve(qsizetype(length));
        for (std::size_t i = 0; i < length; ++i)
            text.append(QChar(r.u16(28 + 2 * i)));
        const Object* format = slot(r.u32(4), ObjectType::StringFormat);
        // The font's em size in world units, drawn at a pixel size and scaled.
        const double em = font->fontEm * (font->fontUnit >= 3 ? unitScale(font->fontUnit, dpiY) : 1);
        if (!(em > 0) || !std::isfinite(em))
            return;
        const QTransform world = toPainter();
        const double scale = std::sqrt(std::abs(world.determinant()));
        if (!(scale > 0) || !std::isfinite(scale))
            return;
        QFont qfont = font->font;
        const double pixels = std::clamp(em * scale, 1.0, kMaxFontPixels);
        qfont.setPixelSize(std::max(1, int(std::lround(pixels))));
        begin();
        painter.setTransform(QTransform::fromScale(em / qfont.pixelSize(), em / qfont.pixelSize()) * world);
        const double back = qfont.pixelSize() / em;
        QRectF box(layout.topLeft() * back, layout.size() * back);
        int align = Qt::AlignLeft | Qt::AlignTop;
        if (format) {
            align = (format->alignment == 1          ? Qt::AlignHCenter
                            : format->alignment == 2 ? Qt::AlignRight
                                                     : Qt::AlignLeft)
                | (format->lineAlignment == 1        ? Qt::AlignVCenter
                        : format->lineAlignment == 2 ? Qt::AlignBottom
                                                     : Qt::AlignTop);
        }
        painter.setFont(qfont);
        painter.setPen(QPen(*brush, 0));
        if (box.width() <= 0 || box.height() <= 0) {
            const QFontMetricsF metrics(qfont);
            painter.drawText(box.topLeft() + QPointF(0, metrics.ascent()), text);
        } else {
            painter.drawText(box, align | (format && format->noWrap ? 0 : int(Qt::TextWordWrap)), text);
        }
    }

    void drawImage(std::uint16_t flags, const RecordReader& r, bool points)
    {
        const Object* o = slot(flags & 0xFF, ObjectType::Image);
        if (o == nullptr || (o->image.isNull() && !o->metafile))
            return;
        const QRectF source = rectAt(r, 8, false);
        QRectF from = source.normalized().intersected(QRectF(o->image.rect()));
        if (from.isEmpty())
            from = o->image.rect();
        begin();
        if (o->metafile) {
            // The whole picture into the destination (its corner points'
            // bounding box for DrawImagePoints).
            QRectF dest = rectAt(r, 24, flags & kFlagCompressed);
            if (points) {
                const std::vector<QPointF> p = pointsAt(r, 28, r.u32(24) == 3 ? 3 : 0, flags);
                if (p.size() != 3)
                    return;
                dest = QRectF(p[0], p[1] + p[2] - p[0]).normalized();
            }
            const QRectF target = toPainter().mapRect(dest);
            if (target.width() * target.height() > 1e8)
                return;
            ++nesting;
            painter.setTransform(QTransform());
            play(*o->metafile, painter, target);
            --nesting;
            return;
        }
        if (points) {
            const std::vector<QPointF> p = pointsAt(r, 28, r.u32(24) == 3 ? 3 : 0, flags);
            if (p.size() != 3)
                return;
            // The parallelogram's corners: top left, top right, bottom left.
            const QTransform onto(
                p[1].x() - p[0].x(), p[1].y() - p[0].y(), p[2].x() - p[0].x(), p[2].y() - p[0].y(), p[0].x(), p[0].y());
            painter.setTransform(onto * toPainter());
            painter.drawImage(QRectF(0, 0, 1, 1), o->image, from);
            return;
        }
        painter.drawImage(rectAt(r, 24, flags & kFlagCompressed), o->image, from);
    }

    void record(std::uint16_t type, std::uint16_t flags, const RecordReader& r)
    {
        if (type != kObject && pendingSlot >= 0) {
            pending.clear();
            pendingSlot = -1;
        }
        emf = false;
        const bool compressed = flags & kFlagCompressed;
        switch (type) {
        case kHeader:
            if (r.i32(8) > 0 && r.i32(12) > 0) {
                dpiX = std::min(r.i32(8), 100000);
                dpiY = std::min(r.i32(12), 100000);
            }
            break;
        case kGetDc: emf = true; break;
        case kObject: object(flags, r); break;
        case kClear:
            painter.setTransform(QTransform());
            painter.fillRect(baseClip, argb(r.u32(0)));
            break;
        case kFillRects:
        case kDrawRects: {
            const std::uint64_t count = r.u32(type == kFillRects ? 4 : 0);
            const std::size_t at = type == kFillRects ? 8 : 4;
            const std::size_t each = compressed ? 8 : 16;
            if (count > r.size() / each || !r.has(at, std::size_t(count) * each))
                break;
            QPainterPath path;
            for (std::size_t i = 0; i < count; ++i)
                path.addRect(rectAt(r, at + i * each, compressed));
            if (type == kFillRects)
                fill(path, fillBrush(flags, r.u32(0)));
            else
                stroke(path, flags & 0xFF);
            break;
        }
        case kFillPolygon: {
            const std::vector<QPointF> p = pointsAt(r, 8, r.u32(4), flags);
            fill(polygonPath(p, true), fillBrush(flags, r.u32(0)));
            break;
        }
        case kDrawLines:
        case kDrawBeziers: {
            const std::vector<QPointF> p = pointsAt(r, 4, r.u32(0), flags);
            if (p.empty())
                break;
            QPainterPath path;
            if (type == kDrawLines) {
                path = polygonPath(p, flags & kFlagClosed);
            } else {
                path.moveTo(p[0]);
                for (std::size_t i = 1; i + 2 < p.size(); i += 3)
                    path.cubicTo(p[i], p[i + 1], p[i + 2]);
            }
            stroke(path, flags & 0xFF);
            break;
        }
        case kFillEllipse:
        case kDrawEllipse: {
            QPainterPath path;
            path.addEllipse(rectAt(r, type == kFillEllipse ? 4 : 0, compressed));
            if (type == kFillEllipse)
                fill(path, fillBrush(flags, r.u32(0)));
            else
                stroke(path, flags & 0xFF);
            break;
        }
        case kFillPie: {
            fill(arcPath(rectAt(r, 12, compressed), r.f32(4), r.f32(8), true), fillBrush(flags, r.u32(0)));
            break;
        }
        case kDrawPie:
        case kDrawArc:
            stroke(arcPath(rectAt(r, 8, compressed), r.f32(0), r.f32(4), type == kDrawPie), flags & 0xFF);
            break;
        case kFillPath:
            if (const Object* o = slot(flags & 0xFF, ObjectType::Path))
                fill(o->path, fillBrush(flags, r.u32(0)));
            break;
        case kDrawPath:
            if (const Object* o = slot(flags & 0xFF, ObjectType::Path))
                stroke(o->path, r.u32(0));
            break;
        case kFillRegion:
            if (const Object* o = slot(flags & 0xFF, ObjectType::Region)) {
                if (o->infinite) {
                    painter.setTransform(QTransform());
                    if (const std::optional<QBrush> brush = fillBrush(flags, r.u32(0)))
                        painter.fillRect(baseClip, *brush);
                } else {
                    fill(o->path, fillBrush(flags, r.u32(0)));
                }
            }
            break;
        case kFillClosedCurve: {
            QPainterPath path = curvePath(pointsAt(r, 12, r.u32(8), flags), r.f32(4), true);
            path.setFillRule((flags & 0x2000) ? Qt::WindingFill : Qt::OddEvenFill);
            fill(path, fillBrush(flags, r.u32(0)));
            break;
        }
        case kDrawClosedCurve: stroke(curvePath(pointsAt(r, 8, r.u32(4), flags), r.f32(0), true), flags & 0xFF); break;
        case kDrawCurve: {
            const std::vector<QPointF> p = pointsAt(r, 16, r.u32(12), flags);
            const std::uint64_t offset = r.u32(4), segments = r.u32(8);
            if (p.size() < 2 || offset >= p.size())
                break;
            const std::size_t last = std::size_t(std::min<std::uint64_t>(p.size() - 1, offset + segments));
            QPainterPath whole = curvePath(p, r.f32(0), false);
            // The segments drawn: elements 1 + 3 k after the first point.
            QPainterPath part;
            part.moveTo(p[std::size_t(offset)]);
            for (std::size_t k = std::size_t(offset); k < last; ++k) {
                const int e = 1 + 3 * int(k);
                if (e + 2 >= whole.elementCount())
                    break;
                part.cubicTo(whole.elementAt(e), whole.elementAt(e + 1), whole.elementAt(e + 2));
            }
            stroke(part, flags & 0xFF);
            break;
        }
        case kDrawString: drawString(flags, r); break;
        case kDrawImage: drawImage(flags, r, false); break;
        case kDrawImagePoints: drawImage(flags, r, true); break;
        case kSetCompositingMode: g.sourceCopy = (flags & 0xFF) == 1; break;
        case kSave:
        case kBeginContainerNoParams:
            if (saved.size() < kMaxPlusSavedStates)
                saved.emplace_back(r.u32(0), g);
            break;
        case kBeginContainer:
            if (saved.size() < kMaxPlusSavedStates) {
                saved.emplace_back(r.u32(36), g);
                // The source rectangle (in the record's unit) onto the destination.
                const QRectF dest = rectAt(r, 0, false), source = rectAt(r, 16, false);
                const double unit = unitScale(flags & 0xFF, dpiX);
                if (source.width() != 0 && source.height() != 0) {
                    const QTransform into = QTransform::fromTranslate(-source.x(), -source.y())
                        * QTransform::fromScale(
                            dest.width() / (source.width() * unit), dest.height() / (source.height() * unit))
                        * QTransform::fromTranslate(dest.x(), dest.y());
                    g.world = into * g.world;
                }
            }
            break;
        case kRestore:
        case kEndContainer: {
            const std::uint32_t index = r.u32(0);
            for (std::size_t i = saved.size(); i-- > 0;) {
                if (saved[i].first == index) {
                    g = saved[i].second;
                    saved.resize(i);
                    applyClip();
                    break;
                }
            }
            break;
        }
        case kSetWorldTransform:
            g.world = QTransform(r.f32(0), r.f32(4), r.f32(8), r.f32(12), r.f32(16), r.f32(20));
            break;
        case kResetWorldTransform: g.world = QTransform(); break;
        case kMultiplyWorldTransform: {
            const QTransform m(r.f32(0), r.f32(4), r.f32(8), r.f32(12), r.f32(16), r.f32(20));
            g.world = (flags & kFlagAppend) ? g.world * m : m * g.world;
            break;
        }
        case kTranslateWorldTransform: {
            const QTransform m = QTransform::fromTranslate(r.f32(0), r.f32(4));
            g.world = (flags & kFlagAppend) ? g.world * m : m * g.world;
            break;
        }
        case kScaleWorldTransform: {
            const QTransform m = QTransform::fromScale(r.f32(0), r.f32(4));
            g.world = (flags & kFlagAppend) ? g.world * m : m * g.world;
            break;
        }
        case kRotateWorldTransform: {
            QTransform m;
            m.rotate(r.f32(0));
            g.world = (flags & kFlagAppend) ? g.world * m : m * g.world;
            break;
        }
        case kSetPageTransform:
            g.pageUnit = flags & 0xFF;
            g.pageScale = r.f32(0) > 0 ? std::min(double(r.f32(0)), 1e6) : 1;
            break;
        case kResetClip:
            g.clip.reset();
            applyClip();
            break;
        case kSetClipRect: {
            QPainterPath area;
            area.addRect(rectAt(r, 0, false).normalized());
            combineClip(toPainter().map(area), flags >> 8 & 0x0F);
            break;
        }
        case kSetClipPath:
        case kSetClipRegion: {
            const Object* o = slot(flags & 0xFF, type == kSetClipPath ? ObjectType::Path : ObjectType::Region);
            if (o != nullptr)
                combineClip(toPainter().map(o->path), flags >> 8 & 0x0F, o->infinite);
            break;
        }
        case kOffsetClip:
            if (g.clip) {
                const QTransform t = toPainter();
                g.clip->translate(t.map(QPointF(r.f32(0), r.f32(4))) - t.map(QPointF(0, 0)));
                applyClip();
            }
            break;
        default: break;  // hints, comments, end of file
        }
    }
};

EmfPlusPlayer::EmfPlusPlayer(QPainter& painter, const QTransform& device, const QRectF& clip)
    : d_(std::make_unique<State>(painter, device, clip))
{
}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::comment(const RecordReader& comment)
{
    forEachRecord(comment, [this](std::uint16_t type, std::uint16_t flags, const RecordReader& r) {
        d_->painter.save();
        d_->record(type, flags, r);
        d_->painter.restore();
        d_->applyClip();
    });
}

bool EmfPlusPlayer::emfEnabled() const
{
    return d_->emf;
}

}  // namespace iradudo::metafile
