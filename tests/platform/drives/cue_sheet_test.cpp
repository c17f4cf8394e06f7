// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/cue_sheet.h"

#include "base/exception.h"
#include "platform/drives/data_track.h"

#include "platform/drives/data_track_reading.h"
#include "support/disc_images.h"
#include "support/non_regular_files.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

struct PlaceCase {
    const char* what;
    std::string sheet;
    std::string fileName;
    std::uint64_t byteOffset;
    int sectorBytes;
    int userDataOffset;
    bool swapped;
    std::optional<std::uint64_t> sectorCount;
};

}  // namespace

TEST(CueSheet, PlacesTheFirstDataTrack)
{
    const PlaceCase cases[] = {
        {"one raw Mode 1 track", "FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", "a.bin", 0,
            2352, 16, false, std::nullopt},
        {"audio first in the same file: its sectors count in 2352 bytes",
            "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 MODE1/2048\nINDEX 00 00:10:00\n"
            "INDEX 01 00:12:00\n",
            "disc.bin", 10 * 75 * 2352 + 2 * 75 * 2048, 2048, 0, false, std::nullopt},
        {"each track of one file in its own sector size, bounded by the next",
            "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 MODE2/2336\nINDEX 00 00:01:00\n"
            "INDEX 01 00:01:10\nTRACK 03 AUDIO\nINDEX 01 00:03:00\n",
            "disc.bin", 75 * 2352 + 10 * 2336, 2336, 8, false, 225 - 85},
        {"the data track in a file of its own",
            "FILE \"Game (Track 1).bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
            "FILE \"Game (Track 2).bin\" BINARY\nTRACK 02 MODE1/2352\nINDEX 01 00:02:00\n",
            "Game (Track 2).bin", 150 * 2352, 2352, 16, false, std::nullopt},
        {"MOTOROLA, CRLF, a byte order mark and keywords in any case",
            "\xef\xbb\xbf"
            "file \"x y.bin\" motorola\r\n  Track 01 Mode2/2352\r\n    index 01 00:00:00\r\n",
            "x y.bin", 0, 2352, 24, true, std::nullopt},
        {"an unquoted name, a start inside the file", "FILE disc.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:05\n",
            "disc.bin", 5 * 2048, 2048, 0, false, std::nullopt},
        {"an unquoted name with blanks", "FILE My Disc.bin BINARY\nTRACK 1 MODE1/2352\nINDEX 1 00:00:00\n",
            "My Disc.bin", 0, 2352, 16, false, std::nullopt},
        {"gaps, comments, text, flags and keywords of newer writers change nothing",
            "REM GENRE Demo\nCATALOG 0123456789012\nCDTEXTFILE \"disc.cdt\"\nTITLE \"A disc\"\nPERFORMER \"Someone\"\n"
            "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    FLAGS DCP\n    ISRC ABCDE1234567\n"
            "    SONGWRITER \"x\"\n    PREGAP 00:02:00\n    DISCNUMBER 1\n    INDEX 01 00:00:00\n    POSTGAP "
            "00:02:00\n",
            "disc.bin", 0, 2352, 16, false, std::nullopt},
        {"CD-i sectors",
            "FILE \"cdi.bin\" BINARY\nTRACK 01 CDI/2352\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 01:00:00\n",
            "cdi.bin", 0, 2352, 24, false, 4500},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const CueSheet sheet = parseCueSheet(c.sheet);
            const CueDataTrackPlace place = locateCueDataTrack(sheet);
            EXPECT_EQ(sheet.files.at(place.file).name, c.fileName);
            EXPECT_EQ(place.byteOffset, c.byteOffset);
            EXPECT_EQ(place.sectorBytes, c.sectorBytes);
            EXPECT_EQ(place.userDataOffset, c.userDataOffset);
            EXPECT_EQ(place.swappedBytes, c.swapped);
            EXPECT_EQ(place.sectorCount, c.sectorCount);
        } catch (const CueSheetError& e) {
            ADD_FAILURE() << "refused: " << e.what();
        }
    }
}

TEST(CueSheet, RefusesWhatItCannotFollow)
{
    const auto tracks = [](int first, int count) {
        std::string sheet = "FILE \"a.bin\" BINARY\n";
        for (int n = first; n < first + count; ++n)
            sheet += "TRACK " + std::string(n < 10 ? "0" : "") + std::to_string(n)
                + " MODE1/2352\nINDEX 01 00:00:" + (n < 10 ? "0" : "") + std::to_string(n % 75) + "\n";
        return sheet;
    };
    const std::string one = "FILE \"a.bin\" BINARY\nTRACK 01 MODE1/2352\n";
    const std::pair<const char*, std::string> cases[] = {
        {"100 tracks", tracks(1, 100)},
        {"track 99 then 100", tracks(99, 2)},
        {"track 0", tracks(0, 1)},
        {"numbers going down", one + "INDEX 01 00:00:00\nTRACK 01 AUDIO\nINDEX 01 00:01:00\n"},
        {"seconds out of range", one + "INDEX 01 00:60:00\n"},
        {"frames out of range", one + "INDEX 01 00:00:75\n"},
        {"a negative time", one + "INDEX 01 -1:00:00\n"},
        {"a time with two fields", one + "INDEX 01 00:00\n"},
        {"a time of letters", one + "INDEX 01 aa:bb:cc\n"},
        {"a bad gap", one + "PREGAP 00:99:00\nINDEX 01 00:00:00\n"},
        {"a line over 4 KiB", one + "REM " + std::string(kMaxCueLineBytes, 'x') + "\nINDEX 01 00:00:00\n"},
        {"a sheet over 1 MiB", one + "INDEX 01 00:00:00\n" + std::string(kMaxCueSheetBytes, '\n')},
        {"audio only", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"},
        {"the data track in a WAVE file", "FILE \"a.wav\" WAVE\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"},
        {"a track before any file", "TRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"},
        {"an index before any track", "FILE \"a.bin\" BINARY\nINDEX 01 00:00:00\n"},
        {"no INDEX 01", one + "INDEX 00 00:00:00\n"},
        {"no INDEX 01 before the next track", one + "TRACK 02 AUDIO\nINDEX 01 00:00:00\n"},
        {"INDEX 02 first", one + "INDEX 02 00:00:00\n"},
        {"an index going back",
            "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 MODE1/2352\n"
            "INDEX 01 00:05:00\n"},
        {"an unknown mode", "FILE \"a.bin\" BINARY\nTRACK 01 MODE3/2352\nINDEX 01 00:00:00\n"},
        {"an unknown file type", "FILE \"a.bin\" TEXT\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"},
        {"a FILE without type", "FILE \"a.bin\"\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"},
        {"an open quote", "FILE \"a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"},
        {"a NUL byte", one + std::string("INDEX 01 00:00:00\0\n", 19)},
        {"an empty sheet", ""},
        {"a data track of no sectors", one + "INDEX 01 00:01:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n"},
    };
    for (const auto& [what, sheet] : cases) {
        SCOPED_TRACE(what);
        EXPECT_THROW(locateCueDataTrack(parseCueSheet(sheet)), CueSheetError);
    }
}

TEST(CueSheet, NamesStayInTheSheetsFolder)
{
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"disc.bin", "disc.bin"},
        {"images/disc.bin", "images/disc.bin"},
        {"./disc.bin", "./disc.bin"},
        {"C:\\Games\\disc.bin", "disc.bin"},
        {"/home/someone/disc.bin", "disc.bin"},
        {"../disc.bin", std::nullopt},
        {"images/../../disc.bin", std::nullopt},
        {"images/..", std::nullopt},
        {"/", std::nullopt},
        {"images/", std::nullopt},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(cueFileNameInFolder(name), expected) << name;
}

namespace {

// An image made by xorriso, the reference for every byte read back.
class CueImage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        source_ = new TempDir;
        source_->writeFile("tree/README.TXT", "read me\n");
        source_->writeFile("tree/DATA/BIG.BIN", pattern(300000, 7));
        iso_ = new std::string(readFile(
            makeImage(source_->path() / "tree", source_->path() / "disc.iso", Writer::RockRidgeAndJoliet, "CUE_TEST")));
    }
    static void TearDownTestSuite()
    {
        delete iso_;
        delete source_;
    }

    static std::string openAndCompare(const fs::path& sheet)
    {
        return openAndCompareTrack([sheet] { return openCueDataTrack(sheet.string()); }, *iso_, false);
    }

    static TempDir* source_;
    static std::string* iso_;
};

TempDir* CueImage::source_ = nullptr;
std::string* CueImage::iso_ = nullptr;

}  // namespace

TEST_F(CueImage, ReadsTheImageThroughEverySectorLayout)
{
    const std::string audio = pattern(225 * 2352, 3);
    struct Case {
        const char* what;
        std::string binName;
        std::string bin;
        std::string sheet;
    };
    const Case cases[] = {
        {"raw Mode 1", "disc.bin", cdSectors(*iso_, CdSectors::Mode1Raw),
            "FILE \"disc.bin\" BINARY\n TRACK 01 MODE1/2352\n  INDEX 01 00:00:00\n"},
        {"raw Mode 2 Form 1", "Game (Track 1).bin", cdSectors(*iso_, CdSectors::Mode2Form1Raw),
            "FILE \"Game (Track 1).bin\" BINARY\r\n TRACK 01 MODE2/2352\r\n  INDEX 01 00:00:00\r\n"},
        {"Mode 2 without sync", "disc.bin", cdSectors(*iso_, CdSectors::Mode2Formless),
            "file disc.bin binary\n track 01 mode2/2336\n  index 01 00:00:00\n"},
        {"plain sectors", "disc.iso", *iso_, "FILE \"disc.iso\" BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\n"},
        {"byte-swapped raw Mode 1", "disc.bin", swappedPairs(cdSectors(*iso_, CdSectors::Mode1Raw)),
            "FILE \"disc.bin\" MOTOROLA\n TRACK 01 MODE1/2352\n  INDEX 01 00:00:00\n"},
        {"audio before raw data in one file", "disc.bin",
            audio + std::string(75 * 2352, '\0') + cdSectors(*iso_, CdSectors::Mode1Raw),
            "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 MODE1/2352\n"
            "  INDEX 00 00:03:00\n  INDEX 01 00:04:00\n"},
        {"audio before plain data in one file, the gap in the data's size", "disc.bin",
            audio + std::string(75 * 2048, '\0') + *iso_,
            "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 MODE1/2048\n"
            "  INDEX 00 00:03:00\n  INDEX 01 00:04:00\n"},
        {"in a folder below the sheet", "images/disc.bin", cdSectors(*iso_, CdSectors::Mode1Raw),
            "FILE \"images/disc.bin\" BINARY\n TRACK 01 MODE1/2352\n  INDEX 01 00:00:00\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        dir.writeFile(c.binName, c.bin);
        EXPECT_EQ(openAndCompare(dir.writeFile("Game.cue", c.sheet)), "");
    }
}

TEST_F(CueImage, RefusesFilesThatAreNotThere)
{
    const std::string raw = cdSectors(*iso_, CdSectors::Mode1Raw);
    const std::string track = " TRACK 01 MODE1/2352\n  INDEX 01 00:00:00\n";
    TempDir dir;
    dir.writeFile("outside.bin", raw);
    const fs::path folder = dir.makeDir("sheets");
    dir.makeDir("sheets/sub");
    dir.writeFile("sheets/Game.bin", raw);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing", "FILE \"missing.bin\" BINARY\n" + track},
        {"a parent's file", "FILE \"../outside.bin\" BINARY\n" + track},
        {"an absolute path to a file elsewhere",
            "FILE \"" + (dir.path() / "outside.bin").string() + "\" BINARY\n" + track},
        {"a start past the end", "FILE \"Game.bin\" BINARY\n TRACK 01 MODE1/2352\n  INDEX 01 50:00:00\n"},
        {"a folder", "FILE \"sub\" BINARY\n" + track},
        {"the parent folder", "FILE \"..\" BINARY\n" + track},
    };
    TempDir odd;
    for (const std::string& path : makeNonRegularFiles(odd, ".bin")) {
        const fs::path target = folder / fs::path(path).filename();
        fs::create_symlink(path, target);
        cases.emplace_back(
            fs::path(path).filename().string(), "FILE \"" + target.filename().string() + "\" BINARY\n" + track);
    }
    for (const auto& [what, sheet] : cases) {
        SCOPED_TRACE(what);
        const fs::path cue = dir.writeFile("sheets/Game.cue", sheet);
        EXPECT_EQ(openAndCompare(cue), "Cannot open file " + cue.string());
    }
}

TEST_F(CueImage, NeverOpensTheTextFileAndTakesAbsoluteNamesFromItsFolder)
{
    TempDir dir;
    TempDir odd;
    const std::vector<std::string> others = makeNonRegularFiles(odd, ".cdt");
    dir.writeFile("Game.bin", cdSectors(*iso_, CdSectors::Mode1Raw));
    for (const std::string& textFile : others) {
        SCOPED_TRACE(textFile);
        const std::string sheet = "CDTEXTFILE \"" + textFile
            + "\"\nFILE \"C:\\Images\\Game.bin\" BINARY\n"
              " TRACK 01 MODE1/2352\n  INDEX 01 00:00:00\n";
        EXPECT_EQ(openAndCompare(dir.writeFile("Game.cue", sheet)), "");
    }
}

TEST(CueSheetFile, RefusesASheetThatIsNoRegularFile)
{
    TempDir odd;
    for (const std::string& path : makeNonRegularFiles(odd, ".cue")) {
        SCOPED_TRACE(path);
        const std::optional<std::string> result = resultWithin(kBlockingLimit, [path]() -> std::string {
            try {
                openCueDataTrack(path);
                return "opened";
            } catch (const EFOpenError& e) {
                return e.what();
            }
        });
        EXPECT_EQ(result.value_or("blocked"), "Cannot open file " + path);
    }
}
