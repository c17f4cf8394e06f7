// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Plays a parsed metafile onto a QPainter: the one player behind the image
// viewer's metafile pictures, metafile pictures inside rich text, and their
// printing.
//
// Drawn: the mapping records (window and viewport origin and extent, their
// offsets and scalings, the map modes; EMF world transforms), SaveDC and
// RestoreDC, pens (cosmetic and geometric, dash styles, caps and joins),
// brushes (solid, hatched, DIB patterns; GDI's stock objects in EMF), fonts,
// MoveTo/LineTo, Rectangle, RoundRect, Ellipse, Arc, ArcTo, AngleArc, Pie,
// Chord, Polygon, Polyline, PolyPolygon, PolyPolyline, PolyBezier(To) and
// PolylineTo in their 16- and 32-bit point forms, SetPixel, paths
// (BeginPath ... EndPath, CloseFigure, StrokePath, FillPath,
// StrokeAndFillPath, SelectClipPath, AbortPath), the fill modes, the binary
// raster operations that Qt has (copy, xor, and, or, not, black, white,
// nop), text (WMF TextOut and ExtTextOut, EMF ExtTextOutA and ExtTextOutW:
// text colour, background mode and colour, alignment, escapement, character
// spacing, opaque and clipped rectangles), bitmaps (WMF StretchDIB,
// DIBStretchBlt, DIBBitBlt, PatBlt; EMF StretchDIBits, SetDIBitsToDevice,
// BitBlt, StretchBlt) with SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, NOTSRCCOPY,
// DSTINVERT, BLACKNESS, WHITENESS, PATCOPY and PATINVERT (other operations
// without a source, such as the destination-only BitBlt that closes GDI+
// files, draw nothing), clipping by rectangles (IntersectClipRect,
// ExcludeClipRect), regions (WMF CreateRegion with SelectClipRegion or
// SelectObject, EMF ExtSelectClipRgn, OffsetClipRgn of both) and paths, and
// region painting (FillRegion, PaintRegion; EMF FillRgn, PaintRgn). WMF map
// modes: the fixed ones at the placeable header's units per inch (else 96);
// MM_TEXT maps the window onto the picture as MM_ANISOTROPIC does.
//
// EMF+ records in comments are played by emf_plus.h, which also says when the
// EMF records are played beside them.
//
// Skipped: other comments (embedded spool data), palettes, FrameRgn and InvertRgn, flood fills,
// MaskBlt, PlgBlt, AlphaBlend, TransparentBlt, escapes, colour adjustment, WidenPath and FlattenPath, and
// any record the player does not know. Nothing in a record is fatal.

#include "viewers/metafile/metafile.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

namespace iradudo::metafile {

// Bounds on what playing can allocate, beside the file itself: one decoded
// bitmap (a record naming a larger one is skipped), all the pattern brushes
// alive at once (beyond it a pattern brush falls back to a grey solid one), the
// object table (WMF: its header's slot count, at most 65535; EMF: indexes
// beyond this are ignored) and the SaveDC stack (deeper saves are ignored).
constexpr qint64 kMaxBitmapPixels = qint64(1) << 24;
constexpr qint64 kMaxPatternPixels = qint64(1) << 22;
constexpr std::size_t kMaxObjects = 65536;
constexpr std::size_t kMaxSavedStates = 1024;

// Draws the picture so that its own extent (Metafile::originX... extentY)
// fills `target`, in the painter's current coordinates. The painter's state is
// restored afterwards.
void play(const Metafile& file, QPainter& painter, const QRectF& target);

// Renders the picture into a new image of the given size, filled first with
// `background` (Qt::transparent for an image with alpha).
QImage render(const Metafile& file, QSize size, QColor background);

}  // namespace iradudo::metafile
