// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the Amiga disk reader and writer. An input is a compact
// description of a disk, since whole images are larger than the fuzzer likes:
// one byte (bit 0: high density; bits 1-3: the file system, DOS0..DOS5), then
// chunks of a two-byte big-endian header (bits 0-11: a block number, bit 15:
// set the block's header checksum, so mutations get past it) and 512 bytes of
// the block. The target walks every drawer, reads every file, then writes a
// file into the root and reads it back. Run it with scripts/fuzz.sh fuzz_adf
// MINUTES; finds go to data/fuzz-adf/.
#include "platform/drives/adf_volume.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kMaxDepth = 8;
// Drawers that list their own ancestors would make the walk exponential.
constexpr int kMaxListings = 64;

void putLong(std::string& image, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}

std::uint32_t getLong(const std::string& image, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(image[at + static_cast<std::size_t>(i)]);
    return value;
}

std::string imageFromInput(const std::uint8_t* data, std::size_t size)
{
    const bool high = size > 0 && (data[0] & 1) != 0;
    const std::size_t blocks = high ? 3520 : 1760;
    std::string image(blocks * 512, '\0');
    image.replace(0, 3, "DOS");
    image[3] = static_cast<char>(size > 0 ? (data[0] >> 1 & 7) % 6 : 0);
    for (std::size_t at = 1; at + 2 <= size;) {
        const unsigned header = static_cast<unsigned>(data[at]) << 8 | data[at + 1];
        at += 2;
        const std::size_t block = (header & 0xFFF) % blocks;
        const std::size_t length = std::min<std::size_t>(512, size - at);
        image.replace(block * 512, length, reinterpret_cast<const char*>(data + at), length);
        at += length;
        if (header & 0x8000) {
            std::uint32_t sum = 0;
            for (std::size_t offset = 0; offset < 512; offset += 4)
                sum += offset == 20 ? 0 : getLong(image, block * 512 + offset);
            putLong(image, block * 512 + 20, 0u - sum);
        }
    }
    return image;
}

void walk(const iradudo::AdfVolume& volume, std::vector<std::string>& path, int depth, int& listings)
{
    if (++listings > kMaxListings)
        return;
    std::vector<iradudo::AdfEntry> entries;
    try {
        entries = volume.list(path);
    } catch (const iradudo::AmigaDiskError&) {
        return;
    }
    for (const iradudo::AdfEntry& entry : entries) {
        if (entry.name.size() > 30 || entry.comment.size() > 79)
            std::abort();
        path.push_back(entry.name);
        const std::optional<iradudo::AdfEntry> found = volume.find(path);
        // What was listed is found again (a repeated name finds its first).
        if (!found || !iradudo::AdfVolume::sameName(found->name, entry.name, volume.international()))
            std::abort();
        if (entry.directory && depth < kMaxDepth) {
            walk(volume, path, depth + 1, listings);
        } else if (!entry.directory) {
            try {
                if (volume.read(entry).size() != entry.size)
                    std::abort();
            } catch (const iradudo::AmigaDiskError&) {
            }
        }
        path.pop_back();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        iradudo::AdfVolume volume(imageFromInput(data, size));
        std::vector<std::string> path;
        int listings = 0;
        walk(volume, path, 0, listings);
        const std::string bytes(1000 + size % 40000, 'x');
        try {
            volume.writeRootFile("Fuzz", bytes, "commento", iradudo::AmigaDate{1, 2, 3});
        } catch (const iradudo::AmigaDiskError&) {
            return 0;
        }
        const iradudo::AdfVolume again(volume.image());
        const std::optional<iradudo::AdfEntry> written = again.find({"Fuzz"});
        if (!written || written->comment != "commento" || again.read(*written) != bytes)
            std::abort();
    } catch (const iradudo::AmigaDiskError&) {
    }
    return 0;
}
