// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace iradudo::test {

// One line of "unadf -l -r": what the independent reader saw.
struct UnadfEntry {
    std::string path;  // "Drawer/File", a drawer without its trailing "/"
    bool directory = false;
    std::int64_t size = 0;
    std::string date;  // "YYYY/MM/DD"
    std::string comment;
};

struct UnadfListing {
    bool ok = false;
    std::string volumeLine;  // "Volume : ..." as printed
    std::vector<UnadfEntry> entries;
};

// Lists a disk with Debian's unadf; ok is false when it could not.
UnadfListing unadfList(const std::filesystem::path& image);
// Extracts one file with unadf into a fresh folder under scratch and returns its bytes.
std::string unadfExtract(
    const std::filesystem::path& image, const std::string& path, const std::filesystem::path& scratch);
bool unadfAvailable();

// An image from the compact form the fuzz target reads (see fuzz_adf.cpp): kept
// fuzz inputs and seeds double as test disks.
std::string amigaImageFromChunks(const std::string& chunks);

// The header checksum of a block set right again after a test damaged it.
void resealAmigaBlock(std::string& image, std::uint32_t block, std::uint32_t checksumOffset = 20);

std::uint32_t amigaLong(const std::string& image, std::size_t at);
void setAmigaLong(std::string& image, std::size_t at, std::uint32_t value);

}  // namespace iradudo::test
