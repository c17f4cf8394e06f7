// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace iradudo::test {

// The kinds of drive a listed file can come from.
enum class MediumKind { HostDirectory, RockRidgeIso, JolietIso, CueBin, FloppyImage };

struct MediumCase {
    const char* label;
    MediumKind kind;
};

// One of each kind, for tables of cases.
const std::vector<MediumCase>& allMediumKinds();

// A case's label as a test name (letters, digits and underscores).
std::string mediumCaseName(const MediumCase& medium);

// A medium holding files, made from a tree by xorriso or mtools, and read back
// by the same tools, never by the program.
class ListedMedium {
public:
    // Makes the medium in workDirectory from tree (files only, below directory,
    // which is "" for the root or one folder name).
    ListedMedium(MediumKind kind, const std::filesystem::path& workDirectory, const std::filesystem::path& tree,
        const std::string& directory);

    MediumKind kind() const { return kind_; }
    // What the drive table takes: the host directory, image, cue sheet or floppy image.
    const std::string& path() const { return path_; }
    // The bytes of a file of the medium as xorriso (osirrox) or mtools read them.
    std::string readBack(const std::string& name) const;

private:
    MediumKind kind_;
    std::string path_;
    std::string iso_;  // the ISO image a raw image was made from
    std::string directory_;
};

// A floppy image of 1.44 MB formatted by mformat; its path.
std::string makeBlankFloppy(const std::filesystem::path& image);

// A file of a floppy image as mtools reads it; empty when that fails.
std::string floppyFile(const std::string& image, const std::string& path);

}  // namespace iradudo::test
