// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/amiga_disks.h"

#include "platform/run_program.h"
#include "support/temp_dir.h"

#include <regex>
#include <sstream>

namespace iradudo::test {

bool unadfAvailable()
{
    return programExists("unadf");
}

UnadfListing unadfList(const std::filesystem::path& image)
{
    UnadfListing listing;
    const ProgramResult result = runProgram({"unadf", "-l", "-r", image.string()}, {"LC_ALL=C", "TZ=UTC"});
    if (!result.started || result.exitCode != 0)
        return listing;
    static const std::regex line(R"(^ *(\d*)  (\d{4}/\d\d/\d\d) +\d+:\d\d:\d\d  (.*)$)");
    std::istringstream in(result.output);
    for (std::string text; std::getline(in, text);) {
        if (text.rfind("Volume :", 0) == 0)
            listing.volumeLine = text;
        std::smatch match;
        if (!std::regex_match(text, match, line))
            continue;
        UnadfEntry entry;
        std::string rest = match[3];
        const std::size_t comma = rest.find(", ");
        if (comma != std::string::npos) {
            entry.comment = rest.substr(comma + 2);
            rest.resize(comma);
        }
        entry.directory = !rest.empty() && rest.back() == '/';
        if (entry.directory)
            rest.pop_back();
        entry.path = rest;
        entry.size = match[1].length() ? std::stoll(match[1]) : 0;
        entry.date = match[2];
        listing.entries.push_back(entry);
    }
    listing.ok = !listing.volumeLine.empty();
    return listing;
}

std::string unadfExtract(
    const std::filesystem::path& image, const std::string& path, const std::filesystem::path& scratch)
{
    static int counter = 0;
    const std::filesystem::path into = scratch / ("unadf" + std::to_string(++counter));
    std::filesystem::create_directories(into);
    runProgram({"unadf", image.string(), path, "-d", into.string()}, {"LC_ALL=C"});
    return readFile(into / path);
}

std::uint32_t amigaLong(const std::string& image, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(image.at(at + i));
    return value;
}

void setAmigaLong(std::string& image, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        image.at(at + i) = static_cast<char>(value >> (24 - 8 * i));
}

void resealAmigaBlock(std::string& image, std::uint32_t block, std::uint32_t checksumOffset)
{
    const std::size_t start = static_cast<std::size_t>(block) * 512;
    std::uint32_t sum = 0;
    for (std::size_t offset = 0; offset < 512; offset += 4)
        sum += offset == checksumOffset ? 0 : amigaLong(image, start + offset);
    setAmigaLong(image, start + checksumOffset, 0u - sum);
}

std::string amigaImageFromChunks(const std::string& chunks)
{
    const bool high = !chunks.empty() && (chunks[0] & 1) != 0;
    const std::size_t blocks = high ? 3520 : 1760;
    std::string image(blocks * 512, '\0');
    image.replace(0, 3, "DOS");
    image[3] = static_cast<char>(chunks.empty() ? 0 : (static_cast<unsigned char>(chunks[0]) >> 1 & 7) % 6);
    for (std::size_t at = 1; at + 2 <= chunks.size();) {
        const unsigned header
            = static_cast<unsigned char>(chunks[at]) << 8 | static_cast<unsigned char>(chunks[at + 1]);
        at += 2;
        const auto block = static_cast<std::uint32_t>((header & 0xFFF) % blocks);
        const std::size_t length = std::min<std::size_t>(512, chunks.size() - at);
        image.replace(block * 512, length, chunks, at, length);
        at += length;
        if (header & 0x8000)
            resealAmigaBlock(image, block);
    }
    return image;
}

}  // namespace iradudo::test
