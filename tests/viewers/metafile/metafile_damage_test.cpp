// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged metafiles: every one either fails with MetafileError or plays what it
// can, without reading outside the file (the sanitizer build runs these),
// looping or allocating beyond the stated bounds. data/regress/ keeps the
// fuzz target's finds (tests/viewers/metafile/fuzz_metafile.cpp).
#include "metafile_builder.h"

#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace mf = iradudo::metafile;
using iradudo::test::EmfRecord;
using iradudo::test::makeEmf;
using iradudo::test::makeWmf;
using iradudo::test::WmfRecord;

namespace {

const std::string kData = IRADUDO_SOURCE_DIR "/tests/viewers/metafile/data/";

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Parses and, when that succeeds, plays at the picture's size (at most 256
// pixels a side, to keep the loops quick). True when it played.
bool playBytes(const std::vector<std::uint8_t>& bytes)
{
    try {
        const mf::Metafile m = mf::parse(bytes.data(), bytes.size());
        EXPECT_GE(m.width, 1);
        EXPECT_GE(m.height, 1);
        EXPECT_LE(m.width, mf::kMaxPictureSide);
        EXPECT_LE(m.height, mf::kMaxPictureSide);
        mf::render(m, QSize(std::min(m.width, 256), std::min(m.height, 256)), Qt::white);
        return true;
    } catch (const mf::MetafileError& error) {
        EXPECT_STREQ(error.what(), "Metafile is not valid");
        return false;
    }
}

QImage playImage(const std::vector<std::uint8_t>& bytes)
{
    const mf::Metafile m = mf::parse(bytes.data(), bytes.size());
    return mf::render(m, QSize(m.width, m.height), Qt::white);
}

}  // namespace

TEST(MetafileDamage, EveryTruncationOfTheTestFilesIsSafe)
{
    for (const auto& entry : std::filesystem::directory_iterator(kData + "pictures")) {
        const std::vector<std::uint8_t> whole = readFile(entry.path());
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + std::ptrdiff_t(size));
            playBytes(part);
        }
    }
}

TEST(MetafileDamage, TooShortOrForeignHeadersAreRefused)
{
    EXPECT_FALSE(playBytes({}));
    EXPECT_FALSE(playBytes({1, 0, 9, 0}));
    EXPECT_FALSE(playBytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // A standard WMF without a window extent has no size.
    iradudo::test::Bytes noWindow;
    noWindow.words({1, 9, 0x0300}).u32(0).words({0}).u32(0).words({0}).u32(3).words({0});
    EXPECT_FALSE(playBytes(noWindow.data));
    // An EMF header whose size runs past the file.
    std::vector<std::uint8_t> emf = makeEmf({});
    emf[4] = 0xFF;
    emf[5] = 0xFF;
    EXPECT_FALSE(playBytes(emf));
}

TEST(MetafileDamage, RecordSizesOfZeroOrBeyondTheFileStopTheList)
{
    // A 0-word record would never advance; a huge one runs past the file and
    // is kept as far as the file goes (as GDI+ cuts bitmaps short).
    for (int size : {0, 1, 2, 0x7FFF}) {
        const auto wmf = makeWmf({{0x041B, {90, 90, 10, 10}}, {0x041B, {50, 50, 0, 0}, size}});
        const mf::Metafile m = mf::parse(wmf.data(), wmf.size());
        EXPECT_TRUE(m.truncated) << size;
        // window org, window ext, the first rectangle (and the cut one)
        ASSERT_EQ(m.records.size(), size == 0x7FFF ? 4u : 3u) << size;
        EXPECT_LE(std::size_t(m.records.back().offset) + m.records.back().size, wmf.size());
        playBytes(wmf);
    }
    for (std::int64_t size : {0LL, 4LL, 0x7FFFFFF0LL, 0xFFFFFFFFLL}) {
        const auto emf = makeEmf({{43, {10, 10, 90, 90}}, {43, {0, 0, 50, 50}, size}});
        const mf::Metafile m = mf::parse(emf.data(), emf.size());
        EXPECT_TRUE(m.truncated) << size;
        EXPECT_EQ(m.records.size(), 1u) << size;
        playBytes(emf);
    }
}

TEST(MetafileDamage, CountsBeyondTheRecordAreIgnored)
{
    // Polygon, polyline and polypolygon claiming more points than they hold.
    EXPECT_TRUE(playBytes(makeWmf({{0x0324, {0xFFFF, 0, 0, 50, 50}}, {0x0325, {3, 0, 0, 50, 50}},
        {0x0538, {0xFFFF, 3, 0, 0}}, {0x0538, {2, 3, 0xFFFF, 0, 0, 1, 1, 2, 2}}, {0x0521, {0xFFFF, 0x4141}},
        {0x0A32, {10, 10, 0x7FFF, 0, 0x4141}}, {0x0A32, {10, 10, 2, 6, 0x4141}}})));
    EXPECT_TRUE(playBytes(makeEmf({{3, {0, 0, 0, 0, 0xFFFFFFFF, 1, 1}}, {86, {0, 0, 0, 0, 0x40000000, 1}},
        {8, {0, 0, 0, 0, 0xFFFFFFFF, 3, 3}}, {8, {0, 0, 0, 0, 2, 4, 2, 2, 0, 0, 5, 5}},
        {84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 0xFFFFFFFF, 76, 0, 0, 0, 0, 0, 0}},
        {84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 4, 0xFFFFFFF0, 0, 0, 0, 0, 0, 0xFFFFFFF0}}})));
}

TEST(MetafileDamage, ObjectIndexesOutOfRangeAreIgnored)
{
    // Select, delete and create beyond the header's slots, the stock range
    // included; then a red rectangle still draws with the last good brush.
    const auto wmf = makeWmf({{0x012D, {0xFFFF}}, {0x01F0, {400}}, {0x02FC, {0, 0x00FF, 0, 0}}, {0x012D, {0}},
                                 {0x012D, {7}}, {0x041B, {90, 90, 10, 10}}},
        1);
    const QImage w = playImage(wmf);
    EXPECT_EQ(w.pixelColor(50, 50), QColor(255, 0, 0));
    const auto emf = makeEmf({{39, {0xFFFFFFF0, 0, 0xFF, 0}}, {39, {0, 0, 0xFF00, 0}}, {39, {1, 0, 0xFF, 0}}, {37, {1}},
        {37, {0x8000FFFF}}, {37, {0x7FFFFFFF}}, {40, {0xFFFFFFFF}}, {37, {3}}, {43, {10, 10, 90, 90}}});
    const QImage e = playImage(emf);
    EXPECT_EQ(e.pixelColor(50, 50), QColor(255, 0, 0));
}

TEST(MetafileDamage, SaveAndRestoreBeyondTheStackAreSafe)
{
    std::vector<EmfRecord> records;
    for (std::size_t i = 0; i < mf::kMaxSavedStates + 10; ++i)
        records.push_back({33, {}});
    for (std::int64_t which : {-100000LL, 100000LL, 0LL, -1LL, 5LL, 0x7FFFFFFFLL, -0x7FFFFFFFLL - 1})
        records.push_back({34, {which}});
    EXPECT_TRUE(playBytes(makeEmf(records)));
    EXPECT_TRUE(playBytes(makeWmf({{0x0127, {0x8000}}, {0x001E, {}}, {0x0127, {1}}, {0x0127, {-5 & 0xFFFF}}})));
}

TEST(MetafileDamage, BitmapsOfImpossibleSizesAreSkipped)
{
    // StretchDIBits with a header claiming 100000 x 100000 pixels and with
    // offsets beyond the record.
    EXPECT_TRUE(playBytes(makeEmf({{81,
                                       {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 80, 40, 120, 4, 0, 0xCC0020, 10, 10, 40, 100000,
                                           100000, 0x00180001, 0, 0, 0, 0, 0, 0, 0, 0}},
        {81, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0xFFFFFFF0, 40, 0xFFFFFFF0, 4, 0, 0xCC0020, 10, 10}}})));
    // WMF StretchDIB with a truncated header.
    EXPECT_TRUE(playBytes(makeWmf({{0x0F43, {0x20, 0xCC, 0, 1, 1, 0, 0, 10, 10, 0, 0, 40, 0}}})));
}

TEST(MetafileDamage, HugeExtentsAndTransformsStayFinite)
{
    EXPECT_TRUE(playBytes(makeEmf({{17, {8}}, {9, {0, 0}}, {11, {0x7FFFFFFF, -0x7FFFFFFF}},
        {35, {0x7F800000, 0x7FC00000, 0, 0, 0, 0}}, {43, {-0x7FFFFFFF, -0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}},
        {84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 1, 76, 0, 0, 0, 0, 0, 0, 0x41}}})));
    EXPECT_TRUE(
        playBytes(makeWmf({{0x020C, {0, 0}}, {0x0410, {0, 0, 0, 0}}, {0x041B, {0x7FFF, 0x7FFF, 0x8000, 0x8000}}})));
    // A placeable WMF with 0 units per inch has no size.
    iradudo::test::Bytes placeable;
    placeable.u32(0x9AC6CDD7).words({0, 0, 0, 100, 100, 0}).u32(0).words({0});
    placeable.words({1, 9, 0x0300}).u32(0).words({0}).u32(0).words({0}).u32(3).words({0});
    EXPECT_FALSE(playBytes(placeable.data));
}

TEST(MetafileDamage, RegressionFilesFromFuzzing)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kData + "regress")) {
        if (entry.path().extension() == ".txt")
            continue;
        playBytes(readFile(entry.path()));
        ++files;
    }
    EXPECT_GT(files, 0);
}
