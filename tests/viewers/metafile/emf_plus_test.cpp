// SPDX-License-Identifier: GPL-3.0-or-later
// EMF+ records in hand-made comments (a table of cases read back as pixel
// colours), the choice between the EMF+ and the EMF drawing of dual files, and
// the EMF+-only test file of data/real.
#include "metafile_builder.h"

#include "viewers/metafile/emf_plus.h"
#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <bit>
#include <fstream>
#include <iterator>

namespace mf = iradudo::metafile;
using iradudo::test::EmfRecord;
using iradudo::test::makeEmf;

namespace {

constexpr std::int64_t kVersion = 0xDBC01002;
constexpr std::uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kGreen = 0xFF00FF00;

std::int64_t fl(float value)
{
    return std::bit_cast<std::uint32_t>(value);
}

struct PlusRecord {
    std::uint16_t type;
    std::uint16_t flags;
    std::vector<std::int64_t> data;
};

// One EMR_COMMENT holding the records.
EmfRecord plusComment(const std::vector<PlusRecord>& records)
{
    std::vector<std::int64_t> p{0, 0x2B464D45};
    for (const PlusRecord& r : records) {
        p.push_back(r.type | std::int64_t(r.flags) << 16);
        p.push_back(12 + 4 * std::int64_t(r.data.size()));
        p.push_back(4 * std::int64_t(r.data.size()));
        p.insert(p.end(), r.data.begin(), r.data.end());
    }
    p[0] = 4 * std::int64_t(p.size() - 1);
    return {70, p};
}

PlusRecord header(bool dual)
{
    return {0x4001, std::uint16_t(dual ? 1 : 0), {kVersion, 0, 96, 96}};
}

std::vector<std::int64_t> rect(float x, float y, float w, float h)
{
    return {fl(x), fl(y), fl(w), fl(h)};
}

PlusRecord fillRect(std::uint32_t argb, float x, float y, float w, float h)
{
    std::vector<std::int64_t> data{argb, 1};
    const auto r = rect(x, y, w, h);
    data.insert(data.end(), r.begin(), r.end());
    return {0x400A, 0x8000, data};
}

PlusRecord brushObject(int slot, std::uint32_t argb)
{
    return {0x4008, std::uint16_t(slot | 1 << 8), {kVersion, 0, argb}};
}

PlusRecord penObject(int slot, float width, std::uint32_t argb)
{
    return {0x4008, std::uint16_t(slot | 2 << 8), {kVersion, 0, 0, 2, fl(width), kVersion, 0, argb}};
}

// A closed square path: four points, types start, line, line, line|close.
PlusRecord squarePath(int slot, float x, float y, float side)
{
    return {0x4008, std::uint16_t(slot | 3 << 8),
        {kVersion, 4, 0, fl(x), fl(y), fl(x + side), fl(y), fl(x + side), fl(y + side), fl(x), fl(y + side),
            0x81010100}};
}

std::vector<std::int64_t> pngImageData()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(QColor(0, 200, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    while (png.size() % 4 != 0)
        png.append('\0');
    std::vector<std::int64_t> data{kVersion, 1, 0, 0, 0, 0, 1};
    for (qsizetype i = 0; i < png.size(); i += 4)
        data.push_back(std::uint8_t(png[i]) | std::uint8_t(png[i + 1]) << 8 | std::uint8_t(png[i + 2]) << 16
            | std::int64_t(std::uint8_t(png[i + 3])) << 24);
    return data;
}

PlusRecord textureBrush(int slot)
{
    std::vector<std::int64_t> data{kVersion, 2, 0, 0};
    const std::vector<std::int64_t> image = pngImageData();
    data.insert(data.end(), image.begin(), image.end());
    return {0x4008, std::uint16_t(slot | 1 << 8), data};
}

QImage playImage(const std::vector<std::uint8_t>& bytes)
{
    const mf::Metafile m = mf::parse(bytes.data(), bytes.size());
    return mf::render(m, QSize(m.width, m.height), Qt::white);
}

QRgb rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

struct Probe {
    int x, y;
    QRgb expected;
};

struct PlusCase {
    const char* what;
    std::vector<PlusRecord> records;  // after an EMF+-only header
    std::vector<Probe> probes;
};

class EmfPlusRecords : public ::testing::TestWithParam<PlusCase> { };

// The picture is 100 x 100 reference pixels at 96 per inch, EMF+ in pixels.
TEST_P(EmfPlusRecords, DrawWhereAndHowTheRecordsSay)
{
    const PlusCase& c = GetParam();
    std::vector<PlusRecord> records{header(false)};
    records.insert(records.end(), c.records.begin(), c.records.end());
    const QImage image = playImage(makeEmf({plusComment(records)}));
    for (const Probe& p : c.probes)
        EXPECT_EQ(rgb(image, p.x, p.y), p.expected) << c.what << " at " << p.x << "," << p.y;
}

const std::vector<std::int64_t> kSquare = rect(10, 10, 40, 40);

INSTANTIATE_TEST_SUITE_P(Table, EmfPlusRecords,
    ::testing::Values(
        PlusCase{"FillRects with a colour", {fillRect(kRed, 10, 10, 40, 40)}, {{30, 30, 0xFF0000}, {70, 70, 0xFFFFFF}}},
        PlusCase{"FillRects compressed, with a brush object",
            {brushObject(1, kBlue), {0x400A, 0x4000, {1, 1, 10 | 10 << 16, 40 | 40 << 16}}},
            {{30, 30, 0x0000FF}, {70, 70, 0xFFFFFF}}},
        PlusCase{"DrawRects with a pen object",
            {penObject(2, 6, kGreen), {0x400B, 2, {1, fl(10), fl(10), fl(60), fl(60)}}},
            {{10, 40, 0x00FF00}, {40, 40, 0xFFFFFF}}},
        PlusCase{"FillEllipse", {{0x400E, 0x8000, {kRed, fl(0), fl(0), fl(100), fl(100)}}},
            {{50, 50, 0xFF0000}, {5, 5, 0xFFFFFF}}},
        PlusCase{"FillPolygon", {{0x400C, 0x8000, {kRed, 3, fl(0), fl(0), fl(100), fl(0), fl(0), fl(100)}}},
            {{20, 20, 0xFF0000}, {80, 80, 0xFFFFFF}}},
        PlusCase{"FillPie: a quarter clockwise from the x axis",
            {{0x4010, 0x8000, {kRed, fl(0), fl(90), fl(0), fl(0), fl(100), fl(100)}}},
            {{70, 70, 0xFF0000}, {70, 30, 0xFFFFFF}, {30, 70, 0xFFFFFF}}},
        PlusCase{"FillPath", {squarePath(3, 50, 50, 40), {0x4014, 0x8003, {kRed}}},
            {{70, 70, 0xFF0000}, {30, 30, 0xFFFFFF}}},
        PlusCase{"DrawPath", {squarePath(3, 20, 20, 60), penObject(4, 8, kBlue), {0x4015, 3, {4}}},
            {{20, 50, 0x0000FF}, {50, 50, 0xFFFFFF}}},
        PlusCase{"SetWorldTransform",
            {{0x402A, 0, {fl(1), fl(0), fl(0), fl(1), fl(50), fl(50)}}, fillRect(kRed, 0, 0, 20, 20)},
            {{60, 60, 0xFF0000}, {10, 10, 0xFFFFFF}}},
        PlusCase{"Translate and Scale appended",
            {{0x402D, 0, {fl(10), fl(10)}}, {0x402E, 0x2000, {fl(2), fl(2)}}, fillRect(kRed, 0, 0, 10, 10)},
            {{35, 35, 0xFF0000}, {15, 15, 0xFFFFFF}}},
        PlusCase{"Save and Restore",
            {{0x4025, 0, {7}}, {0x402D, 0, {fl(50), fl(50)}}, {0x4026, 0, {7}}, fillRect(kRed, 0, 0, 20, 20)},
            {{10, 10, 0xFF0000}, {60, 60, 0xFFFFFF}}},
        PlusCase{"SetPageTransform in millimetres", {{0x4030, 6, {fl(1)}}, fillRect(kRed, 0, 0, 10, 10)},
            {{30, 30, 0xFF0000}, {45, 45, 0xFFFFFF}}},
        PlusCase{"SetClipRect replaces the clip", {{0x4032, 0, rect(0, 0, 50, 100)}, fillRect(kRed, 0, 0, 100, 100)},
            {{25, 50, 0xFF0000}, {75, 50, 0xFFFFFF}}},
        PlusCase{"SetClipRect excludes", {{0x4032, 4 << 8, rect(0, 0, 50, 100)}, fillRect(kRed, 0, 0, 100, 100)},
            {{25, 50, 0xFFFFFF}, {75, 50, 0xFF0000}}},
        PlusCase{"ResetClip", {{0x4032, 0, rect(0, 0, 50, 100)}, {0x4031, 0, {}}, fillRect(kRed, 0, 0, 100, 100)},
            {{75, 50, 0xFF0000}}},
        PlusCase{"SetClipPath", {squarePath(5, 0, 0, 50), {0x4033, 5, {}}, fillRect(kRed, 0, 0, 100, 100)},
            {{25, 25, 0xFF0000}, {75, 75, 0xFFFFFF}}},
        PlusCase{"a region of one rectangle as the clip",
            {{0x4008, 6 | 4 << 8, {kVersion, 0, 0x10000000, fl(50), fl(50), fl(50), fl(50)}}, {0x4034, 6, {}},
                fillRect(kRed, 0, 0, 100, 100)},
            {{75, 75, 0xFF0000}, {25, 25, 0xFFFFFF}}},
        PlusCase{"FillRegion of an exclusion",
            {{0x4008, 6 | 4 << 8,
                 {kVersion, 2, 4, 0x10000000, fl(0), fl(0), fl(100), fl(100), 0x10000000, fl(0), fl(0), fl(50),
                     fl(100)}},
                {0x4013, 0x8006, {kRed}}},
            {{75, 50, 0xFF0000}, {25, 50, 0xFFFFFF}}},
        PlusCase{"DrawImage of a PNG",
            {{0x4008, 7 | 5 << 8, pngImageData()},
                {0x401A, 7, {0, 2, fl(0), fl(0), fl(4), fl(4), fl(20), fl(20), fl(40), fl(40)}}},
            {{40, 40, 0x00C800}, {10, 10, 0xFFFFFF}, {80, 80, 0xFFFFFF}}},
        PlusCase{"a brush object continued over two records",
            {{0x4008, 1 | 1 << 8 | 0x8000, {12, kVersion, 0}}, {0x4008, 1 | 1 << 8 | 0x8000, {12, kRed}},
                {0x400A, 0, {1, 1, fl(0), fl(0), fl(50), fl(50)}}},
            {{25, 25, 0xFF0000}}},
        PlusCase{"a texture brush of a PNG", {textureBrush(1), {0x400A, 0, {1, 1, fl(0), fl(0), fl(50), fl(50)}}},
            {{25, 25, 0x00C800}, {75, 75, 0xFFFFFF}}},
        PlusCase{"a path gradient brush by its centre colour",
            {{0x4008, 1 | 1 << 8, {kVersion, 3, 0, 0, kRed, fl(50), fl(50)}},
                {0x400A, 0, {1, 1, fl(0), fl(0), fl(50), fl(50)}}},
            {{25, 25, 0xFF0000}}},
        PlusCase{"Clear", {{0x4009, 0, {kBlue}}}, {{5, 5, 0x0000FF}, {95, 95, 0x0000FF}}},
        PlusCase{"an object slot beyond the table is ignored",
            {brushObject(200, kRed), {0x400A, 0, {200, 1, fl(0), fl(0), fl(50), fl(50)}}}, {{25, 25, 0xFFFFFF}}}),
    [](const ::testing::TestParamInfo<PlusCase>& info) { return "case" + std::to_string(info.index); });

// A dual file: an EMF rectangle (blue, left half) and EMF+ records.
std::vector<std::uint8_t> dualFile(const std::vector<PlusRecord>& plus, bool getDcBefore)
{
    std::vector<PlusRecord> records{header(true)};
    records.insert(records.end(), plus.begin(), plus.end());
    if (getDcBefore)
        records.push_back({0x4004, 0, {}});
    return makeEmf(
        {plusComment(records), {39, {1, 0, 0xFF0000, 0}}, {37, {1}}, {37, {0x80000008}}, {43, {0, 0, 50, 100}}});
}

TEST(EmfPlusDual, EmfRecordsPlayOnlyAfterGetDcOrWhenEmfPlusCannotBeDrawn)
{
    struct Case {
        const char* what;
        std::vector<PlusRecord> plus;
        bool getDc;
        QRgb left, right;  // at (25, 50) and (75, 50)
    };
    const std::vector<Case> cases{
        {"EMF records before any GetDC are GDI+'s fallback", {fillRect(kRed, 50, 0, 50, 100)}, false, 0xFFFFFF,
            0xFF0000},
        {"after GetDC they draw", {fillRect(kRed, 50, 0, 50, 100)}, true, 0x0000FF, 0xFF0000},
        {"a record the player does not draw: the EMF drawing instead",
            {fillRect(kRed, 50, 0, 50, 100), {0x4036, 0, {0, 0, 0, 0}}}, false, 0x0000FF, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> bytes = dualFile(c.plus, c.getDc);
        const QImage image = playImage(bytes);
        EXPECT_EQ(rgb(image, 25, 50), c.left) << c.what;
        EXPECT_EQ(rgb(image, 75, 50), c.right) << c.what;
    }
}

TEST(EmfPlusOnly, TheTestChartDrawsItsBackgroundShapesAndText)
{
    // emf2svg-test-038.emf: libUEMF's EMF+ test chart, with no EMF drawing
    // (and no reference: emf2svg draws it blank). Its pale yellow page, a
    // black title and the filled shapes of its left column.
    std::ifstream in(IRADUDO_SOURCE_DIR "/tests/viewers/metafile/data/real/emf2svg-test-038.emf", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const mf::Metafile m = mf::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(mf::playsEmfPlus(m));
    const QImage image = mf::render(m, QSize(1000, 707), Qt::white);
    int yellow = 0, dark = 0, violet = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            yellow += c.red() > 240 && c.green() > 240 && c.blue() < 200;
            dark += c.red() < 60 && c.green() < 60 && c.blue() < 60;
            violet += c.red() > 150 && c.green() < 150 && c.blue() > 200;
        }
    const int all = image.width() * image.height();
    EXPECT_GT(yellow, all / 2);
    EXPECT_GT(dark, all / 100);
    EXPECT_GT(violet, 500);
}

}  // namespace

namespace {

TEST(EmfPlusBrushes, HatchesFillTheirBackgroundToo)
{
    const QImage image = playImage(makeEmf({plusComment({header(false),
        {0x4008, 1 | 1 << 8, {kVersion, 1, 0, kRed, kBlue}}, {0x400A, 0, {1, 1, fl(0), fl(0), fl(40), fl(40)}}})}));
    int red = 0, blue = 0, white = 0;
    for (int y = 2; y < 38; ++y)
        for (int x = 2; x < 38; ++x) {
            // Smooth scaling blends the lines' edges.
            const QRgb p = rgb(image, x, y);
            red += qRed(p) > 160 && qBlue(p) < 96;
            blue += qBlue(p) > 160 && qRed(p) < 96;
            white += qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
        }
    EXPECT_GT(red, 36 * 36 / 16);
    EXPECT_GT(blue, 36 * 36 / 2);
    EXPECT_EQ(white, 0);
}

}  // namespace
