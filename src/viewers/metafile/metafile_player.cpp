// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/metafile/metafile_player.h"

#include "viewers/metafile/emf_plus.h"
#include "viewers/quiet_decode.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace iradudo::metafile {

namespace {

// GDI constants used below.
enum : int { kAlternate = 1, kWinding = 2 };
enum : int { kTransparent = 1, kOpaque = 2 };
enum : int {
    kMmText = 1,
    kMmLoMetric,
    kMmHiMetric,
    kMmLoEnglish,
    kMmHiEnglish,
    kMmTwips,
    kMmIsotropic,
    kMmAnisotropic
};
enum : int { kPsSolid = 0, kPsDash, kPsDot, kPsDashDot, kPsDashDotDot, kPsNull, kPsInsideFrame };
enum : int { kBsSolid = 0, kBsNull = 1, kBsHatched = 2, kBsPattern = 3, kBsDibPattern = 5, kBsDibPatternPt = 6 };
enum : std::uint32_t {
    kSrcCopy = 0x00CC0020,
    kSrcPaint = 0x00EE0086,
    kSrcAnd = 0x008800C6,
    kSrcInvert = 0x00660046,
    kNotSrcCopy = 0x00330008,
};
// The ternary raster operation's truth table (bits 16-23 of the code) has
// one bit for each combination of pattern, source and destination bits.
enum : std::uint32_t { kRopPattern = 0xF0, kRopSource = 0xCC, kRopDestination = 0xAA };

// Whether the operation's result depends on the operand whose column is `operand`.
bool ropUses(std::uint32_t rop, std::uint32_t operand)
{
    const std::uint32_t table = rop >> 16 & 0xFF;
    const int shift = operand == kRopPattern ? 4 : operand == kRopSource ? 2 : 1;
    const std::uint32_t low = ~operand & 0xFF;  // rows where the operand is 0
    return ((table >> shift) & low) != (table & low);
}

constexpr int kTaUpdateCp = 1;
constexpr int kTaHorizontal = 6;
constexpr int kTaRight = 2;
constexpr int kTaCenter = 6;
constexpr int kTaVertical = 24;
constexpr int kTaBottom = 8;
constexpr int kTaBaseline = 24;
constexpr int kEtoOpaque = 2;
constexpr int kEtoClipped = 4;
// Text and font sizes beyond these are drawn at these (pixels on the target).
constexpr double kMaxFontPixels = 2048;
constexpr double kMaxTextStretch = 16;
constexpr std::size_t kMaxTextChars = 8192;
// Rectangles read from one region record.
constexpr std::size_t kMaxRegionRects = 1024;

QColor colorRef(std::uint32_t value)
{
    return QColor(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF));
}

struct Pen {
    int style = kPsSolid;
    double width = 0;
    QColor color = Qt::black;
};

struct Brush {
    int style = kBsSolid;
    QColor color = Qt::white;
    int hatch = 0;
    QImage pattern;
};

struct Font {
    int height = 0;
    int escapement = 0;
    int weight = 400;
    bool italic = false, underline = false, strike = false;
    int pitchAndFamily = 0;
    QString face;
};

struct Object {
    enum class Type : std::uint8_t { None, Pen, Brush, Font, Region, Other } type = Type::None;
    Pen pen;
    Brush brush;
    Font font;
    QPainterPath region;  // WMF: logical units
};

struct DcState {
    int mapMode = kMmText;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    QTransform world;
    Pen pen;
    Brush brush;
    Font font;
    QColor textColor = Qt::black, bkColor = Qt::white;
    int bkMode = kOpaque;
    int textAlign = 0;
    int fillMode = kAlternate;
    int rop2 = 13;  // R2_COPYPEN
    bool clockwise = false;
    std::optional<QPainterPath> clip;  // in target coordinates
    QPointF current;                   // logical
};

// Windows-1252 for the bytes 0x80-0x9F; the rest is ISO-8859-1.
QString fromAnsi(const std::uint8_t* bytes, std::size_t count)
{
    static const char16_t high[32] = {0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
        0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178};
    QString text;
    text.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        text.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return text;
}

// A device-independent bitmap (header, colour table, bits) as an image, through
// Qt's BMP reader after prefixing the file header; null when damaged or larger
// than kMaxBitmapPixels.
QImage dibImage(const RecordReader& r, std::size_t headerAt, std::size_t headerBytes, std::size_t bitsAt,
    std::size_t bitsBytes, bool contiguous)
{
    if (headerBytes < 12 || !r.has(headerAt, headerBytes))
        return {};
    const std::uint32_t size = r.u32(headerAt);
    if (size < 12 || size > headerBytes)
        return {};
    qint64 width, height;
    int bitCount;
    std::uint64_t colours = 0;
    std::uint32_t compression = 0;
    if (size == 12) {
        width = r.u16(headerAt + 4);
        height = r.i16(headerAt + 6);
        bitCount = r.u16(headerAt + 10);
        if (bitCount <= 8)
            colours = (std::uint64_t(1) << bitCount) * 3;
    } else {
        if (size < 40)
            return {};
        width = r.i32(headerAt + 4);
        height = r.i32(headerAt + 8);
        bitCount = r.u16(headerAt + 14);
        compression = r.u32(headerAt + 16);
        std::uint64_t used = r.u32(headerAt + 32);
        if (used == 0 && bitCount <= 8)
            used = std::uint64_t(1) << bitCount;
        if (used > 256 && bitCount <= 8)
            used = 256;
        colours = used * 4;
        if (size == 40 && (compression == 3 || compression == 6))
            colours += compression == 3 ? 12 : 16;
    }
    if (width <= 0 || height == 0 || bitCount == 0 || bitCount > 32 || width * std::abs(height) > kMaxBitmapPixels)
        return {};
    std::size_t tableBytes = std::size_t(std::min<std::uint64_t>(colours, headerBytes - size));
    if (contiguous) {
        // WMF: header, table and bits in one piece.
        tableBytes = std::size_t(std::min<std::uint64_t>(colours, r.size() - headerAt - size));
        bitsAt = headerAt + size + tableBytes;
        bitsBytes = r.size() - bitsAt;
    }
    if (!r.has(bitsAt, bitsBytes))
        return {};
    QByteArray file;
    const std::size_t offset = 14 + size + tableBytes;
    file.reserve(qsizetype(offset + bitsBytes));
    auto put32 = [&file](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.append(char(v >> (8 * i) & 0xFF));
    };
    file.append("BM", 2);
    put32(std::uint32_t(offset + bitsBytes));
    put32(0);
    put32(std::uint32_t(offset));
    file.append(reinterpret_cast<const char*>(r.bytes(headerAt, size + tableBytes)), qsizetype(size + tableBytes));
    if (bitsBytes > 0)
        file.append(reinterpret_cast<const char*>(r.bytes(bitsAt, bitsBytes)), qsizetype(bitsBytes));
    const QuietDecode quiet;
    QImage image;
    image.loadFromData(file, "BMP");
    return image;
}

class Player {
public:
    Player(const Metafile& file, QPainter& painter, const QRectF& target)
        : file_(file), painter_(painter), emf_(file.kind == Kind::Emf)
    {
        if (emf_) {
            pixelsPerMmX_ = file.deviceWidthMm > 0 && file.deviceWidth > 0
                ? double(file.deviceWidth) / file.deviceWidthMm
                : 96 / 25.4;
            pixelsPerMmY_ = file.deviceHeightMm > 0 && file.deviceHeight > 0
                ? double(file.deviceHeight) / file.deviceHeightMm
                : 96 / 25.4;
            base_ = QTransform::fromTranslate(-file.originX, -file.originY)
                * QTransform::fromScale(target.width() / file.extentX, target.height() / file.extentY)
                * QTransform::fromTranslate(target.left(), target.top());
            objects_.resize(std::min<std::size_t>(std::max(file.handleCount, 1), kMaxObjects));
        } else {
            // WMF: the picture's own extent (the placeable box, or the first
            // window) is the device space, mapped onto the target. Window and
            // viewport both start as that extent, so the window records move
            // and scale the picture as before and the viewport records act in
            // the same units. The fixed map modes take the placeable header's
            // units per inch, else 96, as the device's resolution.
            base_ = QTransform::fromTranslate(-file.originX, -file.originY)
                * QTransform::fromScale(target.width() / file.extentX, target.height() / file.extentY)
                * QTransform::fromTranslate(target.left(), target.top());
            state_.windowOrg = state_.viewportOrg = QPointF(file.originX, file.originY);
            state_.windowExt = state_.viewportExt = QSizeF(file.extentX, file.extentY);
            state_.mapMode = kMmAnisotropic;
            const double perMm = (file.placeable && file.unitsPerInch > 0 ? file.unitsPerInch : 96) / 25.4;
            pixelsPerMmX_ = pixelsPerMmY_ = perMm;
            objects_.resize(std::size_t(file.objectCount));
        }
        baseClip_ = target;
        updateTransform();
    }

    void run()
    {
        // Where the file's EMF+ records are played, its EMF records play only
        // after a GetDC record, as GDI+ plays them.
        std::optional<EmfPlusPlayer> plus;
        if (emf_ && playsEmfPlus(file_))
            plus.emplace(painter_, base_, baseClip_);
        for (const Record& record : file_.records) {
            const RecordReader r = readerFor(file_, record);
            if (!emf_) {
                wmfRecord(record.type, r);
            } else if (plus && isEmfPlusComment(r)) {
                plus->comment(r);
                applyClip();
            } else if (!plus || plus->emfEnabled()) {
                emfRecord(record.type, r);
            }
        }
    }

private:
    // ---- mapping ----
    void updateTransform()
    {
        const DcState& s = state_;
        QTransform page;
        double sx = 1, sy = 1;
        auto metric = [&](double mmPerUnit) {
            sx = mmPerUnit * pixelsPerMmX_;
            sy = -mmPerUnit * pixelsPerMmY_;
        };
        switch (s.mapMode) {
        case kMmLoMetric: metric(0.1); break;
        case kMmHiMetric: metric(0.01); break;
        case kMmLoEnglish: metric(0.254); break;
        case kMmHiEnglish: metric(0.0254); break;
        case kMmTwips: metric(25.4 / 1440); break;
        case kMmText:
            if (emf_)
                break;
            // A WMF's MM_TEXT still maps its window onto the picture, as the
            // viewers it is drawn for do: fall through.
            [[fallthrough]];
        case kMmIsotropic:
        case kMmAnisotropic:
            sx = s.windowExt.width() != 0 ? s.viewportExt.width() / s.windowExt.width() : 1;
            sy = s.windowExt.height() != 0 ? s.viewportExt.height() / s.windowExt.height() : 1;
            if (s.mapMode == kMmIsotropic) {
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
            break;
        default: break;
        }
        page = QTransform::fromTranslate(-s.windowOrg.x(), -s.windowOrg.y()) * QTransform::fromScale(sx, sy)
            * QTransform::fromTranslate(s.viewportOrg.x(), s.viewportOrg.y());
        transform_ = s.world * page * base_;
    }

    void setMapMode(std::uint32_t mode)
    {
        if (mode < kMmText || mode > kMmAnisotropic)
            return;  // GDI refuses it and keeps the mode
        state_.mapMode = int(mode);
        updateTransform();
    }

    double linearScale() const { return std::sqrt(std::abs(transform_.determinant())); }

    // ---- pens, brushes, clipping ----
    QPen qpen(double scale = 1) const
    {
        const Pen& p = state_.pen;
        const int style = p.style & 0x0F;
        if (style == kPsNull)
            return Qt::NoPen;
        QPen pen(p.color);
        if (p.width <= 1 && scale == 1 && (p.style & 0x10000) == 0) {
            pen.setCosmetic(true);
            pen.setWidthF(1);
        } else {
            pen.setWidthF(std::max(p.width, 1.0) * scale);
        }
        switch (style) {
        case kPsDash: pen.setStyle(Qt::DashLine); break;
        case kPsDot: pen.setStyle(Qt::DotLine); break;
        case kPsDashDot: pen.setStyle(Qt::DashDotLine); break;
        case kPsDashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
        default: break;
        }
        switch (p.style & 0x0F00) {
        case 0x100: pen.setCapStyle(Qt::SquareCap); break;
        case 0x200: pen.setCapStyle(Qt::FlatCap); break;
        default: pen.setCapStyle(Qt::RoundCap); break;
        }
        switch (p.style & 0xF000) {
        case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
        case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
        default: pen.setJoinStyle(Qt::RoundJoin); break;
        }
        if (state_.rop2 == 1)
            pen.setColor(Qt::black);
        else if (state_.rop2 == 16)
            pen.setColor(Qt::white);
        return pen;
    }

    QBrush qbrush() const
    {
        const Brush& b = state_.brush;
        QColor colour = b.color;
        if (state_.rop2 == 1)
            colour = Qt::black;
        else if (state_.rop2 == 16)
            colour = Qt::white;
        switch (b.style) {
        case kBsNull: return Qt::NoBrush;
        case kBsHatched: {
            static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern, Qt::BDiagPattern,
                Qt::CrossPattern, Qt::DiagCrossPattern};
            return QBrush(colour, b.hatch >= 0 && b.hatch < 6 ? hatches[b.hatch] : Qt::SolidPattern);
        }
        case kBsPattern:
        case kBsDibPattern:
        case kBsDibPatternPt:
            if (!b.pattern.isNull())
                return QBrush(b.pattern);
            return QBrush(colour);
        default: return QBrush(colour);
        }
    }

    void applyRop2()
    {
        switch (state_.rop2) {
        case 7: painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
        case 9: painter_.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
        case 15: painter_.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
        case 6: painter_.setCompositionMode(QPainter::RasterOp_NotDestination); break;
        case 4: painter_.setCompositionMode(QPainter::RasterOp_NotSource); break;
        default: painter_.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
        }
    }

    void applyClip()
    {
        const QTransform saved = painter_.transform();
        painter_.setTransform(QTransform());
        QPainterPath clip;
        clip.addRect(baseClip_);
        if (state_.clip)
            clip = clip.intersected(*state_.clip);
        painter_.setClipPath(clip);
        painter_.setTransform(saved);
    }

    void setClip(const QPainterPath& deviceArea, int mode)
    {
        // RGN_AND 1, RGN_OR 2, RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5
        QPainterPath current;
        if (state_.clip)
            current = *state_.clip;
        else
            current.addRect(baseClip_);
        switch (mode) {
        case 1: state_.clip = current.intersected(deviceArea); break;
        case 2:
        case 3: state_.clip = current.united(deviceArea); break;
        case 4: state_.clip = current.subtracted(deviceArea); break;
        default: state_.clip = deviceArea; break;
        }
        applyClip();
    }

    void clipRect(const QRectF& logical, bool exclude)
    {
        QPainterPath area;
        area.addRect(logical.normalized());
        setClip(transform_.map(area), exclude ? 4 : 1);
    }

    // ---- shapes ----
    Qt::FillRule fillRule() const { return state_.fillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill; }

    void shape(QPainterPath path, bool fill, bool stroke)
    {
        if (state_.rop2 == 11)  // R2_NOP
            return;
        path.setFillRule(fillRule());
        if (inPath_) {
            path_.addPath(transform_.map(path));
            return;
        }
        painter_.setTransform(transform_);
        applyRop2();
        if (fill && state_.brush.style == kBsHatched && state_.bkMode == kOpaque)
            painter_.fillPath(path, state_.bkColor);
        painter_.setPen(stroke ? qpen() : QPen(Qt::NoPen));
        painter_.setBrush(fill ? qbrush() : QBrush(Qt::NoBrush));
        painter_.drawPath(path);
    }

    void devicePath(bool fill, bool stroke)
    {
        QPainterPath path = path_;
        path.setFillRule(fillRule());
        painter_.setTransform(QTransform());
        applyRop2();
        painter_.setPen(stroke ? qpen(linearScale()) : QPen(Qt::NoPen));
        painter_.setBrush(fill ? qbrush() : QBrush(Qt::NoBrush));
        painter_.drawPath(path);
        path_ = QPainterPath();
        pathDone_ = false;
    }

    void lineTo(QPointF p)
    {
        if (inPath_) {
            if (path_.elementCount() == 0)
                path_.moveTo(transform_.map(state_.current));
            path_.lineTo(transform_.map(p));
        } else {
            QPainterPath line(state_.current);
            line.lineTo(p);
            shape(line, false, true);
        }
        state_.current = p;
    }

    void moveTo(QPointF p)
    {
        state_.current = p;
        if (inPath_)
            path_.moveTo(transform_.map(p));
    }

    void poly(const std::vector<QPointF>& points, bool closed, bool bezier, bool fromCurrent)
    {
        if (points.empty())
            return;
        QPainterPath path;
        std::size_t i = 0;
        if (fromCurrent) {
            path.moveTo(state_.current);
        } else {
            path.moveTo(points[0]);
            i = 1;
        }
        if (bezier) {
            for (; i + 2 < points.size(); i += 3)
                path.cubicTo(points[i], points[i + 1], points[i + 2]);
        } else {
            for (; i < points.size(); ++i)
                path.lineTo(points[i]);
        }
        if (closed)
            path.closeSubpath();
        if (fromCurrent) {
            state_.current = path.currentPosition();
            if (inPath_) {
                // continue the open figure
                if (path_.elementCount() == 0)
                    path_.moveTo(transform_.map(path.elementAt(0)));
                for (int e = 1; e < path.elementCount(); ++e) {
                    const QPainterPath::Element el = path.elementAt(e);
                    if (el.type == QPainterPath::CurveToElement && e + 2 < path.elementCount()) {
                        path_.cubicTo(transform_.map(QPointF(el)), transform_.map(QPointF(path.elementAt(e + 1))),
                            transform_.map(QPointF(path.elementAt(e + 2))));
                        e += 2;
                    } else {
                        path_.lineTo(transform_.map(QPointF(el)));
                    }
                }
                return;
            }
        }
        shape(path, closed, true);
    }

    static QRectF rectOf(double left, double top, double right, double bottom)
    {
        return QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
    }

    // Arc, Pie and Chord: the box, and the radials to the start and end points.
    void arc(const QRectF& box, QPointF start, QPointF end, int kind)  // 0 arc, 1 pie, 2 chord, 3 arcto
    {
        if (box.width() <= 0 || box.height() <= 0)
            return;
        const QPointF c = box.center();
        const double rx = box.width() / 2, ry = box.height() / 2;
        auto angle = [&](QPointF p) { return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180 / M_PI; };
        const double a0 = angle(start);
        double sweep = angle(end) - a0;
        if (state_.clockwise) {
            while (sweep >= 0)
                sweep -= 360;
        } else {
            while (sweep <= 0)
                sweep += 360;
        }
        QPainterPath path;
        if (kind == 1) {
            path.moveTo(c);
            path.arcTo(box, a0, sweep);
            path.closeSubpath();
        } else {
            path.arcMoveTo(box, a0);
            if (kind == 3) {
                lineTo(path.currentPosition());
                path = QPainterPath(path.currentPosition());
            }
            path.arcTo(box, a0, sweep);
            if (kind == 2)
                path.closeSubpath();
        }
        if (kind == 3) {
            state_.current = path.currentPosition();
            if (inPath_) {
                path_.addPath(transform_.map(path));
                return;
            }
        }
        shape(path, kind == 1 || kind == 2, true);
    }

    // ---- text ----
    QFont qfont(double pixelSize) const
    {
        const Font& f = state_.font;
        QFont font;
        if (!f.face.isEmpty())
            font.setFamily(f.face);
        switch (f.pitchAndFamily & 0xF0) {
        case 0x10: font.setStyleHint(QFont::Serif); break;
        case 0x20: font.setStyleHint(QFont::SansSerif); break;
        case 0x30: font.setStyleHint(QFont::TypeWriter); break;
        case 0x40: font.setStyleHint(QFont::Cursive); break;
        case 0x50: font.setStyleHint(QFont::Decorative); break;
        default: break;
        }
        font.setPixelSize(std::max(1, int(std::lround(std::min(pixelSize, kMaxFontPixels)))));
        font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
        font.setItalic(f.italic);
        font.setUnderline(f.underline);
        font.setStrikeOut(f.strike);
        return font;
    }

    void text(QPointF reference, const QString& chars, const std::vector<double>& dx, int options, const QRectF& rect)
    {
        if (chars.isEmpty() && !(options & kEtoOpaque))
            return;
        if (state_.textAlign & kTaUpdateCp)
            reference = state_.current;
        painter_.save();
        if (options & kEtoOpaque) {
            painter_.setTransform(transform_);
            painter_.fillRect(rect.normalized(), state_.bkColor);
        }
        if (options & kEtoClipped) {
            painter_.setTransform(transform_);
            painter_.setClipRect(rect.normalized(), Qt::IntersectClip);
        }
        const QPointF origin = transform_.map(reference);
        const QPointF ux = transform_.map(reference + QPointF(1, 0)) - origin;
        const QPointF uy = transform_.map(reference + QPointF(0, 1)) - origin;
        const double sx = std::hypot(ux.x(), ux.y());
        const double sy = std::hypot(uy.x(), uy.y());
        if (sx <= 0 || sy <= 0 || !std::isfinite(sx) || !std::isfinite(sy)) {
            painter_.restore();
            return;
        }
        double logicalHeight = std::abs(state_.font.height);
        if (logicalHeight == 0)
            logicalHeight = 12 / sy;  // GDI's default font, about 12 pixels
        else if (state_.font.height > 0)
            logicalHeight *= 0.8;  // a cell height: take off the internal leading
        const QFont font = qfont(logicalHeight * sy);
        const QFontMetricsF metrics(font);
        double width = 0;
        const bool spaced = std::size_t(chars.size()) == dx.size();
        if (spaced) {
            for (double d : dx)
                width += d * sy;
        } else {
            width = metrics.horizontalAdvance(chars);
        }
        double x = 0, y = 0;
        switch (state_.textAlign & kTaHorizontal) {
        case kTaRight: x = -width; break;
        case kTaCenter: x = -width / 2; break;
        default: break;
        }
        switch (state_.textAlign & kTaVertical) {
        case kTaBaseline: break;
        case kTaBottom: y = -metrics.descent(); break;
        default: y = metrics.ascent(); break;
        }
        double angle = std::atan2(ux.y(), ux.x()) * 180 / M_PI - state_.font.escapement / 10.0;
        QTransform frame;
        frame.translate(origin.x(), origin.y());
        frame.rotate(angle);
        // Qt's glyph cache crashes when FreeType fails to render a glyph, and it
        // does for extreme aspect ratios (from about 80 times as wide as high).
        frame.scale(std::clamp(sx / sy, 1 / kMaxTextStretch, kMaxTextStretch), 1);
        painter_.setTransform(frame);
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (state_.bkMode == kOpaque && !(options & kEtoOpaque))
            painter_.fillRect(
                QRectF(x, y - metrics.ascent(), width, metrics.ascent() + metrics.descent()), state_.bkColor);
        painter_.setFont(font);
        painter_.setPen(state_.textColor);
        if (spaced) {
            double at = x;
            for (qsizetype i = 0; i < chars.size(); ++i) {
                painter_.drawText(QPointF(at, y), QString(chars[i]));
                at += dx[std::size_t(i)] * sy;
            }
        } else {
            painter_.drawText(QPointF(x, y), chars);
        }
        painter_.restore();
        if (state_.textAlign & kTaUpdateCp)
            state_.current = reference + QPointF(width / sy, 0);  // frame units are sy per logical unit
    }

    // ---- bitmaps ----
    void blit(const QImage& image, QRectF dest, QRectF source, std::uint32_t rop)
    {
        if (!ropUses(rop, kRopSource)) {
            patternBlit(dest, rop);
            return;
        }
        if (image.isNull() || dest.width() == 0 || dest.height() == 0)
            return;
        QImage picture = image;
        if (dest.width() < 0 || dest.height() < 0) {
            picture = picture.mirrored(dest.width() < 0, dest.height() < 0);
            source = QRectF(dest.width() < 0 ? picture.width() - source.right() : source.left(),
                dest.height() < 0 ? picture.height() - source.bottom() : source.top(), source.width(), source.height());
            dest = dest.normalized();
        }
        if (source.width() <= 0 || source.height() <= 0)
            source = picture.rect();
        painter_.save();
        painter_.setTransform(transform_);
        switch (rop) {
        case kSrcPaint: painter_.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
        case kSrcAnd: painter_.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
        case kSrcInvert: painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
        case kNotSrcCopy: painter_.setCompositionMode(QPainter::RasterOp_NotSource); break;
        default: break;
        }
        painter_.drawImage(dest, picture, source);
        painter_.restore();
    }

    // A raster operation without a source bitmap. The operations Qt has no
    // equivalent for are left out: painting them with the brush would cover
    // what is below, and GDI+ ends its files with a destination-only BitBlt
    // over the whole picture (to give the file its bounds).
    void patternBlit(const QRectF& dest, std::uint32_t rop)
    {
        painter_.save();
        painter_.setTransform(transform_);
        painter_.setPen(Qt::NoPen);
        const QRectF box = dest.normalized();
        switch (rop >> 16 & 0xFF) {
        case 0x00: painter_.fillRect(box, Qt::black); break;
        case 0xFF: painter_.fillRect(box, Qt::white); break;
        case 0x55:
            painter_.setCompositionMode(QPainter::RasterOp_NotDestination);
            painter_.fillRect(box, Qt::black);
            break;
        case 0x5A:
            painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter_.fillRect(box, qbrush());
            break;
        case 0xF0:
            if (state_.brush.style != kBsNull)
                painter_.fillRect(box, qbrush());
            break;
        default: break;  // 0xAA (the destination unchanged) among them
        }
        painter_.restore();
    }

    // A source rectangle for a DIB whose y runs from its bottom row.
    static QRectF dibSource(const QImage& image, double x, double y, double w, double h)
    {
        return QRectF(x, image.height() - y - h, w, h);
    }

    QImage patternImage(QImage image)
    {
        const qint64 pixels = image.isNull() ? 0 : qint64(image.width()) * image.height();
        if (pixels == 0 || patternPixels_ + pixels > kMaxPatternPixels)
            return {};
        patternPixels_ += pixels;
        return image;
    }

    // ---- objects ----
    Object* slot(std::size_t index)
    {
        if (index >= objects_.size())
            return nullptr;
        return &objects_[index];
    }

    void select(const Object& object)
    {
        switch (object.type) {
        case Object::Type::Pen: state_.pen = object.pen; break;
        case Object::Type::Brush: state_.brush = object.brush; break;
        case Object::Type::Font: state_.font = object.font; break;
        default: break;
        }
    }

    void release(std::size_t index)
    {
        if (Object* o = slot(index)) {
            if (o->type == Object::Type::Brush && !o->brush.pattern.isNull())
                patternPixels_ -= qint64(o->brush.pattern.width()) * o->brush.pattern.height();
            *o = Object{};
        }
    }

    void wmfStore(Object object)
    {
        for (Object& o : objects_) {
            if (o.type == Object::Type::None) {
                o = std::move(object);
                return;
            }
        }
        if (objects_.size() < kMaxObjects)
            objects_.push_back(std::move(object));
    }

    void emfStore(std::uint32_t index, Object object)
    {
        if (index == 0 || index >= kMaxObjects)
            return;
        if (index >= objects_.size())
            objects_.resize(index + 1);
        release(index);
        objects_[index] = std::move(object);
    }

    void stock(std::uint32_t which)
    {
        Object o;
        switch (which) {
        case 0:
            o.type = Object::Type::Brush;
            o.brush.color = Qt::white;
            break;
        case 1:
            o.type = Object::Type::Brush;
            o.brush.color = QColor(192, 192, 192);
            break;
        case 2:
            o.type = Object::Type::Brush;
            o.brush.color = QColor(128, 128, 128);
            break;
        case 3:
            o.type = Object::Type::Brush;
            o.brush.color = QColor(64, 64, 64);
            break;
        case 4:
            o.type = Object::Type::Brush;
            o.brush.color = Qt::black;
            break;
        case 5:
            o.type = Object::Type::Brush;
            o.brush.style = kBsNull;
            break;
        case 6:
            o.type = Object::Type::Pen;
            o.pen.color = Qt::white;
            break;
        case 7:
            o.type = Object::Type::Pen;
            o.pen.color = Qt::black;
            break;
        case 8:
            o.type = Object::Type::Pen;
            o.pen.style = kPsNull;
            break;
        case 10:
        case 11:
        case 16:
            o.type = Object::Type::Font;
            o.font.pitchAndFamily = 0x31;
            break;
        case 12:
        case 13:
        case 14:
        case 17:
            o.type = Object::Type::Font;
            o.font.pitchAndFamily = 0x22;
            break;
        case 18:
            o.type = Object::Type::Brush;
            o.brush.color = Qt::white;
            break;
        case 19:
            o.type = Object::Type::Pen;
            o.pen.color = Qt::black;
            break;
        default: return;
        }
        select(o);
    }

    // ---- state ----
    void saveDc()
    {
        if (saved_.size() < kMaxSavedStates)
            saved_.push_back(state_);
        else
            ++lostSaves_;
    }

    void restoreDc(int which)
    {
        std::size_t depth = saved_.size() + lostSaves_;
        std::size_t keep;  // saved states left after the restore
        if (which < 0) {
            if (std::size_t(-std::int64_t(which)) > depth)
                return;
            keep = depth - std::size_t(-std::int64_t(which));
        } else if (which > 0 && std::size_t(which) <= depth) {
            keep = std::size_t(which) - 1;
        } else {
            return;
        }
        // States beyond the stack's bound were never kept: drop them first.
        while (depth > keep && lostSaves_ > 0) {
            --lostSaves_;
            --depth;
        }
        if (depth == keep)
            return;
        state_ = saved_[keep];
        saved_.resize(keep);
        updateTransform();
        applyClip();
    }

    // ---- reading helpers ----
    template <class ReadPoint>
    std::vector<QPointF> points(
        const RecordReader& r, std::size_t at, std::uint64_t count, std::size_t bytesPerPoint, ReadPoint read)
    {
        std::vector<QPointF> out;
        if (count == 0 || count > r.size() / bytesPerPoint || !r.has(at, std::size_t(count) * bytesPerPoint))
            return out;
        out.reserve(std::size_t(count));
        for (std::size_t i = 0; i < count; ++i)
            out.push_back(read(at + i * bytesPerPoint));
        return out;
    }

    std::vector<QPointF> wmfPoints(const RecordReader& r, std::size_t at, std::uint64_t count)
    {
        return points(r, at, count, 4, [&](std::size_t p) { return QPointF(r.i16(p), r.i16(p + 2)); });
    }

    std::vector<QPointF> emfPoints(const RecordReader& r, std::size_t at, std::uint64_t count, bool small)
    {
        if (small)
            return points(r, at, count, 4, [&](std::size_t p) { return QPointF(r.i16(p), r.i16(p + 2)); });
        return points(r, at, count, 8, [&](std::size_t p) { return QPointF(r.i32(p), r.i32(p + 4)); });
    }

    // Several polygons or polylines: counts, then all points.
    void polyPoly(const std::vector<std::uint32_t>& counts, const std::vector<QPointF>& all, bool closed)
    {
        QPainterPath path;
        std::size_t at = 0;
        for (std::uint32_t n : counts) {
            if (n == 0 || n > all.size() - at)
                return;
            path.moveTo(all[at]);
            for (std::size_t i = 1; i < n; ++i)
                path.lineTo(all[at + i]);
            if (closed)
                path.closeSubpath();
            at += n;
        }
        shape(path, closed, true);
    }

    // ---- regions ----
    // A WMF region object: a header, its bounds, then scans of left-right
    // pairs between a top and a bottom, as many as the record holds. Kept in
    // logical units and mapped when selected, as the player's other shapes.
    Object wmfRegion(const RecordReader& r)
    {
        Object o;
        o.type = Object::Type::Region;
        const std::size_t scans = r.u16(10);
        std::size_t at = 22;
        std::vector<QRect> rects;
        for (std::size_t i = 0; i < scans && r.has(at, 6) && rects.size() < kMaxRegionRects; ++i) {
            const std::size_t count = r.u16(at);  // 16-bit values in the pairs
            const int top = r.i16(at + 2), bottom = r.i16(at + 4);
            if (!r.has(at + 6, count * 2 + 2))
                break;
            for (std::size_t k = 0; k + 1 < count && rects.size() < kMaxRegionRects; k += 2)
                rects.push_back(regionRect(r.i16(at + 6 + 2 * k), top, r.i16(at + 8 + 2 * k), bottom));
            at += 6 + count * 2 + 2;
        }
        if (scans == 0 && r.has(14, 8))  // an empty scan list: the bounds
            rects.push_back(regionRect(r.i16(14), r.i16(16), r.i16(18), r.i16(20)));
        o.region.addRegion(unite(rects));
        return o;
    }

    // Region rectangles are united as QRegion bands: uniting them as paths
    // costs far more for many overlapping rectangles.
    static QRect regionRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
    {
        static constexpr std::int64_t limit = std::int64_t(1) << 28;  // QRect's arithmetic stays in int
        auto c = [](std::int64_t v) { return int(std::clamp(v, -limit, limit)); };
        return QRect(QPoint(c(std::min(left, right)), c(std::min(top, bottom))),
            QPoint(c(std::max(left, right)) - 1, c(std::max(top, bottom)) - 1));
    }

    static QRegion unite(const std::vector<QRect>& rects)
    {
        QRegion region;
        for (const QRect& rect : rects)
            if (rect.isValid())
                region += rect;
        return region;
    }

    void selectClipRegion(const Object* region)
    {
        if (region == nullptr || region->type != Object::Type::Region) {
            state_.clip.reset();  // a null region: no clipping
            applyClip();
            return;
        }
        setClip(transform_.map(region->region), 5);
    }

    void offsetClip(QPointF logical)
    {
        if (!state_.clip)
            return;
        const QPointF delta = transform_.map(logical) - transform_.map(QPointF(0, 0));
        state_.clip->translate(delta);
        applyClip();
    }

    // FillRgn (with `brush`) or PaintRgn (the selected brush).
    void paintRegion(const Object* region, const Object* brush)
    {
        if (region == nullptr || region->type != Object::Type::Region)
            return;
        const Brush saved = state_.brush;
        if (brush != nullptr && brush->type == Object::Type::Brush)
            state_.brush = brush->brush;
        shape(region->region, true, false);
        state_.brush = saved;
    }

    // The rectangles of an EMF RegionData at `at` (its header, then the
    // rectangles), in device units; `bytes` is the size the record gives it.
    static QPainterPath emfRegion(const RecordReader& r, std::size_t at, std::size_t bytes)
    {
        QPainterPath area;
        const std::uint64_t count = r.u32(at + 8);
        if (bytes < 32 || !r.has(at, bytes) || count > (bytes - 32) / 16)
            return area;
        std::vector<QRect> rects;
        for (std::size_t i = 0; i < count && i < kMaxRegionRects; ++i) {
            const std::size_t p = at + 32 + 16 * i;
            rects.push_back(regionRect(r.i32(p), r.i32(p + 4), r.i32(p + 8), r.i32(p + 12)));
        }
        area.addRegion(unite(rects));
        return area;
    }

    // ---- WMF ----
    Font wmfFont(const RecordReader& r)
    {
        Font f;
        f.height = r.i16(0);
        f.escapement = r.i16(4);
        f.weight = r.i16(8);
        f.italic = r.u8(10) != 0;
        f.underline = r.u8(11) != 0;
        f.strike = r.u8(12) != 0;
        f.pitchAndFamily = r.u8(17);
        std::size_t n = 0;
        while (n < 32 && r.has(18 + n, 1) && r.u8(18 + n) != 0)
            ++n;
        if (n > 0)
            f.face = fromAnsi(r.bytes(18, n), n);
        return f;
    }

    void wmfRecord(std::uint32_t function, const RecordReader& r)
    {
        switch (function) {
        case 0x0201: state_.bkColor = colorRef(r.u32(0)); break;
        case 0x0102: state_.bkMode = r.u16(0); break;
        case 0x0103: setMapMode(r.u16(0)); break;
        case 0x0104: state_.rop2 = r.u16(0); break;
        case 0x0106: state_.fillMode = r.u16(0); break;
        case 0x012E: state_.textAlign = r.u16(0); break;
        case 0x0209: state_.textColor = colorRef(r.u32(0)); break;
        case 0x020B:
            if (r.has(0, 4)) {
                state_.windowOrg = QPointF(r.i16(2), r.i16(0));
                updateTransform();
            }
            break;
        case 0x020C:
            if (r.has(0, 4)) {
                state_.windowExt = QSizeF(r.i16(2), r.i16(0));
                updateTransform();
            }
            break;
        case 0x020F:
            if (r.has(0, 4)) {
                state_.windowOrg += QPointF(r.i16(2), r.i16(0));
                updateTransform();
            }
            break;
        case 0x0410:
        case 0x0412:
            if (r.has(0, 8) && r.i16(0) != 0 && r.i16(4) != 0) {
                QSizeF& ext = function == 0x0410 ? state_.windowExt : state_.viewportExt;
                ext = QSizeF(ext.width() * r.i16(6) / r.i16(4), ext.height() * r.i16(2) / r.i16(0));
                updateTransform();
            }
            break;
        case 0x020D:
        case 0x0211:
            if (r.has(0, 4)) {
                const QPointF p(r.i16(2), r.i16(0));
                state_.viewportOrg = function == 0x020D ? p : state_.viewportOrg + p;
                updateTransform();
            }
            break;
        case 0x020E:
            if (r.has(0, 4)) {
                state_.viewportExt = QSizeF(r.i16(2), r.i16(0));
                updateTransform();
            }
            break;
        case 0x001E: saveDc(); break;
        case 0x0127: restoreDc(r.i16(0)); break;
        case 0x012D:
            if (Object* o = slot(r.u16(0))) {
                if (o->type == Object::Type::Region)
                    selectClipRegion(o);
                else
                    select(*o);
            }
            break;
        case 0x01F0: release(r.u16(0)); break;
        case 0x02FA: {
            Object o;
            o.type = Object::Type::Pen;
            o.pen.style = r.u16(0);
            o.pen.width = r.i16(2);
            o.pen.color = colorRef(r.u32(6));
            wmfStore(std::move(o));
            break;
        }
        case 0x02FC: {
            Object o;
            o.type = Object::Type::Brush;
            o.brush.style = r.u16(0);
            o.brush.color = colorRef(r.u32(2));
            o.brush.hatch = r.u16(6);
            wmfStore(std::move(o));
            break;
        }
        case 0x02FB: {
            Object o;
            o.type = Object::Type::Font;
            o.font = wmfFont(r);
            wmfStore(std::move(o));
            break;
        }
        case 0x0142: {
            Object o;
            o.type = Object::Type::Brush;
            o.brush.style = kBsDibPatternPt;
            o.brush.color = QColor(128, 128, 128);
            o.brush.pattern = patternImage(dibImage(r, 4, r.size() >= 4 ? r.size() - 4 : 0, 0, 0, true));
            wmfStore(std::move(o));
            break;
        }
        case 0x01F9: {  // a device-dependent pattern: grey
            Object o;
            o.type = Object::Type::Brush;
            o.brush.color = QColor(128, 128, 128);
            wmfStore(std::move(o));
            break;
        }
        case 0x00F7: {  // CreatePalette
            Object o;
            o.type = Object::Type::Other;
            wmfStore(std::move(o));
            break;
        }
        case 0x06FF: wmfStore(wmfRegion(r)); break;
        case 0x012C: selectClipRegion(slot(r.u16(0))); break;
        case 0x0220:  // OffsetClipRgn
            if (r.has(0, 4))
                offsetClip(QPointF(r.i16(2), r.i16(0)));
            break;
        case 0x0228:  // FillRegion: region, brush
            if (r.has(0, 4))
                paintRegion(slot(r.u16(0)), slot(r.u16(2)));
            break;
        case 0x012B: paintRegion(slot(r.u16(0)), nullptr); break;
        case 0x0415:
        case 0x0416:
            if (r.has(0, 8))
                clipRect(rectOf(r.i16(6), r.i16(4), r.i16(2), r.i16(0)), function == 0x0415);
            break;
        case 0x0214: moveTo(QPointF(r.i16(2), r.i16(0))); break;
        case 0x0213:
            if (r.has(0, 4))
                lineTo(QPointF(r.i16(2), r.i16(0)));
            break;
        case 0x041B:
        case 0x0418:
            if (r.has(0, 8)) {
                QPainterPath path;
                const QRectF box = rectOf(r.i16(6), r.i16(4), r.i16(2), r.i16(0));
                if (function == 0x041B)
                    path.addRect(box);
                else
                    path.addEllipse(box);
                shape(path, true, true);
            }
            break;
        case 0x061C:
            if (r.has(0, 12)) {
                QPainterPath path;
                path.addRoundedRect(rectOf(r.i16(10), r.i16(8), r.i16(6), r.i16(4)), std::abs(r.i16(2)) / 2.0,
                    std::abs(r.i16(0)) / 2.0);
                shape(path, true, true);
            }
            break;
        case 0x0817:
        case 0x081A:
        case 0x0830:
            if (r.has(0, 16))
                arc(rectOf(r.i16(14), r.i16(12), r.i16(10), r.i16(8)), QPointF(r.i16(6), r.i16(4)),
                    QPointF(r.i16(2), r.i16(0)),
                    function == 0x0817       ? 0
                        : function == 0x081A ? 1
                                             : 2);
            break;
        case 0x0324:
        case 0x0325: poly(wmfPoints(r, 2, r.u16(0)), function == 0x0324, false, false); break;
        case 0x0538: {
            const std::size_t polys = r.u16(0);
            if (!r.has(2, polys * 2))
                break;
            std::vector<std::uint32_t> counts;
            std::uint64_t total = 0;
            for (std::size_t i = 0; i < polys; ++i) {
                counts.push_back(r.u16(2 + 2 * i));
                total += counts.back();
            }
            const std::vector<QPointF> all = wmfPoints(r, 2 + polys * 2, total);
            if (all.size() == total)
                polyPoly(counts, all, true);
            break;
        }
        case 0x041F:
            if (r.has(0, 8)) {
                painter_.setTransform(transform_);
                painter_.fillRect(QRectF(r.i16(6), r.i16(4), 1, 1), colorRef(r.u32(0)));
            }
            break;
        case 0x0521: {
            const std::size_t count = r.u16(0);
            const std::size_t after = 2 + ((count + 1) & ~std::size_t(1));
            if (count == 0 || count > kMaxTextChars || !r.has(after, 4))
                break;
            text(QPointF(r.i16(after + 2), r.i16(after)), fromAnsi(r.bytes(2, count), count), {}, 0, {});
            break;
        }
        case 0x0A32: {
            const std::size_t count = r.u16(4);
            const int options = r.u16(6);
            if (!r.has(0, 8) || count > kMaxTextChars)
                break;
            std::size_t at = 8;
            QRectF box;
            if (options & (kEtoOpaque | kEtoClipped)) {
                if (!r.has(8, 8))
                    break;
                box = rectOf(r.i16(8), r.i16(10), r.i16(12), r.i16(14));
                at = 16;
            }
            if (!r.has(at, count))
                break;
            const QString chars = fromAnsi(r.bytes(at, count), count);
            std::vector<double> dx;
            const std::size_t dxAt = at + ((count + 1) & ~std::size_t(1));
            if (count > 0 && r.has(dxAt, count * 2))
                for (std::size_t i = 0; i < count; ++i)
                    dx.push_back(r.i16(dxAt + 2 * i));
            text(QPointF(r.i16(2), r.i16(0)), chars, dx, options, box);
            break;
        }
        case 0x061D:
            if (r.has(0, 12))
                patternBlit(QRectF(r.i16(10), r.i16(8), r.i16(6), r.i16(4)), r.u32(0));
            break;
        case 0x0F43: {
            if (!r.has(0, 22))
                break;
            const QImage image = dibImage(r, 22, r.size() - 22, 0, 0, true);
            blit(image, QRectF(r.i16(20), r.i16(18), r.i16(16), r.i16(14)),
                dibSource(image, r.i16(12), r.i16(10), r.i16(8), r.i16(6)), r.u32(0));
            break;
        }
        case 0x0B41:
            if (r.size() == 22) {  // no bitmap: a pattern operation
                patternBlit(QRectF(r.i16(20), r.i16(18), r.i16(16), r.i16(14)), r.u32(0));
            } else if (r.has(0, 20)) {
                const QImage image = dibImage(r, 20, r.size() - 20, 0, 0, true);
                blit(image, QRectF(r.i16(18), r.i16(16), r.i16(14), r.i16(12)),
                    dibSource(image, r.i16(10), r.i16(8), r.i16(6), r.i16(4)), r.u32(0));
            }
            break;
        case 0x0940:
            if (r.size() == 18) {
                patternBlit(QRectF(r.i16(16), r.i16(14), r.i16(12), r.i16(10)), r.u32(0));
            } else if (r.has(0, 16)) {
                const QImage image = dibImage(r, 16, r.size() - 16, 0, 0, true);
                blit(image, QRectF(r.i16(14), r.i16(12), r.i16(10), r.i16(8)),
                    dibSource(image, r.i16(6), r.i16(4), r.i16(10), r.i16(8)), r.u32(0));
            }
            break;
        default: break;  // skipped
        }
    }

    // ---- EMF ----
    static QTransform xform(const RecordReader& r, std::size_t at)
    {
        return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20));
    }

    QImage emfBitmap(
        const RecordReader& r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits, std::size_t cbBits)
    {
        return dibImage(r, offBmi, cbBmi, offBits, cbBits, false);
    }

    void emfText(const RecordReader& r, bool wide)
    {
        const std::uint64_t count = r.u32(44);
        const std::size_t offString = r.u32(48);
        const int options = int(r.u32(52));
        const QRectF box = rectOf(r.i32(56), r.i32(60), r.i32(64), r.i32(68));
        const std::size_t offDx = r.u32(72);
        if (!r.has(0, 76) || count > kMaxTextChars)
            return;
        const std::size_t bytes = std::size_t(count) * (wide ? 2 : 1);
        if (!r.has(offString, bytes))
            return;
        QString chars;
        if (wide) {
            chars.resize(qsizetype(count));
            for (std::size_t i = 0; i < count; ++i)
                chars[qsizetype(i)] = QChar(r.u16(offString + 2 * i));
        } else {
            chars = fromAnsi(r.bytes(offString, bytes), bytes);
        }
        std::vector<double> dx;
        if (offDx != 0 && count > 0 && r.has(offDx, std::size_t(count) * 4))
            for (std::size_t i = 0; i < count; ++i)
                dx.push_back(r.i32(offDx + 4 * i));
        text(QPointF(r.i32(36), r.i32(40)), chars, dx, options, box);
    }

    void emfRecord(std::uint32_t type, const RecordReader& r)
    {
        switch (type) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 85:
        case 86:
        case 87:
        case 88:
        case 89: {
            const bool small = type >= 85;
            const std::uint32_t kind = small ? type - 83 : type;  // 2 bezier, 3 polygon, 4 polyline, 5, 6
            poly(emfPoints(r, 28, r.u32(24), small), kind == 3, kind == 2 || kind == 5, kind == 5 || kind == 6);
            break;
        }
        case 7:
        case 8:
        case 90:
        case 91: {
            const bool small = type >= 90;
            const std::uint64_t polys = r.u32(24);
            const std::uint64_t total = r.u32(28);
            if (polys == 0 || polys > r.size() / 4 || !r.has(32, std::size_t(polys) * 4))
                break;
            std::vector<std::uint32_t> counts;
            std::uint64_t sum = 0;
            for (std::size_t i = 0; i < polys; ++i) {
                counts.push_back(r.u32(32 + 4 * i));
                sum += counts.back();
            }
            if (sum != total)
                break;
            const std::vector<QPointF> all = emfPoints(r, 32 + std::size_t(polys) * 4, total, small);
            if (all.size() == total)
                polyPoly(counts, all, type == 8 || type == 91);
            break;
        }
        case 9:
            state_.windowExt = QSizeF(r.i32(8), r.i32(12));
            updateTransform();
            break;
        case 10:
            state_.windowOrg = QPointF(r.i32(8), r.i32(12));
            updateTransform();
            break;
        case 11:
            state_.viewportExt = QSizeF(r.i32(8), r.i32(12));
            updateTransform();
            break;
        case 12:
            state_.viewportOrg = QPointF(r.i32(8), r.i32(12));
            updateTransform();
            break;
        case 31:
        case 32:
            if (r.i32(12) != 0 && r.i32(20) != 0) {
                QSizeF& ext = type == 31 ? state_.viewportExt : state_.windowExt;
                ext = QSizeF(ext.width() * r.i32(8) / r.i32(12), ext.height() * r.i32(16) / r.i32(20));
                updateTransform();
            }
            break;
        case 15:
            painter_.setTransform(transform_);
            painter_.fillRect(QRectF(r.i32(8), r.i32(12), 1, 1), colorRef(r.u32(16)));
            break;
        case 17: setMapMode(r.u32(8)); break;
        case 18: state_.bkMode = int(r.u32(8)); break;
        case 19: state_.fillMode = int(r.u32(8)); break;
        case 20: state_.rop2 = int(r.u32(8)); break;
        case 22: state_.textAlign = int(r.u32(8)); break;
        case 24: state_.textColor = colorRef(r.u32(8)); break;
        case 25: state_.bkColor = colorRef(r.u32(8)); break;
        case 27: moveTo(QPointF(r.i32(8), r.i32(12))); break;
        case 54: lineTo(QPointF(r.i32(8), r.i32(12))); break;
        case 29:
        case 30: clipRect(rectOf(r.i32(8), r.i32(12), r.i32(16), r.i32(20)), type == 29); break;
        case 33: saveDc(); break;
        case 34: restoreDc(r.i32(8)); break;
        case 35:
            if (r.has(8, 24)) {
                state_.world = xform(r, 8);
                updateTransform();
            }
            break;
        case 36:
            if (r.has(8, 28)) {
                const QTransform x = xform(r, 8);
                switch (r.u32(32)) {
                case 1: state_.world = QTransform(); break;
                case 2: state_.world = x * state_.world; break;
                case 3: state_.world = state_.world * x; break;
                case 4: state_.world = x; break;
                default: break;
                }
                updateTransform();
            }
            break;
        case 37: {
            const std::uint32_t index = r.u32(8);
            if (index & 0x80000000u)
                stock(index & 0x7FFFFFFFu);
            else if (Object* o = slot(index))
                select(*o);
            break;
        }
        case 40: release(r.u32(8)); break;
        case 38: {
            Object o;
            o.type = Object::Type::Pen;
            o.pen.style = int(r.u32(12));
            o.pen.width = r.i32(16);
            o.pen.color = colorRef(r.u32(24));
            emfStore(r.u32(8), std::move(o));
            break;
        }
        case 95: {
            Object o;
            o.type = Object::Type::Pen;
            o.pen.style = int(r.u32(28));
            o.pen.width = r.u32(32) > 0x7FFFFFFF ? 0 : r.u32(32);
            o.pen.color = colorRef(r.u32(40));
            emfStore(r.u32(8), std::move(o));
            break;
        }
        case 39: {
            Object o;
            o.type = Object::Type::Brush;
            o.brush.style = int(r.u32(12));
            o.brush.color = colorRef(r.u32(16));
            o.brush.hatch = int(r.u32(20));
            emfStore(r.u32(8), std::move(o));
            break;
        }
        case 93:
        case 94: {
            Object o;
            o.type = Object::Type::Brush;
            o.brush.style = kBsDibPatternPt;
            o.brush.color = QColor(128, 128, 128);
            o.brush.pattern = patternImage(emfBitmap(r, r.u32(16), r.u32(20), r.u32(24), r.u32(28)));
            emfStore(r.u32(8), std::move(o));
            break;
        }
        case 82: {
            Object o;
            o.type = Object::Type::Font;
            Font& f = o.font;
            f.height = r.i32(12);
            f.escapement = r.i32(20);
            f.weight = r.i32(28);
            f.italic = r.u8(32) != 0;
            f.underline = r.u8(33) != 0;
            f.strike = r.u8(34) != 0;
            f.pitchAndFamily = r.u8(39);
            for (std::size_t i = 0; i < 32 && r.has(40 + 2 * i, 2) && r.u16(40 + 2 * i) != 0; ++i)
                f.face.append(QChar(r.u16(40 + 2 * i)));
            emfStore(r.u32(8), std::move(o));
            break;
        }
        case 49: emfStore(r.u32(8), Object{Object::Type::Other, {}, {}, {}, {}}); break;  // CreatePalette
        case 41: {                                                                        // AngleArc
            const QPointF c(r.i32(8), r.i32(12));
            const double radius = r.u32(16);
            const double start = r.f32(20), sweep = r.f32(24);
            const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
            QPainterPath path;
            path.arcMoveTo(box, start);
            lineTo(path.currentPosition());
            path = QPainterPath(path.currentPosition());
            path.arcTo(box, start, sweep);
            state_.current = path.currentPosition();
            if (inPath_)
                path_.addPath(transform_.map(path));
            else
                shape(path, false, true);
            break;
        }
        case 42:
        case 43: {
            QPainterPath path;
            const QRectF box = rectOf(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            if (type == 43)
                path.addRect(box);
            else
                path.addEllipse(box);
            shape(path, true, true);
            break;
        }
        case 44: {
            QPainterPath path;
            path.addRoundedRect(rectOf(r.i32(8), r.i32(12), r.i32(16), r.i32(20)), std::abs(r.i32(24)) / 2.0,
                std::abs(r.i32(28)) / 2.0);
            shape(path, true, true);
            break;
        }
        case 45:
        case 46:
        case 47:
        case 55:
            arc(rectOf(r.i32(8), r.i32(12), r.i32(16), r.i32(20)), QPointF(r.i32(24), r.i32(28)),
                QPointF(r.i32(32), r.i32(36)),
                type == 45       ? 0
                    : type == 47 ? 1
                    : type == 46 ? 2
                                 : 3);
            break;
        case 57: state_.clockwise = r.u32(8) == 2; break;
        case 59:
            inPath_ = true;
            path_ = QPainterPath();
            break;
        case 60: inPath_ = false; break;
        case 61:
            if (inPath_)
                path_.closeSubpath();
            break;
        case 68:
            inPath_ = false;
            path_ = QPainterPath();
            break;
        case 62:
        case 63:
        case 64:
            if (!inPath_)
                devicePath(type != 64, type != 62);
            break;
        case 67:
            if (!inPath_) {
                setClip(path_, int(r.u32(8)));
                path_ = QPainterPath();
            }
            break;
        case 75: {
            const std::uint32_t bytes = r.u32(8);
            const int mode = int(r.u32(12));
            if (bytes < 32) {
                if (mode == 5) {
                    state_.clip.reset();
                    applyClip();
                }
                break;
            }
            if (r.has(16, bytes))
                setClip(base_.map(emfRegion(r, 16, bytes)), mode);
            break;
        }
        case 26:  // OffsetClipRgn
            offsetClip(QPointF(r.i32(8), r.i32(12)));
            break;
        case 71:    // FillRgn: bounds, data size, brush, data
        case 74: {  // PaintRgn: bounds, data size, data
            Object region;
            region.type = Object::Type::Region;
            // The region is in device units: bring it to logical ones.
            const QPainterPath device = base_.map(emfRegion(r, type == 71 ? 32 : 28, r.u32(24)));
            region.region = transform_.inverted().map(device);
            Object* brush = nullptr;
            if (type == 71) {
                const std::uint32_t index = r.u32(28);
                if (index & 0x80000000u) {
                    const Brush saved = state_.brush;
                    stock(index & 0x7FFFFFFFu);
                    paintRegion(&region, nullptr);
                    state_.brush = saved;
                    break;
                }
                brush = slot(index);
                if (brush == nullptr)
                    break;
            }
            paintRegion(&region, brush);
            break;
        }
        case 76:
        case 77: {
            const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
            const std::uint32_t rop = r.u32(40);
            const std::uint32_t cbBmi = r.u32(88);
            if (cbBmi == 0) {
                patternBlit(dest, rop);
                break;
            }
            const QImage image = emfBitmap(r, r.u32(84), cbBmi, r.u32(92), r.u32(96));
            const double cx = type == 77 ? r.i32(100) : dest.width();
            const double cy = type == 77 ? r.i32(104) : dest.height();
            blit(image, dest, QRectF(r.i32(44), r.i32(48), cx, cy), rop);
            break;
        }
        case 80:
        case 81: {
            const QImage image = emfBitmap(r, r.u32(48), r.u32(52), r.u32(56), r.u32(60));
            if (image.isNull())
                break;
            const double cxSrc = r.i32(40), cySrc = r.i32(44);
            const QRectF dest(r.i32(24), r.i32(28), type == 81 ? r.i32(72) : cxSrc, type == 81 ? r.i32(76) : cySrc);
            blit(image, dest, dibSource(image, r.i32(32), r.i32(36), cxSrc, cySrc), type == 81 ? r.u32(68) : kSrcCopy);
            break;
        }
        case 83:
        case 84: emfText(r, type == 84); break;
        default: break;  // skipped, comments and EMF+ included
        }
    }

    const Metafile& file_;
    QPainter& painter_;
    bool emf_;
    QRectF baseClip_;
    QTransform base_;
    QTransform transform_;  // logical to target coordinates
    double pixelsPerMmX_ = 96 / 25.4, pixelsPerMmY_ = 96 / 25.4;
    DcState state_;
    std::vector<DcState> saved_;
    std::size_t lostSaves_ = 0;
    std::vector<Object> objects_;
    qint64 patternPixels_ = 0;
    bool inPath_ = false;
    bool pathDone_ = false;
    QPainterPath path_;  // target coordinates
};

}  // namespace

void play(const Metafile& file, QPainter& painter, const QRectF& target)
{
    if (target.isEmpty() || file.extentX == 0 || file.extentY == 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // The player works in device coordinates of its own: fold the painter's
    // transform into the target.
    const QTransform outer = painter.transform();
    Player player(file, painter, outer.mapRect(target));
    painter.setTransform(QTransform());
    player.run();
    painter.restore();
}

QImage render(const Metafile& file, QSize size, QColor background)
{
    if (size.isEmpty())
        return {};
    QImage image(size, background.alpha() == 255 ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(background);
    QPainter painter(&image);
    play(file, painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

}  // namespace iradudo::metafile
