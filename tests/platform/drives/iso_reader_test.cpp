// SPDX-License-Identifier: GPL-3.0-or-later
// The disc image reader against images other programs wrote, read back by other
// programs, and against those images damaged byte by byte where each fault lies.
#include "platform/drives/iso_image.h"
#include "platform/io_error.h"

#include "support/disc_images.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

// The image and a tree an independent reader extracted from it: the same names,
// kinds, sizes and bytes in every directory; a link extracts as a link.
void expectSameAsExtracted(const IsoImage& image, const fs::path& directory, const std::vector<std::string>& path)
{
    std::map<std::string, IsoEntry> listed;
    for (const IsoEntry& entry : image.listDirectory(path))
        EXPECT_TRUE(listed.emplace(entry.name, entry).second) << "listed twice: " << entry.name;
    std::size_t extractedCount = 0;
    for (const fs::directory_entry& extracted : fs::directory_iterator(directory)) {
        ++extractedCount;
        const std::string name = extracted.path().filename().string();
        const auto it = listed.find(name);
        ASSERT_NE(it, listed.end()) << "missing from the listing: " << (directory / name);
        const IsoEntry& entry = it->second;
        std::vector<std::string> below = path;
        below.push_back(name);
        ASSERT_EQ(entry.link, extracted.is_symlink()) << name;
        if (entry.link) {
            std::string bytes;
            EXPECT_EQ(entry.size, 0u);
            EXPECT_EQ(image.readFile(entry, 1 << 20, bytes), WholeFileRead::ReadError) << name;
            continue;
        }
        ASSERT_EQ(entry.directory, extracted.is_directory()) << name;
        if (entry.directory) {
            expectSameAsExtracted(image, extracted.path(), below);
            continue;
        }
        EXPECT_EQ(entry.size, extracted.file_size()) << name;
        std::string bytes;
        EXPECT_EQ(image.readFile(entry, entry.size, bytes), WholeFileRead::Complete) << name;
        EXPECT_TRUE(bytes == readFile(extracted.path())) << name;
        // Found again by the name listed, through the whole path.
        const std::optional<IsoEntry> found = image.findEntry(below);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->extent.firstSector, entry.extent.firstSector) << name;
    }
    EXPECT_EQ(listed.size(), extractedCount) << directory;
}

void makeSourceTree(const TempDir& dir, bool longNamesAndLinks)
{
    dir.writeFile("tree/Read Me.txt", "hello");
    dir.writeFile("tree/empty", "");
    dir.writeFile("tree/Games/Big Game.lha", pattern(70000, 3));
    dir.writeFile("tree/Games/game.info", pattern(2048, 4));
    std::string deep = "tree";
    for (const char* level : {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"})
        deep += std::string("/") + level;
    dir.writeFile(deep + "/bottom.txt", pattern(4097, 5));
    if (longNamesAndLinks) {
        dir.writeFile("tree/" + std::string(200, 'n') + ".txt", "long");
        fs::create_symlink("Games/Big Game.lha", dir.path() / "tree/link to game");
        fs::create_symlink("nowhere", dir.path() / "tree/Games/dangling");
    }
}

}  // namespace

TEST(IsoReader, ListsAndReadsWhatAnIndependentReaderExtracts)
{
    struct Case {
        std::vector<std::string> writer;  // the image's path and the tree follow
        bool longNamesAndLinks;
        IsoNames names;
    };
    const Case cases[] = {
        {{"xorriso", "-as", "mkisofs", "-R", "-J", "-V", "VOLUME", "-o"}, true, IsoNames::RockRidge},
        {{"xorriso", "-as", "mkisofs", "-R", "-iso-level", "3", "-V", "VOLUME", "-o"}, true, IsoNames::RockRidge},
        // Rock Ridge without -D: the directories below level eight are relocated.
        {{"genisoimage", "-quiet", "-R", "-V", "VOLUME", "-o"}, true, IsoNames::RockRidge},
        {{"genisoimage", "-quiet", "-R", "-J", "-iso-level", "2", "-V", "VOLUME", "-o"}, true, IsoNames::RockRidge},
        {{"genisoimage", "-quiet", "-J", "-V", "VOLUME", "-o"}, false, IsoNames::Joliet},
        {{"genisoimage", "-quiet", "-iso-level", "2", "-V", "VOLUME", "-o"}, false, IsoNames::Iso},
        {{"genisoimage", "-quiet", "-iso-level", "1", "-V", "VOLUME", "-o"}, false, IsoNames::Iso},
    };
    for (const Case& test : cases) {
        std::string what;
        for (const std::string& argument : test.writer)
            what += argument + " ";
        SCOPED_TRACE(what);
        const TempDir dir;
        makeSourceTree(dir, test.longNamesAndLinks);
        std::vector<std::string> arguments = test.writer;
        arguments.push_back((dir.path() / "disc.iso").string());
        arguments.push_back((dir.path() / "tree").string());
        ASSERT_TRUE(runQuietly(arguments));
        fs::create_directory(dir.path() / "extracted");
        ASSERT_TRUE(runQuietly(
            {"bsdtar", "-xf", (dir.path() / "disc.iso").string(), "-C", (dir.path() / "extracted").string()}));

        const IsoImage image((dir.path() / "disc.iso").string());
        EXPECT_EQ(image.volumeLabel(), "VOLUME");
        EXPECT_EQ(image.names(), test.names);
        expectSameAsExtracted(image, dir.path() / "extracted", {});
    }
}

namespace {

std::uint32_t le32(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])
        | static_cast<unsigned char>(bytes[at + 1]) << 8 | static_cast<unsigned char>(bytes[at + 2]) << 16
        | static_cast<unsigned char>(bytes[at + 3]) << 24);
}

void putBothEndian32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
        bytes[at + 7 - i] = static_cast<char>(value >> (8 * i));
    }
}

// The root directory's first sector as a volume descriptor of the given type names it.
std::size_t rootOffset(const std::string& iso, char type)
{
    for (std::size_t sector = 16; (sector + 1) * 2048 <= iso.size(); ++sector) {
        if (iso[sector * 2048] == type)
            return std::size_t{le32(iso, sector * 2048 + 156 + 2)} * 2048;
    }
    ADD_FAILURE() << "no volume descriptor of type " << int(type);
    return 0;
}

// The offset of the record in the directory sector at directory whose
// identifier starts with prefix.
std::size_t recordOffset(const std::string& iso, std::size_t directory, std::string_view prefix)
{
    for (std::size_t at = directory; at < directory + 2048 && iso[at] != 0; at += static_cast<unsigned char>(iso[at])) {
        const std::string_view identifier(iso.data() + at + 33, static_cast<unsigned char>(iso[at + 32]));
        if (identifier.starts_with(prefix))
            return at;
    }
    ADD_FAILURE() << "no record " << prefix;
    return directory;
}

// Where a system use field of a record starts.
std::size_t fieldOffset(const std::string& iso, std::size_t record, std::string_view signature)
{
    const std::size_t end = record + static_cast<unsigned char>(iso[record]);
    const std::size_t found = iso.find(signature, record + 33 + static_cast<unsigned char>(iso[record + 32]));
    EXPECT_LT(found, end) << signature;
    return found;
}

std::vector<std::string> namesIn(const IsoImage& image, const std::vector<std::string>& path)
{
    std::vector<std::string> names;
    for (const IsoEntry& entry : image.listDirectory(path))
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

int errorListing(const IsoImage& image, const std::vector<std::string>& path)
{
    try {
        image.listDirectory(path);
    } catch (const EInOutError& error) {
        return error.errorCode();
    }
    return 0;
}

}  // namespace

TEST(IsoReader, DamageFailsOnlyWhereItLies)
{
    const TempDir dir;
    dir.writeFile("tree/keep.txt", "kept");
    dir.writeFile("tree/other/x.txt", "x");
    dir.writeFile("tree/sub/inner.txt", "inner");
    const std::string whole
        = readFile(makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "V"));
    const std::size_t root = rootOffset(whole, 1);
    const std::size_t keep = recordOffset(whole, root, "KEEP.TXT");
    const std::size_t sub = recordOffset(whole, root, "SUB");
    const std::vector<std::string> allNames{"keep.txt", "other", "sub"};
    const auto fileBytes = [](const IsoImage& image, const std::string& name) {
        std::string bytes;
        const std::optional<IsoEntry> entry = image.findEntry({name});
        return entry && image.readFile(*entry, 100, bytes) == WholeFileRead::Complete ? bytes : "unreadable";
    };

    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        std::function<void(const IsoImage&)> expect;
    };
    const Case cases[] = {
        {"a record shorter than its fixed part",
            [&](std::string& iso) { iso[std::size_t{le32(iso, sub + 2)} * 2048] = 20; },
            [&](const IsoImage& image) {
                EXPECT_EQ(errorListing(image, {"sub"}), ErrorIoDevice);
                EXPECT_EQ(namesIn(image, {}), allNames);
                EXPECT_EQ(namesIn(image, {"other"}), std::vector<std::string>{"x.txt"});
            }},
        {"a directory beyond the image's end",
            [&](std::string& iso) { putBothEndian32(iso, sub + 2, static_cast<std::uint32_t>(iso.size() / 2048)); },
            [&](const IsoImage& image) {
                EXPECT_EQ(errorListing(image, {"sub"}), ErrorIoDevice);
                EXPECT_EQ(fileBytes(image, "keep.txt"), "kept");
            }},
        {"a directory larger than a directory may be",
            [&](std::string& iso) { putBothEndian32(iso, sub + 10, 65u << 20); },
            [&](const IsoImage& image) {
                EXPECT_EQ(errorListing(image, {"sub"}), ErrorIoDevice);
                EXPECT_EQ(namesIn(image, {"other"}), std::vector<std::string>{"x.txt"});
            }},
        {"a file running past the image's end",
            [&](std::string& iso) { putBothEndian32(iso, keep + 10, static_cast<std::uint32_t>(iso.size())); },
            [&](const IsoImage& image) {
                EXPECT_EQ(namesIn(image, {}), allNames);
                EXPECT_EQ(fileBytes(image, "keep.txt"), "unreadable");
                const std::optional<IsoEntry> entry = image.findEntry({"keep.txt"});
                ASSERT_TRUE(entry);
                char byte = 0;
                EXPECT_FALSE(image.readAt(*entry, entry->size - 1, &byte, 1));
            }},
        {"a directory that is its own parent",
            [&](std::string& iso) {
                putBothEndian32(iso, sub + 2, le32(iso, root + 2));
                putBothEndian32(iso, sub + 10, le32(iso, root + 10));
            },
            [&](const IsoImage& image) {
                EXPECT_EQ(namesIn(image, {"sub"}), allNames);
                const std::vector<std::string> endless(300, "sub");
                const std::optional<IsoEntry> found = image.findEntry(endless);
                ASSERT_TRUE(found);
                EXPECT_TRUE(found->directory);
            }},
        {"an alternate name field longer than its record",
            [&](std::string& iso) { iso[fieldOffset(iso, keep, "NM") + 2] = '\xff'; },
            [&](const IsoImage& image) {
                EXPECT_EQ(namesIn(image, {}), (std::vector<std::string>{"KEEP.TXT", "other", "sub"}));
                EXPECT_EQ(fileBytes(image, "KEEP.TXT"), "kept");
            }},
        {"a continuation area that is the record's own fields",
            [&](std::string& iso) {
                // The attributes field makes way for a continuation pointing back.
                const std::size_t field = fieldOffset(iso, keep, "PX");
                const std::size_t area = keep + 33 + 10 + 1;
                ASSERT_GE(static_cast<unsigned char>(iso[field + 2]), 28);
                iso.replace(field, 2, "CE");
                putBothEndian32(iso, field + 4, static_cast<std::uint32_t>(root / 2048));
                putBothEndian32(iso, field + 12, static_cast<std::uint32_t>(area - root));
                putBothEndian32(
                    iso, field + 20, static_cast<std::uint32_t>(keep + static_cast<unsigned char>(iso[keep]) - area));
            },
            [&](const IsoImage& image) {
                EXPECT_EQ(namesIn(image, {}), allNames);
                EXPECT_EQ(fileBytes(image, "keep.txt"), "kept");
            }},
    };
    // The name continues in a continuation area in a sector added at the end: up
    // to 255 bytes it is the name, beyond that the plain name stands.
    for (const std::size_t more : {std::size_t{200}, std::size_t{247}, std::size_t{248}, std::size_t{400}}) {
        SCOPED_TRACE(more);
        std::string iso = whole;
        const std::size_t name = fieldOffset(iso, keep, "NM");
        iso[name + 4] = 1;  // continued
        const std::size_t field = fieldOffset(iso, keep, "PX");
        std::string area;
        for (std::size_t left = more; left > 0;) {
            const std::size_t part = std::min<std::size_t>(left, 200);
            left -= part;
            area += std::string{'N', 'M', static_cast<char>(5 + part), 1, static_cast<char>(left > 0 ? 1 : 0)};
            area += std::string(part, 'x');
        }
        iso.replace(field, 2, "CE");
        putBothEndian32(iso, field + 4, static_cast<std::uint32_t>(iso.size() / 2048));
        putBothEndian32(iso, field + 12, 0);
        putBothEndian32(iso, field + 20, static_cast<std::uint32_t>(area.size()));
        area.resize(2048, '\0');
        iso += area;
        const IsoImage image(dir.writeFile("long.iso", iso).string());
        const std::string expected = 8 + more <= 255 ? "keep.txt" + std::string(more, 'x') : "KEEP.TXT";
        EXPECT_EQ(namesIn(image, {}), (std::vector<std::string>{expected, "other", "sub"}));
        EXPECT_EQ(fileBytes(image, expected), "kept");
    }

    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        std::string damaged = whole;
        test.damage(damaged);
        const IsoImage image(dir.writeFile("damaged.iso", damaged).string());
        EXPECT_EQ(image.names(), IsoNames::RockRidge);
        test.expect(image);
    }
}

TEST(IsoReader, JolietNamesThatDoNotDecodeFallBackToTheirPlainNames)
{
    const TempDir dir;
    for (const char* name : {"ab.txt", "cd.txt", "ef.txt", "ij.txt", "gh/inner.txt"})
        dir.writeFile(std::string("tree/") + name, name);
    std::string iso = readFile(makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::JolietOnly, "V"));
    const std::size_t root = rootOffset(iso, 2);
    const auto utf16 = [](std::string_view ascii) {
        std::string out;
        for (const char c : ascii)
            out += {'\0', c};
        return out;
    };
    // A character beyond the first plane, as a surrogate pair.
    iso.replace(recordOffset(iso, root, utf16("ab")) + 33, 4, std::string("\xD8\x3D\xDE\x00", 4));
    // A high surrogate without its low half.
    iso.replace(recordOffset(iso, root, utf16("cd")) + 33, 2, "\xD8\x3D");
    // A low surrogate alone, on a directory.
    iso.replace(recordOffset(iso, root, utf16("gh")) + 33, 2, std::string("\xDC\x00", 2));
    // An odd length.
    --iso[recordOffset(iso, root, utf16("ef")) + 32];
    const IsoImage image(dir.writeFile("names.iso", iso).string());
    ASSERT_EQ(image.names(), IsoNames::Joliet);
    EXPECT_EQ(
        namesIn(image, {}), (std::vector<std::string>{"CD.TXT", "EF.TXT", "GH", "ij.txt", "\xF0\x9F\x98\x80.txt"}));
    EXPECT_EQ(namesIn(image, {"GH"}), std::vector<std::string>{"inner.txt"});
    for (const auto& [name, bytes] : {std::pair{"CD.TXT", "cd.txt"}, {"\xF0\x9F\x98\x80.txt", "ab.txt"}}) {
        std::string read;
        const std::optional<IsoEntry> entry = image.findEntry({name});
        ASSERT_TRUE(entry) << name;
        EXPECT_EQ(image.readFile(*entry, 100, read), WholeFileRead::Complete);
        EXPECT_EQ(read, bytes);
    }
}

TEST(JolietName, DecodesUtf16AndRefusesWhatIsNoName)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {std::string("\0A\0b", 4), "Ab"},
        {std::string("\x00\xE9", 2), "\xC3\xA9"},
        {std::string("\x20\xAC", 2), "\xE2\x82\xAC"},
        {std::string("\xD8\x3D\xDE\x00", 4), "\xF0\x9F\x98\x80"},
        {std::string("\xDB\xFF\xDF\xFF", 4), "\xF4\x8F\xBF\xBF"},
        {std::string("\xD8\x3D", 2), std::nullopt},
        {std::string("\xDE\x00\xD8\x3D", 4), std::nullopt},
        {std::string("\xD8\x3D\x00\x41", 4), std::nullopt},
        {std::string("\0A\0", 3), std::nullopt},
        {std::string("\0\0", 2), std::nullopt},
        {std::string("\0/", 2), std::nullopt},
    };
    for (const auto& [recorded, expected] : cases)
        EXPECT_EQ(jolietName(recorded), expected) << recorded.size();
}

TEST(IsoReader, RawSectorsOfEitherModeAndNoFileButARegularOne)
{
    const TempDir dir;
    dir.writeFile("tree/README.TXT", "hello");
    dir.writeFile("tree/GAMES/GAME.LHA", pattern(150000, 9));
    const std::string iso
        = readFile(makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::PlainLevel1, "MODES"));
    // Mode 2 Form 1: sync, header with mode 2, an eight-byte subheader, the data.
    std::string raw;
    for (std::size_t at = 0; at < iso.size(); at += 2048) {
        std::string sector(2352, '\0');
        std::fill(sector.begin() + 1, sector.begin() + 11, '\xff');
        sector[15] = 2;
        sector.replace(24, 2048, iso, at, 2048);
        raw += sector;
    }
    const IsoImage image(dir.writeFile("disc.img", raw).string());
    EXPECT_EQ(image.volumeLabel(), "MODES");
    const std::optional<IsoEntry> game = image.findEntry({"games", "game.lha"});
    ASSERT_TRUE(game);
    std::string bytes;
    EXPECT_EQ(image.readFile(*game, 1 << 20, bytes), WholeFileRead::Complete);
    EXPECT_TRUE(bytes == pattern(150000, 9));

    // A FIFO without a writer is refused at once instead of blocking the open.
    const std::string fifo = (dir.path() / "pipe.iso").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(IsoImage{fifo}, EFOpenError);
}
