// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/iso_image.h"
#include "platform/io_error.h"
#include "platform/linux_platform.h"

#include "support/disc_images.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

// Walks the source tree and the image side by side: the same names, kinds, sizes
// and bytes in every directory.
void expectSameTree(const IsoImage& image, const fs::path& directory, const std::vector<std::string>& path)
{
    std::map<std::string, IsoEntry> listed;
    for (const IsoEntry& entry : image.listDirectory(path))
        EXPECT_TRUE(listed.emplace(entry.name, entry).second) << "listed twice: " << entry.name;
    std::size_t sourceCount = 0;
    for (const fs::directory_entry& source : fs::directory_iterator(directory)) {
        ++sourceCount;
        const std::string name = source.path().filename().string();
        const auto it = listed.find(name);
        ASSERT_NE(it, listed.end()) << "missing on the image: " << (directory / name);
        const IsoEntry& entry = it->second;
        std::vector<std::string> below = path;
        below.push_back(name);
        ASSERT_EQ(entry.directory, source.is_directory()) << name;
        if (entry.directory) {
            EXPECT_EQ(entry.size, 0u);
            expectSameTree(image, source.path(), below);
            continue;
        }
        EXPECT_EQ(entry.size, source.file_size()) << name;
        std::string bytes = "stale";
        EXPECT_EQ(image.readFile(entry, entry.size, bytes), WholeFileRead::Complete) << name;
        EXPECT_TRUE(bytes == readFile(source.path())) << name;
    }
    EXPECT_EQ(listed.size(), sourceCount) << directory;
}

}  // namespace

TEST(PlainIsoName, DropsTheVersionAndATrailingDot)
{
    const std::pair<const char*, const char*> cases[] = {
        {"README.TXT;1", "README.TXT"},
        {"NOEXT.;1", "NOEXT"},
        {"NOEXT.", "NOEXT"},
        {"GAME.LHA;32", "GAME.LHA"},
        {"A;B", "A;B"},  // not a version
        {"A;", "A;"},
        {".", "."},
        {"", ""},
    };
    for (const auto& [recorded, shown] : cases)
        EXPECT_EQ(plainIsoName(recorded), shown) << recorded;
}

TEST(IsoImage, EachWritersImageListsAndReadsAsItsSourceTree)
{
    struct Case {
        Writer writer;
        IsoNames names;
        std::vector<std::pair<std::string, std::string>> files;  // path below the tree, contents
    };
    const Case cases[] = {
        {Writer::RockRidgeAndJoliet, IsoNames::RockRidge,
            {{"ReadMe.txt", "hello"}, {"caf\xe9 cr\xe8me.txt", "latin-1 name"},
                {"Games/Big Game.lha", pattern(300000, 1)}, {"Games/BIG GAME.LHA.ReadMe", "the comment"},
                {"Games/Deep/er/still/x.y.z", ""}, {"Games/a.txt", "lower"}, {"Games/A.TXT", "upper"}}},
        {Writer::JolietOnly, IsoNames::Joliet,
            {{"ReadMe.txt", "hello"}, {"Games/Big Game.lha", pattern(70000, 2)},
                {"Games/big game.lha.readme", "the comment"}, {"Empty/Sub/file", "x"}}},
        {Writer::PlainLevel1, IsoNames::Iso,
            {{"README.TXT", "hello"}, {"NOEXT", "no extension"}, {"GAMES/GAME.LHA", pattern(4096, 3)},
                {"GAMES/EMPTY.BIN", ""}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(static_cast<int>(test.writer));
        const TempDir dir;
        for (const auto& [path, contents] : test.files)
            dir.writeFile("tree/" + path, contents);
        const IsoImage image(makeImage(dir.path() / "tree", dir.path() / "disc.iso", test.writer, "AMIGA_MAG_42"));
        EXPECT_EQ(image.volumeLabel(), "AMIGA_MAG_42");
        EXPECT_EQ(image.names(), test.names);
        expectSameTree(image, dir.path() / "tree", {});
    }
}

TEST(IsoImage, RawSectorCdImagesReadAsTheImageTheyHold)
{
    const std::pair<Writer, IsoNames> cases[] = {
        {Writer::RockRidgeAndJoliet, IsoNames::RockRidge},
        {Writer::JolietOnly, IsoNames::Joliet},
        {Writer::PlainLevel1, IsoNames::Iso},
    };
    for (const auto& [writer, names] : cases) {
        SCOPED_TRACE(static_cast<int>(writer));
        const TempDir dir;
        dir.writeFile("tree/README.TXT", "hello");
        dir.writeFile("tree/GAMES/GAME.LHA", pattern(150000, 9));
        dir.writeFile("tree/GAMES/EMPTY", "");
        dir.writeFile("tree/DEEP/ER/X.TXT", pattern(2049, 1));
        const std::string iso = makeImage(dir.path() / "tree", dir.path() / "disc.iso", writer, "RAW_DISC");
        makeRawCdImage(iso, dir.path() / "Disc.BIN", dir.path() / "Disc.CUE");
        for (const char* opened : {"Disc.CUE", "Disc.BIN"}) {
            SCOPED_TRACE(opened);
            const IsoImage image((dir.path() / opened).string());
            EXPECT_EQ(image.volumeLabel(), "RAW_DISC");
            EXPECT_EQ(image.names(), names);
            expectSameTree(image, dir.path() / "tree", {});
        }
    }
}

TEST(IsoImage, ACueSheetWithoutItsDataIsRefused)
{
    const TempDir dir;
    dir.writeFile("tree/README.TXT", "hello");
    const std::string iso = makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::PlainLevel1, "V");
    makeRawCdImage(iso, dir.path() / "disc.bin", dir.path() / "disc.cue");
    const std::string data = readFile(dir.path() / "disc.bin");
    const std::pair<const char*, std::string> cases[] = {
        {"missing", ""},
        {"cut before the descriptors", data.substr(0, 2352 * 10)},
        {"not sectors", std::string(data.size(), 'x')},
    };
    for (const auto& [what, bytes] : cases) {
        fs::remove(dir.path() / "disc.bin");
        if (!bytes.empty())
            dir.writeFile("disc.bin", bytes);
        EXPECT_THROW(IsoImage((dir.path() / "disc.cue").string()), EFOpenError) << what;
    }
}

TEST(IsoImage, NamesAreFoundInAnyLetterCaseUnlessThatIsAmbiguous)
{
    const TempDir dir;
    dir.writeFile("tree/Games/Big Game.lha", "archive");
    dir.writeFile("tree/Games/BIG GAME.LHA.ReadMe", "comment");
    dir.writeFile("tree/Games/a.txt", "lower");
    dir.writeFile("tree/Games/A.TXT", "upper");
    const IsoImage image(makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "V"));

    const std::optional<IsoEntry> comment = image.findEntry({"GAMES", "big game.lha.readme"});
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->name, "BIG GAME.LHA.ReadMe");
    std::string bytes;
    EXPECT_EQ(image.readFile(*comment, 100, bytes), WholeFileRead::Complete);
    EXPECT_EQ(bytes, "comment");

    EXPECT_EQ(image.findEntry({"games", "a.txt"})->name, "a.txt");  // the exact name wins
    EXPECT_EQ(image.findEntry({"games", "A.TXT"})->name, "A.TXT");
    EXPECT_FALSE(image.findEntry({"games", "A.txt"}));  // two names fold to it
    EXPECT_FALSE(image.findEntry({"nothing"}));
    EXPECT_FALSE(image.findEntry({"Games", "a.txt", "below a file"}));
    EXPECT_TRUE(image.findEntry({})->directory);

    const std::pair<std::vector<std::string>, int> badDirectories[] = {
        {{"Nothing"}, ErrorPathNotFound},
        {{"Games", "a.txt"}, ErrorPathNotFound},
    };
    for (const auto& [path, code] : badDirectories) {
        try {
            image.listDirectory(path);
            ADD_FAILURE() << "listed " << path.back();
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), code) << path.back();
        }
    }
}

TEST(IsoImage, ReadsNoMoreThanTheCallersLimit)
{
    const TempDir dir;
    dir.writeFile("tree/data.bin", pattern(10000, 4));
    const IsoImage image(makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "V"));
    const IsoEntry file = *image.findEntry({"data.bin"});
    std::string bytes = "stale";
    EXPECT_EQ(image.readFile(file, 9999, bytes), WholeFileRead::TooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(image.readFile(file, 10000, bytes), WholeFileRead::Complete);
    EXPECT_EQ(bytes, pattern(10000, 4));
    EXPECT_EQ(image.readFile(*image.findEntry({}), 1 << 20, bytes), WholeFileRead::ReadError);
}

namespace {

void putBothEndian32(std::string& record, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        record[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        record[at + 7 - static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

}  // namespace

TEST(IsoImage, AFileRecordedInSectionsReadsAsOneFile)
{
    // The sections of files over 4 GiB, made small: the root's record of a
    // six-sector file becomes two records of three sectors each, their data
    // swapped on the image, so only following the records in order reads it.
    const TempDir dir;
    const std::string contents = pattern(6 * 2048 - 100, 11);
    dir.writeFile("tree/SPLIT.DAT", contents);
    dir.writeFile("tree/ZZ.TXT", "after");
    std::string iso = readFile(makeImage(dir.path() / "tree", dir.path() / "plain.iso", Writer::PlainLevel1, "V"));
    const auto le32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(iso[at])
            | static_cast<unsigned char>(iso[at + 1]) << 8 | static_cast<unsigned char>(iso[at + 2]) << 16
            | static_cast<unsigned char>(iso[at + 3]) << 24);
    };
    const std::size_t root = std::size_t{le32(16 * 2048 + 156 + 2)} * 2048;
    const std::size_t at = iso.find("SPLIT.DAT;1", root) - 33;
    ASSERT_LT(at, root + 2048);
    const std::uint32_t first = le32(at + 2);
    const std::string data = iso.substr(first * std::size_t{2048}, 6 * 2048);
    iso.replace(first * std::size_t{2048}, 6 * 2048, data.substr(3 * 2048) + data.substr(0, 3 * 2048));

    const std::size_t length = static_cast<unsigned char>(iso[at]);
    std::string leading = iso.substr(at, length);
    std::string trailing = leading;
    putBothEndian32(leading, 2, first + 3);
    putBothEndian32(leading, 10, 3 * 2048);
    leading[25] = '\x80';
    putBothEndian32(trailing, 2, first);
    putBothEndian32(trailing, 10, static_cast<std::uint32_t>(contents.size() - 3 * 2048));
    const std::string rest = iso.substr(at + length, root + 2048 - at - length - length);
    iso.replace(at, root + 2048 - at, leading + trailing + rest);
    dir.writeFile("sections.iso", iso);

    // The other reader takes the records for one file in sections, as written.
    ASSERT_TRUE(runQuietly({"osirrox", "-indev", (dir.path() / "sections.iso").string(), "-extract", "/SPLIT.DAT",
        (dir.path() / "extracted").string()}));
    ASSERT_TRUE(readFile(dir.path() / "extracted") == contents);

    const IsoImage image((dir.path() / "sections.iso").string());
    const std::vector<IsoEntry> listed = image.listDirectory({});
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "SPLIT.DAT");
    EXPECT_EQ(listed[0].size, contents.size());
    EXPECT_EQ(listed[0].extentCount(), 2u);
    std::string bytes;
    EXPECT_EQ(image.readFile(listed[0], 1 << 20, bytes), WholeFileRead::Complete);
    EXPECT_TRUE(bytes == contents);
    const std::pair<std::uint64_t, std::size_t> ranges[] = {{0, 10}, {3 * 2048 - 5, 10}, {6000, 6188}, {12187, 1}};
    for (const auto& [offset, count] : ranges) {
        std::string part(count, '\0');
        EXPECT_TRUE(image.readAt(listed[0], offset, part.data(), count)) << offset;
        EXPECT_EQ(part, contents.substr(offset, count)) << offset;
    }
    std::string beyond(2, '\0');
    EXPECT_FALSE(image.readAt(listed[0], contents.size() - 1, beyond.data(), 2));
    EXPECT_EQ(listed[1].name, "ZZ.TXT");
}

TEST(IsoImage, ATruncatedImageFailsOnlyForWhatIsCutOff)
{
    const TempDir dir;
    dir.writeFile("tree/small.txt", "small");
    dir.writeFile("tree/zz/big.bin", pattern(200000, 5));
    const std::string source
        = makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "CUT");
    const std::string whole = readFile(source);

    IsoEntry big;
    IsoEntry subdirectory;
    {
        const IsoImage image(source);
        big = *image.findEntry({"zz", "big.bin"});
        subdirectory = *image.findEntry({"zz"});
    }
    ASSERT_LT(subdirectory.extent.firstSector, big.extent.firstSector);
    const auto cutAt = [&](std::uint64_t bytes) {
        const fs::path path = dir.path() / ("cut" + std::to_string(bytes) + ".iso");
        dir.writeFile(path.filename().string(), whole.substr(0, bytes));
        return path.string();
    };

    // The big file loses its tail: the rest still reads.
    {
        const IsoImage image(cutAt((big.extent.firstSector + 2) * 2048ull));
        std::string bytes = "stale";
        EXPECT_EQ(image.readFile(*image.findEntry({"zz", "big.bin"}), 1 << 20, bytes), WholeFileRead::ReadError);
        EXPECT_EQ(bytes, "");
        EXPECT_EQ(image.readFile(*image.findEntry({"small.txt"}), 100, bytes), WholeFileRead::Complete);
        EXPECT_EQ(bytes, "small");
    }
    // The subdirectory is cut off: the root still lists, the subdirectory is an I/O error.
    {
        const IsoImage image(cutAt(subdirectory.extent.firstSector * 2048ull));
        EXPECT_EQ(image.listDirectory({}).size(), 2u);
        try {
            image.listDirectory({"zz"});
            ADD_FAILURE() << "listed a directory beyond the image's end";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), ErrorIoDevice);
        }
    }
    // Without its volume descriptors nothing is an image.
    EXPECT_THROW(IsoImage(cutAt(17 * 2048)), EFOpenError);
    EXPECT_THROW(IsoImage(cutAt(0)), EFOpenError);
}

TEST(IsoImage, WhatIsNoImageIsRefusedNamingTheFile)
{
    const TempDir dir;
    const std::string text = dir.writeFile("notes.txt", std::string(40000, 'x')).string();
    for (const std::string& path : {text, dir.path().string(), (dir.path() / "missing.iso").string()}) {
        try {
            IsoImage image(path);
            ADD_FAILURE() << "opened " << path;
        } catch (const EFOpenError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    }
}

namespace {

// Lists every directory it can reach and reads every file, at most depth levels
// down; what is damaged may only fail with the program's own errors.
void walkDamaged(const IsoImage& image, std::vector<std::string>& path, int depth)
{
    std::vector<IsoEntry> entries;
    try {
        entries = image.listDirectory(path);
    } catch (const EInOutError&) {
        return;
    }
    for (const IsoEntry& entry : entries) {
        if (entry.directory && depth > 0) {
            path.push_back(entry.name);
            walkDamaged(image, path, depth - 1);
            path.pop_back();
        } else if (!entry.directory) {
            std::string bytes;
            const WholeFileRead result = image.readFile(entry, 1 << 20, bytes);
            EXPECT_TRUE(result != WholeFileRead::Complete || bytes.size() == entry.size) << entry.name;
        }
    }
}

}  // namespace

TEST(IsoImage, DamagedDirectoryRecordsGiveErrorsNotCrashes)
{
    const TempDir dir;
    dir.writeFile("tree/first.txt", "one");
    dir.writeFile("tree/Second Directory/second.txt", "two");
    dir.writeFile("tree/Second Directory/Deeper/third.txt", pattern(5000, 6));
    const std::string source
        = makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "DAMAGED");
    const std::string whole = readFile(source);
    std::uint64_t rootOffset = 0;
    {
        const IsoImage image(source);
        rootOffset = std::uint64_t{image.findEntry({})->extent.firstSector} * 2048;
    }
    ASSERT_LT(rootOffset + 512, whole.size());

    // Record lengths, extents, sizes, name lengths and flags of the root's first
    // records all lie within its first few hundred bytes.
    int opened = 0;
    for (std::uint64_t offset = 0; offset < 400; offset += 3) {
        for (const unsigned char value : {0x00, 0x01, 0x7F, 0xFF}) {
            std::string damaged = whole;
            damaged[rootOffset + offset] = static_cast<char>(value);
            const std::string path = dir.writeFile("damaged.iso", damaged).string();
            SCOPED_TRACE("byte " + std::to_string(offset) + " = " + std::to_string(value));
            try {
                const IsoImage image(path);
                ++opened;
                std::vector<std::string> names;
                walkDamaged(image, names, 4);
            } catch (const EFOpenError&) {
            }
        }
    }
    EXPECT_GT(opened, 0);
}

TEST(IsoImageDrive, BrowsesLikeADirectoryDrive)
{
    const TempDir dir;
    dir.writeFile("tree/ReadMe.txt", "hello");
    dir.writeFile("tree/Games/Big Game.lha", pattern(70000, 7));
    dir.writeFile("tree/Games/BIG GAME.LHA.ReadMe", "the comment");
    const std::string image
        = makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "AMIGA_MAG_42");
    const std::string notAnImage = dir.writeFile("notes.txt", "text").string();

    const DriveTable system = buildSystemDriveTable({notAnImage, image});
    const auto imageDrive
        = std::find_if(system.drives().begin(), system.drives().end(), [](const Drive& drive) { return drive.image; });
    ASSERT_NE(imageDrive, system.drives().end());
    EXPECT_EQ(imageDrive->type, DriveCdRom);
    EXPECT_EQ(imageDrive->label, "AMIGA_MAG_42");
    for (const Drive& drive : system.drives())
        EXPECT_EQ(drive.root.find("notes.txt"), std::string::npos) << "a text file became drive " << drive.letter;

    LinuxPlatform platform(DriveTable(
        {Drive{'C', DriveFixed, "/", "", "", false}, Drive{'D', DriveCdRom, image, "AMIGA_MAG_42", "", true}}));
    EXPECT_EQ(platform.volumeLabel('D'), "AMIGA_MAG_42");
    const auto namesIn = [&](const std::string& path) {
        std::vector<std::string> names;
        platform.readDirectory(path, [&](const FileEntry& entry) { names.push_back(entry.name); });
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(namesIn("D:\\"), (std::vector<std::string>{"Games", "ReadMe.txt"}));
    EXPECT_EQ(namesIn("d:\\GAMES"), (std::vector<std::string>{".", "..", "BIG GAME.LHA.ReadMe", "Big Game.lha"}));

    platform.setCurrentDirectory("D:\\games");
    EXPECT_EQ(platform.currentDirectory(), "D:\\Games");
    EXPECT_EQ(namesIn("").size(), 4u);
    const std::optional<FileEntry> comment = platform.findEntry("big game.lha.readme");
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->name, "BIG GAME.LHA.ReadMe");
    EXPECT_EQ(comment->size, 11);
    EXPECT_TRUE(platform.fileExists("Big Game.lha"));

    FileHandle file = platform.openFile("BIG GAME.LHA");
    ASSERT_TRUE(file.valid());
    std::string bytes;
    EXPECT_EQ(readWholeFile(file, 1 << 20, bytes), WholeFileRead::Complete);
    EXPECT_EQ(bytes, pattern(70000, 7));
    EXPECT_FALSE(platform.openFile("..").valid());
    EXPECT_FALSE(platform.openFile("missing").valid());

    const std::string copy = "C:" + (dir.path() / "copy.lha").string();
    EXPECT_TRUE(platform.copyFile("Big Game.lha", copy));
    EXPECT_EQ(readFile(dir.path() / "copy.lha"), pattern(70000, 7));
    EXPECT_FALSE(platform.copyFile("missing", copy));
    EXPECT_FALSE(platform.copyFile(copy, "D:\\Games\\new.lha"));  // the image is read-only
    EXPECT_EQ(readFile(dir.path() / "copy.lha"), pattern(70000, 7));

    platform.setCurrentDirectory("..");
    EXPECT_EQ(platform.currentDirectory(), "D:\\");
    const std::pair<std::string, int> badDirectories[] = {
        {"D:\\ReadMe.txt", ErrorDirectory},
        {"D:\\Nothing", ErrorFileNotFound},
        {"D:\\Nothing\\Below", ErrorPathNotFound},
    };
    for (const auto& [path, code] : badDirectories) {
        try {
            platform.setCurrentDirectory(path);
            ADD_FAILURE() << "entered " << path;
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), code) << path;
        }
        EXPECT_EQ(platform.currentDirectory(), "D:\\");
    }
}
