// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/listed_media.h"

#include "support/disc_images.h"
#include "support/temp_dir.h"

#include <cctype>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace iradudo::test {
namespace {

// mtools without the user's configuration.
std::vector<std::string> mtool(const std::string& program, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"env", "MTOOLSRC=/dev/null", "LC_ALL=C.UTF-8", program});
    return arguments;
}

}  // namespace

std::string mediumCaseName(const MediumCase& medium)
{
    std::string name;
    for (const char c : std::string(medium.label))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

const std::vector<MediumCase>& allMediumKinds()
{
    static const std::vector<MediumCase> kinds{
        {"host directory", MediumKind::HostDirectory},
        {"ISO image with Rock Ridge and Joliet", MediumKind::RockRidgeIso},
        {"ISO image with Joliet only", MediumKind::JolietIso},
        {"CUE/BIN image", MediumKind::CueBin},
        {"floppy image", MediumKind::FloppyImage},
    };
    return kinds;
}

std::string makeBlankFloppy(const fs::path& image)
{
    EXPECT_TRUE(runQuietly(mtool("mformat", {"-C", "-f", "1440", "-i", image.string(), "::"})));
    return image.string();
}

std::string floppyFile(const std::string& image, const std::string& path)
{
    TempDir out;
    const fs::path copy = out.path() / "copy";
    if (!runQuietly(mtool("mcopy", {"-n", "-i", image, "::" + path, copy.string()})))
        return {};
    return readFile(copy);
}

ListedMedium::ListedMedium(
    MediumKind kind, const fs::path& workDirectory, const fs::path& tree, const std::string& directory)
    : kind_(kind), directory_(directory)
{
    const fs::path source = directory.empty() ? tree : tree / directory;
    switch (kind) {
    case MediumKind::HostDirectory: path_ = tree.string(); break;
    case MediumKind::RockRidgeIso:
        path_ = makeImage(tree, workDirectory / "disc.iso", Writer::RockRidgeAndJoliet, "LISTED");
        break;
    case MediumKind::JolietIso:
        path_ = makeImage(tree, workDirectory / "joliet.iso", Writer::JolietOnly, "LISTED");
        break;
    case MediumKind::CueBin:
        iso_ = makeImage(tree, workDirectory / "raw.iso", Writer::RockRidgeAndJoliet, "LISTED");
        makeRawCdImage(iso_, workDirectory / "disc.bin", workDirectory / "disc.cue");
        path_ = (workDirectory / "disc.cue").string();
        break;
    case MediumKind::FloppyImage:
        path_ = makeBlankFloppy(workDirectory / "source.img");
        if (!directory.empty()) {
            EXPECT_TRUE(runQuietly(mtool("mmd", {"-i", path_, "::" + directory})));
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
            EXPECT_TRUE(runQuietly(mtool("mcopy",
                {"-i", path_, entry.path().string(), "::" + directory + "/" + entry.path().filename().string()})));
        }
        break;
    }
}

std::string ListedMedium::readBack(const std::string& name) const
{
    const std::string inside = directory_.empty() ? name : directory_ + "/" + name;
    switch (kind_) {
    case MediumKind::HostDirectory: return readFile(fs::path(path_) / inside);
    case MediumKind::FloppyImage: return floppyFile(path_, inside);
    case MediumKind::RockRidgeIso:
    case MediumKind::JolietIso:
    case MediumKind::CueBin: {
        TempDir out;
        const fs::path copy = out.path() / "copy";
        const std::string image = kind_ == MediumKind::CueBin ? iso_ : path_;
        const std::string names = kind_ == MediumKind::JolietIso ? "on" : "off";
        if (!runQuietly({"xorriso", "-osirrox", "on", "-joliet", names, "-indev", image, "-extract", "/" + inside,
                copy.string()}))
            return {};
        return readFile(copy);
    }
    }
    return {};
}

}  // namespace iradudo::test
