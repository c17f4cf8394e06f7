// SPDX-License-Identifier: GPL-3.0-or-later
// The FAT reader over images made by mformat, mcopy, mmd and mkfs.fat, checked
// against what fsck.fat -n -l, mdir -b and mtype read from the same images.
// mtools runs with a private empty configuration and none of the user's
// settings, so its output does not depend on the machine.
#include "platform/drives/fat_volume.h"
#include "platform/floppy_volume.h"
#include "platform/io_error.h"
#include "platform/run_program.h"

#include "support/temp_dir.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

// mtools reads these from the environment; the tests pin them all.
constexpr const char* kMtoolsSettings[] = {"MTOOLS_DATE_STRING", "MTOOLS_TWENTY_FOUR_HOUR_CLOCK", "MTOOLS_LOWER_CASE",
    "MTOOLS_NO_VFAT", "MTOOLS_NAME_NUMERIC_TAIL", "MTOOLS_DOTTED_DIR"};

class Tools {
public:
    explicit Tools(const TempDir& dir) : config_(dir.writeFile("mtoolsrc", "").string()) { }

    ProgramResult run(const std::string& program, const std::vector<std::string>& arguments) const
    {
        for (const char* name : kMtoolsSettings)
            ::unsetenv(name);
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return runProgram(argv, {"LC_ALL=C.UTF-8", "MTOOLSRC=" + config_, "mtools_skip_check=1"});
    }

    void mtools(const std::string& program, std::vector<std::string> arguments, const std::string& image) const
    {
        arguments.insert(arguments.begin(), {"-i", image});
        const ProgramResult result = run(program, arguments);
        ASSERT_EQ(result.exitCode, 0) << program << ": " << result.output;
    }

private:
    std::string config_;
};

std::string utf16(std::string_view ascii)
{
    std::string units;
    for (const char c : ascii)
        units += {c, '\0'};
    return units;
}

// Writes a change into the image at the one place that holds from.
void replaceInImage(const std::string& image, const std::string& from, const std::string& to)
{
    ASSERT_EQ(from.size(), to.size());
    std::string bytes = readFile(image);
    const std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(from, at + 1), std::string::npos);
    bytes.replace(at, from.size(), to);
    std::ofstream(image, std::ios::binary) << bytes;
}

bool toolsInstalled()
{
    return programExists("mformat") && programExists("fsck.fat") && programExists("mkfs.fat");
}

// A volume over an image file, with the file kept open.
class OpenVolume {
public:
    explicit OpenVolume(const std::string& image) : fd_(::open(image.c_str(), O_RDONLY | O_CLOEXEC))
    {
        volume_.emplace(readFromDescriptor(fd_), fs::file_size(image));
    }
    ~OpenVolume() { ::close(fd_); }
    const FatVolume& operator*() const { return *volume_; }
    const FatVolume* operator->() const { return &*volume_; }

private:
    int fd_;
    std::optional<FatVolume> volume_;
};

struct Walked {
    FatEntry entry;
    std::vector<std::string> path;       // names below the root, this one last
    std::vector<std::string> shortPath;  // the same by 8.3 names
};

std::vector<Walked> walk(const FatVolume& volume)
{
    std::vector<Walked> all;
    const std::function<void(const std::vector<FatEntry>&, const Walked*)> visit
        = [&](const std::vector<FatEntry>& entries, const Walked* parent) {
              for (const FatEntry& entry : entries) {
                  Walked walked{entry, parent ? parent->path : std::vector<std::string>{},
                      parent ? parent->shortPath : std::vector<std::string>{}};
                  walked.path.push_back(entry.name);
                  walked.shortPath.push_back(entry.shortName);
                  all.push_back(walked);
                  if (entry.directory)
                      visit(volume.list(entry), &all.back());
              }
          };
    visit(volume.root(), nullptr);
    return all;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += "/" + name;
    return text;
}

// The kinds of media: both floppy sizes as mformat makes them, and a FAT16 volume by mkfs.fat.
struct Medium {
    const char* name;
    std::vector<std::string> make;  // IMAGE stands for the image's path
    int fatBits;
    const char* label;
};

const Medium kMedia[] = {
    {"720 KB", {"mformat", "-C", "-f", "720", "-v", "DISCO720", "-i", "IMAGE", "::"}, 12, "DISCO720"},
    {"1.44 MB", {"mformat", "-C", "-f", "1440", "-v", "DISCO144", "-i", "IMAGE", "::"}, 12, "DISCO144"},
    {"32 MB FAT16", {"mkfs.fat", "-F", "16", "-n", "DISCO32", "-C", "IMAGE", "32768"}, 16, "DISCO32"},
};

class FatImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!toolsInstalled())
            GTEST_SKIP() << "mtools or dosfstools is not installed";
        const std::string latin = "Caf\xC3\xA9 na\xC3\xAFve fa\xC3\xA7"
                                  "ade.txt";                        // é ï ç
        const std::string cp850 = "\xC3\x95x.txt";                  // Õ: stored as 0x05 first
        const std::string nordic = "\xC3\x86\xC3\x98\xC3\x85.TXT";  // ÆØÅ, an 8.3 name
        files = {
            {"A very long file name.readme", "Short: long\n"},
            {latin, std::string(3000, 'c')},
            {cp850, "five"},
            {nordic, "nordic"},
            {"README.TXT", "upper case readme\n"},
            {"1/2/3/4/5/6/7/8/deep.txt", "eight folders down\n"},
            {"Sub Dir/inner file.txt", "inner\n"},
        };
        for (const auto& [name, bytes] : files)
            dir.writeFile("src/" + name, bytes);
        dir.writeFile("clash/readme.txt", "lower case readme, longer\n");
        dir.writeFile("scratch/a.bin", std::string(1500, 'a'));
        dir.writeFile("scratch/gone.bin", std::string(3000, 'g'));
        dir.writeFile("scratch/b.bin", std::string(1500, 'b'));
        std::string fragmented;
        for (int i = 0; i < 900; ++i)
            fragmented += "fragment " + std::to_string(i) + "\n";
        files["fragmented.txt"] = fragmented;
        dir.writeFile("scratch/fragmented.txt", fragmented);
    }

    // Makes the image and fills it: the tree, two files around one that is
    // then deleted, and a file larger than the gap, which is split around b.bin.
    std::string makeImage(const Medium& medium)
    {
        const std::string image = (dir.path() / "a.img").string();
        fs::remove(image);
        std::vector<std::string> make = medium.make;
        std::replace(make.begin(), make.end(), std::string("IMAGE"), image);
        const ProgramResult made = tools.run(make[0], std::vector<std::string>(make.begin() + 1, make.end()));
        EXPECT_EQ(made.exitCode, 0) << made.output;
        std::vector<std::string> sources;
        for (const auto& entry : fs::directory_iterator(dir.path() / "src"))
            sources.push_back(entry.path().string());
        sources.push_back("::/");
        std::vector<std::string> copy{"-s"};
        copy.insert(copy.end(), sources.begin(), sources.end());
        tools.mtools("mcopy", copy, image);
        const std::string scratch = (dir.path() / "scratch").string();
        for (const char* name : {"a.bin", "gone.bin", "b.bin"})
            tools.mtools("mcopy", {scratch + "/" + name, "::/"}, image);
        tools.mtools("mmd", {"::/Emptied"}, image);
        tools.mtools("mcopy", {scratch + "/a.bin", "::/Emptied/"}, image);
        tools.mtools("mdel", {"::/gone.bin", "::/Emptied/a.bin"}, image);
        tools.mtools("mcopy", {scratch + "/fragmented.txt", "::/"}, image);
        // mcopy takes readme.txt for README.TXT, and renames it readme.txt-1
        // under the 8.3 name README~1.TXT; the long name is then cut back.
        tools.mtools("mcopy", {"-D", "a", (dir.path() / "clash/readme.txt").string(), "::/"}, image);
        replaceInImage(image, utf16("txt-"), utf16("txt") + std::string(2, '\0'));
        files["readme.txt"] = "lower case readme, longer\n";
        files["a.bin"] = std::string(1500, 'a');
        files["b.bin"] = std::string(1500, 'b');
        return image;
    }

    TempDir dir;
    Tools tools{dir};
    std::map<std::string, std::string> files;  // path below the root: bytes
};

TEST_F(FatImages, ListingsAndBytesAreWhatFsckMdirAndMtypeRead)
{
    for (const Medium& medium : kMedia) {
        SCOPED_TRACE(medium.name);
        const std::string image = makeImage(medium);
        const OpenVolume volume(image);
        EXPECT_EQ(volume->fatBits(), medium.fatBits);
        const std::vector<Walked> walked = walk(*volume);

        // fsck.fat -l names each entry by its long name, or its 8.3 name without
        // case bits, and adds the 8.3 name of a long-named one in parentheses.
        std::set<std::string> fsck;
        std::istringstream checked(tools.run("fsck.fat", {"-n", "-l", image}).output);
        for (std::string line; std::getline(checked, line);) {
            if (line.starts_with("Checking file "))
                fsck.insert(line.substr(14));
        }
        fsck.erase("/" + volume->label());
        std::set<std::string> ours;
        for (const Walked& w : walked) {
            std::string path;
            for (std::size_t i = 0; i + 1 < w.path.size(); ++i)
                path += "/" + w.path[i];
            path += "/" + (w.entry.hasLongName ? w.entry.name : w.entry.shortName);
            if (w.entry.hasLongName)
                path += " (" + w.entry.shortName + ")";
            ours.insert(path);
        }
        EXPECT_EQ(ours, fsck);

        // mdir -b lists every path, directories with a "/" after them.
        std::set<std::string> mdir;
        std::istringstream bare(tools.run("mdir", {"-/", "-b", "-a", "-i", image, "::/"}).output);
        for (std::string line; std::getline(bare, line);)
            mdir.insert(line.substr(2));
        ours.clear();
        for (const Walked& w : walked)
            ours.insert(joined(w.path) + (w.entry.directory ? "/" : ""));
        EXPECT_EQ(ours, mdir);

        std::size_t files = 0;
        for (const Walked& w : walked) {
            if (w.entry.directory)
                continue;
            SCOPED_TRACE(joined(w.path));
            std::string bytes;
            ASSERT_TRUE(volume->read(w.entry, 1 << 20, bytes));
            EXPECT_EQ(bytes.size(), w.entry.size);
            // mtype takes README.TXT for the long name readme.txt as well, and types both.
            if (joined(w.path) != "/README.TXT") {
                EXPECT_EQ(bytes, tools.run("mtype", {"-i", image, "::" + joined(w.shortPath)}).output);
            }
            const std::string relative = joined(w.path).substr(1);
            ASSERT_TRUE(this->files.count(relative));
            EXPECT_EQ(bytes, this->files.at(relative));
            ++files;
        }
        EXPECT_EQ(files, this->files.size());
    }
}

TEST_F(FatImages, LabelFreeSpaceAndGeometryAreWhatFsckAndMdirReport)
{
    for (const Medium& medium : kMedia) {
        SCOPED_TRACE(medium.name);
        const std::string image = makeImage(medium);
        const OpenVolume volume(image);
        const std::string verbose = tools.run("fsck.fat", {"-n", "-v", image}).output;
        EXPECT_NE(verbose.find(std::to_string(medium.fatBits) + " bit entries"), std::string::npos);
        EXPECT_NE(verbose.find(" " + std::to_string(volume->clusterCount()) + " data clusters"), std::string::npos);
        std::string free = tools.run("mdir", {"-i", image, "::/"}).output;
        free = free.substr(0, free.rfind(" bytes free"));
        free = free.substr(free.rfind('\n') + 1);
        std::erase(free, ' ');
        EXPECT_EQ(std::to_string(volume->bytesFree()), free);
        const std::string label = tools.run("mlabel", {"-s", "-i", image, "::"}).output;
        EXPECT_NE(label.find("Volume label is " + volume->label() + " "), std::string::npos) << label;
        EXPECT_EQ(volume->label(), medium.label);
    }
}

// What the copy and the format program learn of a floppy before writing to it.
TEST_F(FatImages, TheVolumeReadingIsWhatMdirAndFsckReport)
{
    for (const Medium& medium : kMedia) {
        SCOPED_TRACE(medium.name);
        const std::string image = makeImage(medium);
        const FloppyVolume volume = readFloppyVolume(image);
        EXPECT_EQ(volume.mediumBytes, static_cast<std::int64_t>(fs::file_size(image)));
        EXPECT_EQ(volume.fatBits, medium.fatBits);
        EXPECT_EQ(volume.label, medium.label);
        std::string free = tools.run("mdir", {"-i", image, "::/"}).output;
        free = free.substr(0, free.rfind(" bytes free"));
        free = free.substr(free.rfind('\n') + 1);
        std::erase(free, ' ');
        EXPECT_EQ(std::to_string(volume.bytesFree), free);
        std::set<std::string> mdir;
        std::istringstream bare(tools.run("mdir", {"-b", "-a", "-i", image, "::/"}).output);
        for (std::string line; std::getline(bare, line);)
            mdir.insert(line.substr(3));
        std::set<std::string> root;
        for (const FloppyRootEntry& entry : volume.root)
            root.insert(entry.name + (entry.directory ? "/" : ""));
        EXPECT_EQ(root, mdir);
    }
    const std::string noFat = dir.writeFile("nofat.img", std::string(1474560, '\xF6')).string();
    for (const std::string& floppy : {(dir.path() / "missing.img").string(), noFat}) {
        try {
            readFloppyVolume(floppy);
            ADD_FAILURE() << floppy;
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.errorCode(), ErrorNotReady);
        }
    }
}

}  // namespace

namespace {

// A 1.44 MB floppy by mformat and mcopy whose structures the cases below break
// one at a time: 512-byte clusters, FATs at sectors 1 and 10, the root at 19.
class DamagedFloppy : public ::testing::Test {
protected:
    static constexpr std::size_t kFat = 512;
    static constexpr std::size_t kFatBytes = 9 * 512;

    void SetUp() override
    {
        if (!toolsInstalled())
            GTEST_SKIP() << "mtools or dosfstools is not installed";
        image = (dir.path() / "a.img").string();
        tools.mtools("mformat", {"-C", "-f", "1440"}, image);
        sources = {
            {"big.bin", std::string(1500, 'b')},
            {"A long name.txt", "long\n"},
            {"abXcd.txt", "newline\n"},
            {"abYcd.txt", "question\n"},
            {"Qz", "dots\n"},
            {"inner.txt", "inner\n"},
            {"NOTES.txt", "notes\n"},
            {"notes2.TXT", "notes2\n"},
            {"\xC3\xA9.TXT", "e acute\n"},
            {"Wx.txt", "smile\n"},
            {"late.bin", std::string(700, 'l')},
        };
        for (const auto& [name, bytes] : sources) {
            if (name != "late.bin")
                tools.mtools("mcopy", {dir.writeFile("src/" + name, bytes).string(), "::/"}, image);
        }
        dir.writeFile("src/Sub Dir/Deeper/x.txt", "x\n");
        tools.mtools("mcopy", {"-s", (dir.path() / "src/Sub Dir").string(), "::/"}, image);
        // Written last, so its clusters are the last in use.
        tools.mtools("mcopy", {dir.writeFile("src/late.bin", sources["late.bin"]).string(), "::/"}, image);
        bytes = readFile(image);
    }

    std::size_t entryOf(std::string_view shortName) const
    {
        const std::size_t at = bytes.find(shortName);
        EXPECT_NE(at, std::string::npos) << shortName;
        EXPECT_EQ(at % 32, 0u);
        return at;
    }
    std::uint32_t firstCluster(std::string_view shortName) const
    {
        const std::size_t at = entryOf(shortName);
        return static_cast<std::uint8_t>(bytes[at + 26]) | static_cast<std::uint8_t>(bytes[at + 27]) << 8;
    }
    void setFat(std::uint32_t cluster, std::uint32_t value)
    {
        for (const std::size_t fat : {kFat, kFat + kFatBytes}) {
            const std::size_t at = fat + cluster * 3 / 2;
            auto pair = static_cast<std::uint32_t>(
                static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8);
            pair = cluster & 1 ? (pair & 0x000F) | value << 4 : (pair & 0xF000) | value;
            bytes[at] = static_cast<char>(pair & 0xFF);
            bytes[at + 1] = static_cast<char>(pair >> 8);
        }
    }
    void setU16(std::size_t at, std::uint16_t value)
    {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>(value >> 8);
    }
    // Writes the bytes back as the image.
    void save() const { std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes; }

    TempDir dir;
    Tools tools{dir};
    std::string image;
    std::map<std::string, std::string> sources;
    std::string bytes;
};

TEST_F(DamagedFloppy, NamesAreListedAsStoredWithTheirCaseBitsAndLongNames)
{
    // Long names mtools will not write, made by changing characters of ones it wrote.
    replaceInImage(image, utf16("abXcd"), utf16("ab\ncd"));
    replaceInImage(image, utf16("abYcd"), utf16("ab?cd"));
    replaceInImage(image, utf16("Qz") + std::string(2, '\0'), utf16("..") + std::string(2, '\0'));
    replaceInImage(image, utf16("Wx"), std::string("\x3D\xD8\x00\xDE", 4));  // U+1F600 as a surrogate pair
    const std::map<std::string, std::pair<std::string, bool>> expected = {
        // name: the file it was written from, whether it holds a long name
        {"big.bin", {"big.bin", false}},
        {"A long name.txt", {"A long name.txt", true}},
        {"ab\ncd.txt", {"abXcd.txt", true}},
        {"ab?cd.txt", {"abYcd.txt", true}},
        {"..", {"Qz", true}},
        {"inner.txt", {"inner.txt", false}},        // lower base and extension
        {"NOTES.txt", {"NOTES.txt", false}},        // lower extension
        {"notes2.TXT", {"notes2.TXT", false}},      // lower base
        {"\xC3\xA9.TXT", {"\xC3\xA9.TXT", false}},  // É in code page 850, lowered
        {"\xF0\x9F\x98\x80.txt", {"Wx.txt", true}},
        {"late.bin", {"late.bin", false}},
        {"Sub Dir", {"", true}},
    };
    const OpenVolume volume(image);
    const std::vector<FatEntry> root = volume->root();
    ASSERT_EQ(root.size(), expected.size());
    for (const FatEntry& entry : root) {
        SCOPED_TRACE(entry.name);
        ASSERT_TRUE(expected.count(entry.name));
        EXPECT_EQ(entry.hasLongName, expected.at(entry.name).second);
        EXPECT_EQ(findFatName(root, entry.name), std::optional<std::size_t>(&entry - root.data()));
        std::string read;
        if (!entry.directory) {
            EXPECT_TRUE(volume->read(entry, 1 << 20, read));
            EXPECT_EQ(read, sources.at(expected.at(entry.name).first));
        }
    }
}

TEST_F(DamagedFloppy, BrokenStructuresFailAloneAndTheRestReads)
{
    const std::uint32_t big = firstCluster("BIG     BIN");
    const std::uint32_t subDir = firstCluster("SUBDIR~1   ");
    const std::size_t longName = entryOf("ALONGN~1TXT");
    const std::size_t smile = entryOf("WX      TXT");
    const struct {
        const char* what;
        std::function<void()> damage;
        std::string unreadable;   // the file that no longer reads
        std::string renamedFrom;  // a long name that falls back to its 8.3 name
        std::string renamedTo;
        bool subDirLists;
    } cases[] = {
        {"chain loops", [&] { setFat(big + 1, big); }, "big.bin", "", "", true},
        {"chain ends on a free cluster", [&] { setFat(big + 1, 0); }, "big.bin", "", "", true},
        {"chain leaves the clusters", [&] { setFat(big, 0xF00); }, "big.bin", "", "", true},
        {"first cluster out of range", [&] { setU16(entryOf("BIG     BIN") + 26, 4000); }, "big.bin", "", "", true},
        {"long name checksum differs", [&] { bytes[longName - 32 + 13] ^= 1; }, "", "A long name.txt", "ALONGN~1.TXT",
            true},
        {"long name entry missing", [&] { bytes[longName - 32] = 0x42; }, "", "A long name.txt", "ALONGN~1.TXT", true},
        {"lone surrogate", [&] { setU16(smile - 32 + 1, 0xD83D); }, "", "Wx.txt", "WX.TXT", true},
        {"directory chain loops", [&] { setFat(subDir, subDir); }, "", "", "", false},
        {"truncated before the last file", [&] { bytes.resize(33 * 512 + (firstCluster("LATE    BIN") - 2) * 512); },
            "late.bin", "", "", true},
    };
    const std::string intact = bytes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bytes = intact;
        c.damage();
        save();
        const OpenVolume volume(image);
        const std::vector<FatEntry> root = volume->root();
        ASSERT_EQ(root.size(), sources.size() + 1);
        for (const FatEntry& entry : root) {
            SCOPED_TRACE(entry.name);
            if (entry.directory) {
                if (c.subDirLists) {
                    EXPECT_EQ(volume->list(entry).size(), 1u);
                } else {
                    EXPECT_THROW(volume->list(entry), FatError);
                }
                continue;
            }
            const std::string source = entry.name == c.renamedTo ? c.renamedFrom : entry.name;
            ASSERT_TRUE(sources.count(source));
            std::string read;
            EXPECT_EQ(volume->read(entry, 1 << 20, read), source != c.unreadable);
            if (source != c.unreadable) {
                EXPECT_EQ(read, sources.at(source));
            }
        }
    }
}

TEST_F(DamagedFloppy, BootSectorsThatDescribeNoFatAreRefused)
{
    const struct {
        const char* what;
        std::size_t at;
        int value;  // written as 16 bits, or as one byte when below 0
    } cases[] = {
        {"1000 bytes per sector", 11, 1000},
        {"256 bytes per sector", 11, 256},
        {"8192 bytes per sector", 11, 8192},
        {"3 sectors per cluster", 13, -3},
        {"0 sectors per cluster", 13, 0},
        {"no reserved sector", 14, 0},
        {"no FAT", 16, -0x100},
        {"three FATs", 16, -3},
        {"no root entries", 17, 0},
        {"fewer sectors than the system area", 19, 20},
        {"FAT smaller than its clusters", 22, 1},
        {"no FAT sectors", 22, 0},
        {"media byte", 21, -0x12},
    };
    const std::string intact = bytes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bytes = intact;
        if (c.value < 0)
            bytes[c.at] = static_cast<char>(c.value == -0x100 ? 0 : -c.value);
        else
            setU16(c.at, static_cast<std::uint16_t>(c.value));
        save();
        EXPECT_THROW(OpenVolume{image}, FatError);
    }
    bytes = intact;
    for (const std::size_t size : {std::size_t{0}, std::size_t{300}, std::size_t{19 * 512 + 100}}) {
        SCOPED_TRACE(size);
        bytes.resize(size);
        save();
        EXPECT_THROW(OpenVolume{image}, FatError);
    }
}

}  // namespace
