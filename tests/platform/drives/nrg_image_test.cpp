// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/nrg_image.h"

#include "base/exception.h"
#include "platform/drives/data_track.h"
#include "platform/drives/iso_image.h"

#include "platform/drives/data_track_reading.h"
#include "support/disc_images.h"
#include "support/non_regular_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

// Images are put together here as the published description of the format
// lays them out: the track data, then the chunk chain, then the footer.
std::string bigEndian(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

std::string chunk(const char* id, const std::string& payload)
{
    return std::string(id, 4) + bigEndian(payload.size(), 4) + payload;
}

struct TrackEntry {
    unsigned mode;
    unsigned sectorSize;
    std::uint64_t pregap;
    std::uint64_t start;
    std::uint64_t end;
};

// Disc-at-once: a header (size, catalogue number, TOC type, first and last
// track), then per track its ISRC, sector size, mode and three offsets.
std::string daoChunk(const std::vector<TrackEntry>& tracks, bool wide)
{
    std::string payload = bigEndian(0, 4) + std::string(13, '0') + std::string(1, '\0') + bigEndian(1, 2)
        + std::string(1, '\x01') + std::string(1, static_cast<char>(tracks.size()));
    for (const TrackEntry& t : tracks) {
        payload += std::string(12, '\0') + bigEndian(t.sectorSize, 2) + std::string(1, static_cast<char>(t.mode))
            + std::string(1, '\0') + bigEndian(1, 2);
        for (std::uint64_t offset : {t.pregap, t.start, t.end})
            payload += bigEndian(offset, wide ? 8 : 4);
    }
    return chunk(wide ? "DAOX" : "DAOI", payload);
}

// Track-at-once: per track its offset, length, mode and start address.
std::string taoChunk(const std::vector<TrackEntry>& tracks, bool wide)
{
    std::string payload;
    std::uint64_t address = 0;
    for (const TrackEntry& t : tracks) {
        payload += bigEndian(t.start, wide ? 8 : 4) + bigEndian(t.end - t.start, wide ? 8 : 4) + bigEndian(t.mode, 4)
            + bigEndian(address, 4) + std::string(wide ? 8 : 4, '\0');
        address += (t.end - t.start) / t.sectorSize;
    }
    return chunk(wide ? "ETN2" : "ETNF", payload);
}

std::string footer(std::uint64_t chainStart, bool wide)
{
    return wide ? "NER5" + bigEndian(chainStart, 8) : "NERO" + bigEndian(chainStart, 4);
}

std::string image(const std::string& data, const std::string& chunks, bool wide)
{
    return data + chunks + chunk("END!", "") + footer(data.size(), wide);
}

class NrgImage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        source_ = new TempDir;
        source_->writeFile("tree/README.TXT", "read me\n");
        source_->writeFile("tree/DATA/BIG.BIN", pattern(200000, 5));
        iso_ = new std::string(readFile(
            makeImage(source_->path() / "tree", source_->path() / "disc.iso", Writer::RockRidgeAndJoliet, "NRG_TEST")));
    }
    static void TearDownTestSuite()
    {
        delete iso_;
        delete source_;
    }

    static std::string openAndCompare(const std::string& path)
    {
        return openAndCompareTrack([path] { return openNrgDataTrack(path); }, *iso_, true);
    }

    static TempDir* source_;
    static std::string* iso_;
};

TempDir* NrgImage::source_ = nullptr;
std::string* NrgImage::iso_ = nullptr;

}  // namespace

TEST_F(NrgImage, ReadsTheDataTrackOfEveryKind)
{
    const std::string raw1 = cdSectors(*iso_, CdSectors::Mode1Raw);
    const std::string raw2 = cdSectors(*iso_, CdSectors::Mode2Form1Raw);
    const std::string formless = cdSectors(*iso_, CdSectors::Mode2Formless);
    const std::string audio = pattern(40 * 2352, 9);
    const std::string gap(150 * 2352, '\0');
    const std::uint64_t isoEnd = iso_->size();
    const std::uint64_t audioEnd = audio.size();
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"v1 disc-at-once, plain sectors",
            image(*iso_, chunk("CUES", std::string(16, '\0')) + daoChunk({{0x00, 2048, 0, 0, isoEnd}}, false), false)},
        {"v2 disc-at-once, raw Mode 1 after its gap",
            image(gap + raw1,
                chunk("CUEX", std::string(32, '\0'))
                    + daoChunk({{0x05, 2352, 0, gap.size(), gap.size() + raw1.size()}}, true),
                true)},
        {"v2 disc-at-once, raw Mode 2", image(raw2, daoChunk({{0x06, 2352, 0, 0, raw2.size()}}, true), true)},
        {"v1 disc-at-once, audio first",
            image(audio + *iso_,
                daoChunk({{0x07, 2352, 0, 0, audioEnd}, {0x00, 2048, audioEnd, audioEnd, audioEnd + isoEnd}}, false),
                false)},
        {"v1 track-at-once, plain sectors, chunks of every kind around",
            image(*iso_,
                chunk("SINF", bigEndian(1, 4)) + taoChunk({{0x00, 2048, 0, 0, isoEnd}}, false)
                    + chunk("MTYP", bigEndian(1, 4)) + chunk("CDTX", std::string(18, 'x'))
                    + chunk("RELO", bigEndian(0, 4)),
                false)},
        {"v2 track-at-once, Mode 2 without sync",
            image(formless, taoChunk({{0x03, 2336, 0, 0, formless.size()}}, true), true)},
        {"v2 track-at-once, audio first",
            image(audio + raw1,
                taoChunk({{0x07, 2352, 0, 0, audioEnd}, {0x05, 2352, 0, audioEnd, audioEnd + raw1.size()}}, true),
                true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.writeFile("Disc.Nrg", c.bytes).string();
        EXPECT_EQ(openAndCompare(path), "");
        // And as a drive reads it: the image's files through its own reader.
        const IsoImage disc(path);
        EXPECT_EQ(disc.volumeLabel(), "NRG_TEST");
        for (const char* name : {"README.TXT", "DATA/BIG.BIN"}) {
            const std::string file = name;
            const std::size_t slash = file.find('/');
            const std::vector<std::string> below = slash == std::string::npos
                ? std::vector<std::string>{file}
                : std::vector<std::string>{file.substr(0, slash), file.substr(slash + 1)};
            const std::optional<IsoEntry> entry = disc.findEntry(below);
            ASSERT_TRUE(entry) << name;
            std::string bytes;
            EXPECT_EQ(disc.readFile(*entry, 1 << 20, bytes), WholeFileRead::Complete) << name;
            EXPECT_TRUE(bytes == readFile(source_->path() / "tree" / name)) << name;
        }
    }
}

TEST_F(NrgImage, RefusesImagesItCannotFollow)
{
    const std::uint64_t isoEnd = iso_->size();
    const std::string plain = daoChunk({{0x00, 2048, 0, 0, isoEnd}}, false);
    const std::string good = image(*iso_, plain, false);
    std::string shortDao = plain;
    shortDao.resize(shortDao.size() - 4);
    shortDao.replace(4, 4, bigEndian(shortDao.size() - 8, 4));
    std::string manyChunks;
    for (int i = 0; i < 300; ++i)
        manyChunks += chunk("RELO", "");
    const std::pair<const char*, std::string> cases[] = {
        {"a plain image", *iso_},
        {"no footer", good.substr(0, good.size() - 8)},
        {"a chain past the footer", *iso_ + plain + chunk("END!", "") + footer(good.size(), false)},
        {"a chain starting in the footer", *iso_ + plain + chunk("END!", "") + footer(good.size() - 8, false)},
        {"a chunk longer than the file", *iso_ + std::string("DAOI") + bigEndian(1u << 30, 4) + footer(isoEnd, false)},
        {"no end chunk", *iso_ + plain + footer(isoEnd, true)},
        {"a track table of a wrong length", image(*iso_, shortDao, false)},
        {"a track past the data", image(*iso_, daoChunk({{0x00, 2048, 0, 0, isoEnd + 2048}}, false), false)},
        {"offsets out of order", image(*iso_, daoChunk({{0x00, 2048, 4096, 0, isoEnd}}, false), false)},
        {"a sector size against the mode", image(*iso_, daoChunk({{0x00, 2352, 0, 0, isoEnd}}, false), false)},
        {"sub-channel sectors", image(*iso_, daoChunk({{0x0f, 2448, 0, 0, isoEnd}}, false), false)},
        {"audio only", image(*iso_, daoChunk({{0x07, 2352, 0, 0, isoEnd}}, true), true)},
        {"no track table", image(*iso_, chunk("SINF", bigEndian(1, 4)), false)},
        {"a data track of no sectors", image(*iso_, taoChunk({{0x00, 2048, 0, 0, 0}}, false), false)},
        {"a track-at-once track past the data",
            image(*iso_, taoChunk({{0x00, 2048, 0, 2048, isoEnd + 2048}}, true), true)},
        {"an endless chain", image(*iso_, manyChunks + plain, false)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        TempDir dir;
        const std::string path = dir.writeFile("disc.nrg", bytes).string();
        EXPECT_EQ(openAndCompare(path), "Cannot open file " + path);
    }
    TempDir odd;
    for (const std::string& path : makeNonRegularFiles(odd, ".nrg")) {
        SCOPED_TRACE(path);
        EXPECT_EQ(openAndCompare(path), "Cannot open file " + path);
    }
}
