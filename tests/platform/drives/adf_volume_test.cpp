// SPDX-License-Identifier: GPL-3.0-or-later
// Amiga disks written by the program are read back by Debian's unadf, an
// independent reader; disks built by the fuzz seeds' script (not this program)
// are read by ours.
#include "platform/drives/adf_volume.h"

#include "support/amiga_disks.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

std::string noise(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

struct DiskKind {
    AmigaDensity density;
    bool ffs;
    const char* shown;  // unadf's word for the file system
    std::uint32_t blocks;
};

const DiskKind kKinds[] = {
    {AmigaDensity::Double, false, "OFS", 1760},
    {AmigaDensity::Double, true, "FFS", 1760},
    {AmigaDensity::High, false, "OFS", 3520},
    {AmigaDensity::High, true, "FFS", 3520},
};

std::string today()
{
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%Y/%m/%d", std::gmtime(&now));
    return text;
}

class AdfVolumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!unadfAvailable())
            GTEST_SKIP() << "unadf is not installed";
    }

    fs::path save(const std::string& image, const std::string& name = "disk.adf") const
    {
        return dir.writeFile(name, image);
    }

    TempDir dir;
};

TEST_F(AdfVolumeTest, BlankDisksListEmptyUnderTheirNameInUnadf)
{
    for (const DiskKind& kind : kKinds) {
        SCOPED_TRACE(std::string(kind.shown) + " " + std::to_string(kind.blocks));
        const std::string image = AdfVolume::blankImage(kind.density, kind.ffs, "Vuoto", amigaDateNow());
        const UnadfListing listing = unadfList(save(image));
        ASSERT_TRUE(listing.ok);
        EXPECT_NE(listing.volumeLine.find("\"Vuoto\""), std::string::npos) << listing.volumeLine;
        EXPECT_NE(listing.volumeLine.find(kind.shown), std::string::npos) << listing.volumeLine;
        EXPECT_NE(listing.volumeLine.find("[0-" + std::to_string(kind.blocks - 1) + "]"), std::string::npos)
            << listing.volumeLine;
        EXPECT_TRUE(listing.entries.empty());
        const AdfVolume volume(image);
        EXPECT_EQ(volume.volumeName(), "Vuoto");
        // All but the two boot blocks, the root and the bitmap.
        EXPECT_EQ(volume.freeBlocks(), kind.blocks - 4);
    }
}

// Sizes around the edges of a data block, of the header's 72 pointers and of
// one and two extension blocks.
TEST_F(AdfVolumeTest, WrittenFilesExtractByteForByteWithTheirComments)
{
    const std::size_t sizes[] = {0, 1, 487, 488, 489, 512, 513, 72 * 488, 72 * 488 + 1, 72 * 512 + 1, 150000, 400000};
    unsigned seed = 0;
    for (const DiskKind& kind : kKinds) {
        AdfVolume volume(AdfVolume::blankImage(kind.density, kind.ffs, "Prova", amigaDateNow()));
        std::vector<std::string> contents;
        for (const std::size_t size : sizes) {
            contents.push_back(noise(size, ++seed));
            volume.writeRootFile("File " + std::to_string(size), contents.back(),
                "Descrizione di " + std::to_string(size), amigaDateNow());
        }
        const fs::path image = save(volume.image(), std::string(kind.shown) + std::to_string(kind.blocks) + ".adf");
        const UnadfListing listing = unadfList(image);
        ASSERT_TRUE(listing.ok);
        ASSERT_EQ(listing.entries.size(), std::size(sizes));
        for (std::size_t i = 0; i < std::size(sizes); ++i) {
            const std::string name = "File " + std::to_string(sizes[i]);
            SCOPED_TRACE(std::string(kind.shown) + " " + name);
            const auto found = std::find_if(listing.entries.begin(), listing.entries.end(),
                [&](const UnadfEntry& entry) { return entry.path == name; });
            ASSERT_NE(found, listing.entries.end());
            EXPECT_EQ(found->size, static_cast<std::int64_t>(sizes[i]));
            EXPECT_EQ(found->comment, "Descrizione di " + std::to_string(sizes[i]));
            EXPECT_FALSE(found->directory);
            EXPECT_EQ(found->date, today());
            EXPECT_EQ(unadfExtract(image, name, dir.path()), contents[i]);
        }
    }
}

TEST_F(AdfVolumeTest, ReplacingAFileKeepsOneEntryAndGivesBackTheOldBlocks)
{
    for (const DiskKind& kind : kKinds) {
        SCOPED_TRACE(kind.shown);
        AdfVolume volume(AdfVolume::blankImage(kind.density, kind.ffs, "Prova", amigaDateNow()));
        const std::uint32_t blank = volume.freeBlocks();
        volume.writeRootFile("Gioco.lha", noise(100000, 1), "vecchio", amigaDateNow());
        const std::string replacement = noise(3000, 2);
        volume.writeRootFile("GIOCO.LHA", replacement, "nuovo", amigaDateNow());
        const std::uint32_t perBlock = kind.ffs ? 512 : 488;
        EXPECT_EQ(volume.freeBlocks(), blank - 1 - (3000 + perBlock - 1) / perBlock);

        const fs::path image = save(volume.image());
        const UnadfListing listing = unadfList(image);
        ASSERT_EQ(listing.entries.size(), 1u);
        EXPECT_EQ(listing.entries[0].path, "GIOCO.LHA");
        EXPECT_EQ(listing.entries[0].comment, "nuovo");
        EXPECT_EQ(unadfExtract(image, "GIOCO.LHA", dir.path()), replacement);
    }
}

// Names that share a hash slot: the replaced one sits behind another in its chain.
TEST_F(AdfVolumeTest, ReplacingAFileInsideAHashChainKeepsTheChainWhole)
{
    std::vector<std::string> sameSlot;
    for (int i = 0; sameSlot.size() < 3; ++i) {
        const std::string name = "N" + std::to_string(i);
        if (AdfVolume::hashName(name, false) == AdfVolume::hashName("N0", false))
            sameSlot.push_back(name);
    }
    AdfVolume volume(AdfVolume::blankImage(AmigaDensity::Double, false, "Catena", amigaDateNow()));
    for (const std::string& name : sameSlot)
        volume.writeRootFile(name, "vecchio " + name, "", amigaDateNow());
    for (const std::string& name : sameSlot)
        volume.writeRootFile(name, "nuovo " + name, "", amigaDateNow());
    const fs::path image = save(volume.image());
    const UnadfListing listing = unadfList(image);
    ASSERT_EQ(listing.entries.size(), sameSlot.size());
    for (const std::string& name : sameSlot)
        EXPECT_EQ(unadfExtract(image, name, dir.path()), "nuovo " + name);
}

TEST_F(AdfVolumeTest, AFullDiskRefusesAndKeepsItsImage)
{
    AdfVolume volume(AdfVolume::blankImage(AmigaDensity::Double, true, "Pieno", amigaDateNow()));
    volume.writeRootFile("Grande", noise(600000, 3), "", amigaDateNow());
    const std::string before = volume.image();
    struct Case {
        const char* name;
        std::size_t size;
        AmigaDiskError::Kind expected;
    } cases[] = {
        {"Altro", 600000, AmigaDiskError::Kind::DiskFull},
        {"grande", 600000, AmigaDiskError::Kind::FitsOnlyReplacing},
        {"grande", 900000, AmigaDiskError::Kind::DiskFull},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name + std::to_string(test.size));
        try {
            volume.writeRootFile(test.name, noise(test.size, 4), "", amigaDateNow());
            ADD_FAILURE() << "written";
        } catch (const AmigaDiskError& error) {
            EXPECT_EQ(error.kind(), test.expected);
        }
        EXPECT_EQ(volume.image(), before);
    }
    // Just what is left still fits: a header, data blocks and an extension block
    // for each 72 data blocks past the header's own 72.
    std::uint32_t data = volume.freeBlocks() - 1;
    while (data + (data - 72 + 71) / 72 > volume.freeBlocks() - 1)
        --data;
    volume.writeRootFile("Resto", noise(data * 512, 5), "", amigaDateNow());
    EXPECT_EQ(volume.freeBlocks(), 0u);
    EXPECT_EQ(unadfList(save(volume.image())).entries.size(), 2u);
}

TEST_F(AdfVolumeTest, DisksTheProgramDidNotMakeReadWithDrawersAndComments)
{
    const fs::path seeds = fs::path(IRADUDO_SOURCE_DIR) / "tests/platform/drives/data/fuzz-adf";
    for (const char* seed :
        {"ofs-drawer-file", "ffs-drawer-file", "ffs-intl-drawer-file", "ofs-dircache-drawer-file"}) {
        SCOPED_TRACE(seed);
        const std::string image = amigaImageFromChunks(readFile(seeds / seed));
        const fs::path saved = save(image);
        const UnadfListing listing = unadfList(saved);
        ASSERT_EQ(listing.entries.size(), 2u);
        const AdfVolume volume(image);
        EXPECT_EQ(volume.volumeName(), "Seme");
        const std::vector<AdfEntry> root = volume.list({});
        ASSERT_EQ(root.size(), 1u);
        EXPECT_EQ(root[0].name, "Cassetto");
        EXPECT_TRUE(root[0].directory);
        const std::optional<AdfEntry> file = volume.find({"CASSETTO", "leggimi.TXT"});
        ASSERT_TRUE(file);
        EXPECT_EQ(file->name, "Leggimi.txt");
        EXPECT_EQ(file->comment, listing.entries[1].comment);
        EXPECT_EQ(static_cast<std::int64_t>(file->size), listing.entries[1].size);
        EXPECT_EQ(volume.read(*file), unadfExtract(saved, "Cassetto/Leggimi.txt", dir.path()));
    }
}

TEST(AdfVolumeNames, LetterCaseFollowsTheDisksRules)
{
    struct Case {
        const char* stored;
        const char* asked;
        bool international;
        bool found;
    } cases[] = {
        {"ReadMe", "README", false, true},
        {"ReadMe", "readme", true, true},
        {"\xC4pfel", "\xE4PFEL", true, true},    // Ä and ä: Latin-1 letters on an international disk
        {"\xC4pfel", "\xE4PFEL", false, false},  // the original rules fold ASCII only
        {"\xD7x", "\xF7x", true, false},         // × and ÷ are no letters
        {"Gioco", "Gioco2", true, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.stored) + "/" + test.asked);
        std::string image = AdfVolume::blankImage(AmigaDensity::Double, true, "Nomi", amigaDateNow());
        image[3] = test.international ? '\3' : '\1';
        AdfVolume volume(image);
        volume.writeRootFile(test.stored, "x", "", amigaDateNow());
        const std::optional<AdfEntry> found = AdfVolume(volume.image()).find({test.asked});
        EXPECT_EQ(found.has_value(), test.found);
        if (found) {
            EXPECT_EQ(found->name, test.stored);
        }
    }
}

// Each case damages a disk holding one OFS file "Dati" of three blocks and a
// second file "Altro"; the reader must stop at the damage, never believe it.
TEST(AdfVolumeDamage, DamagedBlocksAreNotBelieved)
{
    AdfVolume made(AdfVolume::blankImage(AmigaDensity::Double, false, "Danno", amigaDateNow()));
    made.writeRootFile("Dati", noise(1400, 9), "", amigaDateNow());
    made.writeRootFile("Altro", "altro", "", amigaDateNow());
    const std::string good = made.image();
    const std::uint32_t header = made.find({"Dati"})->block;
    const std::uint32_t firstData = amigaLong(good, header * 512 + 16);
    const std::size_t rootAt = 880 * 512;
    enum class Expect { Refused, Unlisted, Unreadable, Unwritable };
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        Expect expect;
    } cases[] = {
        {"root checksum", [&](std::string& d) { d[rootAt + 100] ^= 1; }, Expect::Refused},
        {"no DOS boot block", [&](std::string& d) { d[0] = 'X'; }, Expect::Refused},
        {"long-name disk", [&](std::string& d) { d[3] = 7; }, Expect::Refused},
        {"header checksum", [&](std::string& d) { d[header * 512 + 300] ^= 1; }, Expect::Unlisted},
        {"name length over 30",
            [&](std::string& d) {
                d[header * 512 + 432] = 31;
                resealAmigaBlock(d, header);
            },
            Expect::Unlisted},
        {"data block out of order",
            [&](std::string& d) {
                setAmigaLong(d, firstData * 512 + 8, 2);
                resealAmigaBlock(d, firstData);
            },
            Expect::Unreadable},
        {"data block checksum", [&](std::string& d) { d[firstData * 512 + 100] ^= 1; }, Expect::Unreadable},
        {"size beyond its blocks",
            [&](std::string& d) {
                setAmigaLong(d, header * 512 + 324, 100000);
                resealAmigaBlock(d, header);
            },
            Expect::Unreadable},
        {"table longer than a block",
            [&](std::string& d) {
                setAmigaLong(d, header * 512 + 8, 73);
                resealAmigaBlock(d, header);
            },
            Expect::Unreadable},
        {"data pointer outside the disk",
            [&](std::string& d) {
                setAmigaLong(d, header * 512 + 24 + 71 * 4, 5000);
                resealAmigaBlock(d, header);
            },
            Expect::Unreadable},
        {"bitmap checksum", [&](std::string& d) { d[881 * 512 + 40] ^= 1; }, Expect::Unwritable},
        {"bitmap not valid",
            [&](std::string& d) {
                setAmigaLong(d, rootAt + 312, 0);
                resealAmigaBlock(d, 880);
            },
            Expect::Unwritable},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        std::string image = good;
        test.damage(image);
        if (test.expect == Expect::Refused) {
            EXPECT_THROW(AdfVolume{image}, AmigaDiskError);
            continue;
        }
        AdfVolume volume(image);
        const std::vector<AdfEntry> root = volume.list({});
        const bool listed = std::any_of(root.begin(), root.end(), [](const AdfEntry& e) { return e.name == "Dati"; });
        EXPECT_EQ(listed, test.expect != Expect::Unlisted);
        EXPECT_TRUE(volume.find({"Altro"}));
        if (test.expect == Expect::Unreadable) {
            EXPECT_THROW(volume.read(*volume.find({"Dati"})), AmigaDiskError);
        }
        if (test.expect == Expect::Unwritable) {
            EXPECT_THROW(volume.writeRootFile("Nuovo", "x", "", amigaDateNow()), AmigaDiskError);
            EXPECT_EQ(volume.image(), image);
        }
    }
}

TEST(AdfVolumeDamage, LoopsEndTheWalk)
{
    AdfVolume made(AdfVolume::blankImage(AmigaDensity::Double, true, "Giro", amigaDateNow()));
    made.writeRootFile("Lungo", noise(80 * 512, 11), "", amigaDateNow());
    std::string image = made.image();
    const std::uint32_t header = made.find({"Lungo"})->block;
    // The file's chain points back at itself.
    setAmigaLong(image, header * 512 + 496, header);
    resealAmigaBlock(image, header);
    EXPECT_EQ(AdfVolume(image).list({}).size(), 1u);
    // The extension block names itself as the next one: the file needs 80 > 72 + 8 blocks only once.
    const std::uint32_t extension = amigaLong(image, header * 512 + 504);
    setAmigaLong(image, header * 512 + 324, 200 * 512);
    resealAmigaBlock(image, header);
    setAmigaLong(image, extension * 512 + 8, 72);
    for (std::uint32_t i = 0; i < 72; ++i)
        setAmigaLong(image, extension * 512 + 24 + 4 * i, 2 + i);
    setAmigaLong(image, extension * 512 + 504, extension);
    resealAmigaBlock(image, extension);
    const AdfVolume looped(image);
    EXPECT_THROW(looped.read(*looped.find({"Lungo"})), AmigaDiskError);
}

// A bitmap that calls every block free, the root and itself included: the new
// file still lands beside them, and the old one's blocks wait until it is in place.
TEST_F(AdfVolumeTest, ABitmapThatCallsEverythingFreeHarmsNothingItNeeds)
{
    AdfVolume made(AdfVolume::blankImage(AmigaDensity::Double, true, "Mappa", amigaDateNow()));
    made.writeRootFile("Gioco", noise(30000, 21), "vecchio", amigaDateNow());
    std::string image = made.image();
    for (std::size_t at = 881 * 512 + 4; at < 881 * 512 + 4 + 55 * 4; at += 4)
        setAmigaLong(image, at, 0xFFFFFFFFu);
    resealAmigaBlock(image, 881, 0);
    AdfVolume volume(image);
    const std::string replacement = noise(20000, 22);
    volume.writeRootFile("Gioco", replacement, "nuovo", amigaDateNow());
    const fs::path saved = save(volume.image());
    const UnadfListing listing = unadfList(saved);
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].comment, "nuovo");
    EXPECT_EQ(unadfExtract(saved, "Gioco", dir.path()), replacement);
}

TEST(AmigaDates, CountFromNineteenSeventyEight)
{
    struct Case {
        std::int64_t unix;
        AmigaDate expected;
    } cases[] = {
        {252460800, {0, 0, 0}},                // 1978-01-01 00:00:00
        {252460800 + 86400 + 61, {1, 1, 50}},  // one day, one minute, one second later
        {0, {0, 0, 0}},                        // before the Amiga's epoch: its first moment
        {1700000000, {16753, 1333, 1000}},     // 2023-11-14 22:13:20
    };
    for (const Case& test : cases) {
        const AmigaDate date = amigaDateFromUnix(test.unix);
        EXPECT_EQ(date.days, test.expected.days) << test.unix;
        EXPECT_EQ(date.minutes, test.expected.minutes) << test.unix;
        EXPECT_EQ(date.ticks, test.expected.ticks) << test.unix;
    }
}

}  // namespace
