// SPDX-License-Identifier: GPL-3.0-or-later
// Single records on hand-made files (metafile_builder.h): raster operations,
// mapping modes and clipping regions, each case read back as pixel colours.
#include "metafile_builder.h"

#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"

#include <gtest/gtest.h>

#include <QImage>

namespace mf = iradudo::metafile;
using iradudo::test::EmfRecord;
using iradudo::test::makeEmf;
using iradudo::test::makeWmf;
using iradudo::test::WmfRecord;

namespace {

QImage playImage(const std::vector<std::uint8_t>& bytes)
{
    const mf::Metafile m = mf::parse(bytes.data(), bytes.size());
    return mf::render(m, QSize(m.width, m.height), Qt::white);
}

QRgb rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

// EMF records used below.
EmfRecord emfSolidBrush(int index, std::uint32_t colorRef)
{
    return {39, {index, 0, colorRef, 0}};
}
EmfRecord emfSelect(std::int64_t index)
{
    return {37, {index}};
}
EmfRecord emfRectangle(int left, int top, int right, int bottom)
{
    return {43, {left, top, right, bottom}};
}
const EmfRecord kNullPen{37, {0x80000008}};

struct RopCase {
    std::uint32_t rop;
    QRgb expected;  // over a blue picture, with a red brush selected
};

class RasterOperation : public ::testing::TestWithParam<RopCase> { };

TEST_P(RasterOperation, BitBltWithoutBitmapActsOnlyAsItsTruthTableSays)
{
    const RopCase& c = GetParam();
    const std::vector<EmfRecord> records{kNullPen, emfSolidBrush(1, 0xFF0000), emfSelect(1),
        emfRectangle(0, 0, 100, 100), emfSolidBrush(2, 0x0000FF), emfSelect(2),
        // BitBlt: bounds, destination 10,10 80 x 80, the operation, source 0,0,
        // identity transform, background, usage and no bitmap.
        {76, {0, 0, 99, 99, 10, 10, 80, 80, c.rop, 0, 0, 0x3F800000, 0, 0, 0x3F800000, 0, 0, 0, 0, 0, 0, 0, 0}}};
    const QImage image = playImage(makeEmf(records));
    EXPECT_EQ(rgb(image, 50, 50), c.expected) << std::hex << c.rop;
    EXPECT_EQ(rgb(image, 5, 5), 0x0000FFu) << "outside the destination";

    // WMF PatBlt: the same operations through the 16-bit record.
    const std::vector<WmfRecord> wmf{{0x02FA, {5, 0, 0, 0, 0}}, {0x012D, {0}}, {0x02FC, {0, 0x0000, 0x00FF, 0}},
        {0x012D, {1}}, {0x041B, {100, 100, 0, 0}}, {0x02FC, {0, 0x00FF, 0x0000, 0}}, {0x012D, {2}},
        {0x061D, {int(c.rop & 0xFFFF), int(c.rop >> 16), 80, 80, 10, 10}}};
    const QImage patBlt = playImage(makeWmf(wmf));
    EXPECT_EQ(rgb(patBlt, 50, 50), c.expected) << std::hex << c.rop << " PatBlt";
}

INSTANTIATE_TEST_SUITE_P(Codes, RasterOperation,
    ::testing::Values(RopCase{0x00AA0029, 0x0000FF},  // destination unchanged (GDI+ writes it last)
        RopCase{0x00F00021, 0xFF0000},                // PATCOPY
        RopCase{0x00000042, 0x000000},                // BLACKNESS
        RopCase{0x00FF0062, 0xFFFFFF},                // WHITENESS
        RopCase{0x00550009, 0xFFFF00},                // DSTINVERT
        RopCase{0x005A0049, 0xFF00FF},                // PATINVERT
        RopCase{0x00E20746, 0x0000FF}));              // an operation Qt has not: left out

// ---- mapping and clipping ----

// A WMF region of one rectangle, as CreateRegion writes it.
WmfRecord wmfRegion(int left, int top, int right, int bottom)
{
    return {0x06FF, {0, 6, 0, 0, 34, 1, 2, left, top, right, bottom, 2, top, bottom, left, right, 2}};
}

struct Probe {
    int x, y;
    bool red;  // else white
};

struct WmfMappingCase {
    const char* what;
    std::vector<WmfRecord> records;  // before the red rectangle
    std::vector<int> rectangle;      // left, top, right, bottom (logical)
    std::vector<Probe> probes;
};

class WmfMapping : public ::testing::TestWithParam<WmfMappingCase> { };

// The picture is the standard WMF's window 0,0 - 100,100 on 100 x 100 pixels
// (96 per inch); a null pen (slot 0) and a red brush (slot 1) are selected.
TEST_P(WmfMapping, RectangleLandsWhereTheMappingAndClipSay)
{
    const WmfMappingCase& c = GetParam();
    std::vector<WmfRecord> records{
        {0x02FA, {5, 0, 0, 0, 0}}, {0x012D, {0}}, {0x02FC, {0, 0x00FF, 0, 0}}, {0x012D, {1}}};
    records.insert(records.end(), c.records.begin(), c.records.end());
    const std::vector<int>& r = c.rectangle;
    records.push_back({0x041B, {r[3], r[2], r[1], r[0]}});
    const QImage image = playImage(makeWmf(records, 8));
    for (const Probe& p : c.probes)
        EXPECT_EQ(rgb(image, p.x, p.y), p.red ? 0xFF0000u : 0xFFFFFFu) << c.what << " at " << p.x << "," << p.y;
}

INSTANTIATE_TEST_SUITE_P(Records, WmfMapping,
    ::testing::Values(
        WmfMappingCase{"viewport origin", {{0x020D, {50, 50}}}, {0, 0, 20, 20}, {{60, 60, true}, {10, 10, false}}},
        WmfMappingCase{"viewport extent", {{0x020E, {50, 50}}}, {0, 0, 100, 100}, {{40, 40, true}, {70, 70, false}}},
        WmfMappingCase{"offset and scaled viewport", {{0x0211, {10, 10}}, {0x0412, {1, 2, 1, 2}}}, {0, 0, 20, 20},
            {{15, 15, true}, {45, 45, true}, {55, 55, false}, {5, 5, false}}},
        // The fixed modes: y grows upwards, a rectangle of about 76 pixels.
        WmfMappingCase{"MM_LOMETRIC", {{0x0103, {2}}}, {0, 0, 200, -200}, {{40, 40, true}, {90, 90, false}}},
        WmfMappingCase{"MM_HIMETRIC", {{0x0103, {3}}}, {0, 0, 2000, -2000}, {{40, 40, true}, {90, 90, false}}},
        WmfMappingCase{"MM_LOENGLISH", {{0x0103, {4}}}, {0, 0, 80, -80}, {{40, 40, true}, {90, 90, false}}},
        WmfMappingCase{"MM_HIENGLISH", {{0x0103, {5}}}, {0, 0, 800, -800}, {{40, 40, true}, {90, 90, false}}},
        WmfMappingCase{"MM_TWIPS", {{0x0103, {6}}}, {0, 0, 1152, -1152}, {{40, 40, true}, {90, 90, false}}},
        WmfMappingCase{"MM_TWIPS with the viewport origin at the bottom", {{0x0103, {6}}, {0x020D, {100, 0}}},
            {0, 0, 1152, 1152}, {{40, 60, true}, {40, 10, false}}},
        WmfMappingCase{"MM_ISOTROPIC keeps the aspect", {{0x0103, {7}}, {0x020E, {50, 100}}}, {0, 0, 100, 100},
            {{40, 40, true}, {70, 40, false}, {40, 70, false}}},
        WmfMappingCase{"MM_ANISOTROPIC stretches", {{0x0103, {8}}, {0x020E, {50, 100}}}, {0, 0, 100, 100},
            {{70, 40, true}, {70, 70, false}}},
        WmfMappingCase{
            "an unknown map mode is refused", {{0x0103, {42}}}, {0, 0, 50, 50}, {{40, 40, true}, {70, 70, false}}},
        WmfMappingCase{
            "IntersectClipRect", {{0x0416, {50, 50, 0, 0}}}, {0, 0, 100, 100}, {{40, 40, true}, {70, 70, false}}},
        WmfMappingCase{
            "ExcludeClipRect", {{0x0415, {50, 50, 0, 0}}}, {0, 0, 100, 100}, {{40, 40, false}, {70, 70, true}}},
        WmfMappingCase{"SelectClipRegion", {wmfRegion(50, 0, 100, 100), {0x012C, {2}}}, {0, 0, 100, 100},
            {{70, 40, true}, {30, 40, false}}},
        WmfMappingCase{"a region through SelectObject", {wmfRegion(50, 0, 100, 100), {0x012D, {2}}}, {0, 0, 100, 100},
            {{70, 40, true}, {30, 40, false}}},
        WmfMappingCase{"a region in the mapped window", {{0x020E, {50, 50}}, wmfRegion(0, 0, 100, 100), {0x012C, {2}}},
            {0, 0, 200, 200}, {{40, 40, true}, {70, 70, false}}},
        WmfMappingCase{"SelectClipRegion of no region clears the clip", {{0x0416, {50, 50, 0, 0}}, {0x012C, {7}}},
            {0, 0, 100, 100}, {{40, 40, true}, {70, 70, true}}},
        WmfMappingCase{"OffsetClipRgn", {{0x0416, {50, 50, 0, 0}}, {0x0220, {50, 50}}}, {0, 0, 100, 100},
            {{70, 70, true}, {40, 40, false}}},
        WmfMappingCase{"FillRegion with the red brush", {wmfRegion(0, 0, 50, 50), {0x0228, {2, 1}}}, {0, 0, 0, 0},
            {{40, 40, true}, {70, 70, false}}}),
    [](const ::testing::TestParamInfo<WmfMappingCase>& info) { return "case" + std::to_string(info.index); });

// An EMF RegionData of one rectangle (header, bounds, the rectangle).
std::vector<std::int64_t> emfRegionData(int left, int top, int right, int bottom)
{
    return {32, 1, 1, 16, left, top, right, bottom, left, top, right, bottom};
}

std::vector<std::int64_t> concat(std::vector<std::int64_t> a, const std::vector<std::int64_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(EmfRegions, ClipAndPaintRecordsActOnTheirRectangles)
{
    struct Case {
        const char* what;
        std::vector<EmfRecord> records;
        bool fill;  // then a red rectangle over the whole picture
        std::vector<Probe> probes;
    };
    const std::vector<Case> cases{
        {"ExtSelectClipRgn RGN_COPY", {{75, concat({48, 5}, emfRegionData(50, 0, 100, 100))}}, true,
            {{70, 40, true}, {30, 40, false}}},
        {"ExtSelectClipRgn RGN_DIFF", {{75, concat({48, 4}, emfRegionData(50, 0, 100, 100))}}, true,
            {{70, 40, false}, {30, 40, true}}},
        {"ExtSelectClipRgn RGN_COPY without data clears", {{30, {0, 0, 50, 50}}, {75, {0, 5}}}, true, {{70, 70, true}}},
        {"OffsetClipRgn", {{30, {0, 0, 50, 50}}, {26, {50, 50}}}, true, {{70, 70, true}, {40, 40, false}}},
        {"FillRgn", {{71, concat({0, 0, 50, 50, 48, 1}, emfRegionData(0, 0, 50, 50))}}, false,
            {{40, 40, true}, {70, 70, false}}},
        {"FillRgn with a stock brush", {{71, concat({0, 0, 50, 50, 48, 0x80000004}, emfRegionData(0, 0, 50, 50))}},
            false, {{40, 40, false}, {70, 70, false}}},
        {"PaintRgn", {{74, concat({0, 0, 50, 50, 48}, emfRegionData(0, 0, 50, 50))}}, false,
            {{40, 40, true}, {70, 70, false}}},
        {"a region larger than its record", {{75, concat({4800, 5}, emfRegionData(50, 0, 100, 100))}}, true,
            {{30, 40, true}, {70, 40, true}}},
    };
    for (const Case& c : cases) {
        std::vector<EmfRecord> records{kNullPen, emfSolidBrush(1, 0x0000FF), emfSelect(1)};
        records.insert(records.end(), c.records.begin(), c.records.end());
        if (c.fill)
            records.push_back(emfRectangle(0, 0, 100, 100));
        const QImage image = playImage(makeEmf(records));
        for (const Probe& p : c.probes) {
            const QRgb pixel = rgb(image, p.x, p.y);
            if (std::string(c.what) == "FillRgn with a stock brush" && p.x == 40)
                EXPECT_EQ(pixel, 0x000000u) << c.what;  // BLACK_BRUSH
            else
                EXPECT_EQ(pixel, p.red ? 0xFF0000u : 0xFFFFFFu) << c.what << " at " << p.x << "," << p.y;
        }
    }
}

}  // namespace
