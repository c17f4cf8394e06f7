// SPDX-License-Identifier: GPL-3.0-or-later
// The FAT reader over images made by mformat, mcopy, mmd and mkfs.fat, checked
// against what fsck.fat -n -l, mdir -b and mtype read from the same images.
// mtools runs with a private empty configuration and none of the user's
// settings, so its output does not depend on the machine.
#include "platform/drives/fat_volume.h"
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

}  // namespace
