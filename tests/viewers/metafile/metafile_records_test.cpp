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

}  // namespace
