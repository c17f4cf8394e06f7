// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// EMF+ records: the drawing GDI+ stores in the comments of an EMF (Qt Gui).
// The metafile player hands every EMF+ comment to EmfPlusPlayer, and plays
// the EMF records only where GDI+ would: after a GetDC record, until the next
// EMF+ comment. A dual file (EMF+ with the GDI drawing after it) whose EMF+
// records include one the player does not draw is played from its GDI
// records instead (see playsEmfPlus).
//
// Drawn: the header (the reference resolution), objects (brushes: solid,
// hatched, linear gradients, textures, path
// gradients as their centre colour; pens: width,
// unit, caps, joins, dash styles and patterns; paths; regions; images:
// bitmaps in 24- and 32-bit pixel formats and compressed PNG, JPEG, GIF,
// BMP; fonts; string formats' alignment and wrapping), Clear, FillRects, DrawRects,
// FillPolygon, DrawLines, FillEllipse, DrawEllipse, FillPie, DrawPie,
// DrawArc, FillPath, DrawPath, FillRegion, FillClosedCurve, DrawClosedCurve,
// DrawCurve, DrawBeziers, DrawString, DrawImage, DrawImagePoints, the world
// and page transforms, Save, Restore, BeginContainer(NoParams),
// EndContainer, ResetClip, SetClipRect, SetClipPath, SetClipRegion,
// OffsetClip, SetCompositingMode and GetDC. Skipped (rendering hints,
// comments): everything else, metafile images and DrawDriverString among them.

#include "viewers/metafile/metafile.h"

#include <QPainterPath>
#include <QTransform>

#include <memory>

class QPainter;

namespace iradudo::metafile {

// Bounds beside those of metafile_player.h: object data gathered from
// continued records, path points per path, region nodes per region (and
// their depth), and saved states.
constexpr std::size_t kMaxPlusObjectBytes = std::size_t(16) << 20;
constexpr std::size_t kMaxPlusPathPoints = std::size_t(1) << 20;
constexpr std::size_t kMaxPlusRegionNodes = 64;
constexpr std::size_t kMaxPlusSavedStates = 1024;

// Whether the file holds EMF+ records that should be played in place of its
// EMF records: an EMF+ header opens it, and either it is EMF+ only or every
// EMF+ record it holds is one the player draws or may skip.
bool playsEmfPlus(const Metafile& file);

// The EMF+ records of one EMR_COMMENT ("EMF+" after the record's first 12
// bytes), in file order.
bool isEmfPlusComment(const RecordReader& comment);

class EmfPlusPlayer {
public:
    // `device` maps the reference device's pixels onto the painter's
    // (untransformed) coordinates, `clip` is the picture's area there.
    EmfPlusPlayer(QPainter& painter, const QTransform& device, const QRectF& clip);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    void comment(const RecordReader& comment);
    // Whether EMF records play now (after a GetDC record).
    bool emfEnabled() const;

private:
    struct State;
    std::unique_ptr<State> d_;
};

}  // namespace iradudo::metafile
