// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the FAT reader: takes the input as a whole medium held in
// memory, reads its label and free space, walks every directory breadth-first
// within a budget, looks each entry up by its name in other letter case and by
// its 8.3 name, and reads every file. Run it with scripts/fuzz.sh fuzz_fat
// MINUTES; finds go to data/fuzz-fat/.
#include "platform/drives/fat_volume.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

// Directories that hold their own ancestors would make the walk endless.
constexpr int kMaxListings = 64;
constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string flippedCase(std::string name)
{
    for (char& c : name) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

void check(const std::vector<iradudo::FatEntry>& entries)
{
    for (const iradudo::FatEntry& entry : entries) {
        // A name finds nothing or an entry that answers to it.
        for (const std::string& name : {entry.name, flippedCase(entry.name), entry.shortName}) {
            const std::optional<std::size_t> found = iradudo::findFatName(entries, name);
            if (found && *found >= entries.size())
                std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto readAt = [data, size](std::uint64_t offset, void* buffer, std::size_t count) {
        if (offset > size || count > size - offset)
            return false;
        std::memcpy(buffer, data + offset, count);
        return true;
    };
    try {
        const iradudo::FatVolume volume(readAt, size);
        volume.bytesFree();
        volume.label();
        std::deque<iradudo::FatEntry> pending;
        int listings = 0;
        std::vector<iradudo::FatEntry> entries = volume.root();
        for (;;) {
            check(entries);
            for (const iradudo::FatEntry& entry : entries) {
                if (entry.directory) {
                    pending.push_back(entry);
                    continue;
                }
                std::string bytes;
                if (volume.read(entry, kMaxFileBytes, bytes) && bytes.size() != entry.size)
                    std::abort();
            }
            if (pending.empty() || ++listings > kMaxListings)
                break;
            const iradudo::FatEntry next = pending.front();
            pending.pop_front();
            try {
                entries = volume.list(next);
            } catch (const iradudo::FatError&) {
                entries.clear();
            }
        }
    } catch (const iradudo::FatError&) {
    }
    return 0;
}
