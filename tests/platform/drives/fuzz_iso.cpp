// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the disc image reader: opens the input as an image and walks
// every directory it can reach breadth-first, looking each entry up by its name in other
// letter case and reading the files. The input is the image from its volume
// descriptors on (sector 16); the empty system area before them is added here,
// which keeps inputs small. An input starting with a raw sector's sync pattern
// is taken whole, as a bare .bin. Run it with scripts/fuzz.sh fuzz_iso MINUTES;
// finds go to data/fuzz-iso/.
#include "base/exception.h"
#include "platform/drives/iso_image.h"
#include "platform/io_error.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kSystemArea = 16 * 2048;
constexpr std::size_t kMaxDepth = 8;
constexpr std::size_t kMaxFileBytes = 1 << 20;
// Directories that list their own ancestors would make the walk exponential.
constexpr std::size_t kMaxListings = 64;

char flippedCase(char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Looks a listed entry up again, in its own and in flipped letter case, and
// reads it whole and at its end.
void visit(const iradudo::IsoImage& image, std::vector<std::string>& path, const iradudo::IsoEntry& entry)
{
    path.push_back(entry.name);
    std::optional<iradudo::IsoEntry> found;
    try {
        found = image.findEntry(path);
        std::string flipped = entry.name;
        for (char& c : flipped)
            c = flippedCase(c);
        path.back() = flipped;
        image.findEntry(path);
    } catch (const EInOutError&) {
    }
    path.pop_back();
    // What was listed is found again, though a repeated name finds its first.
    if (found && found->name != entry.name)
        std::abort();
    if (entry.directory)
        return;
    std::string bytes;
    const iradudo::WholeFileRead read = image.readFile(entry, kMaxFileBytes, bytes);
    if (read == iradudo::WholeFileRead::Complete && bytes.size() != entry.size)
        std::abort();
    char head[64];
    const std::size_t count = std::min<std::uint64_t>(sizeof head, entry.size);
    if (image.readAt(entry, entry.size - count, head, count) && read == iradudo::WholeFileRead::Complete
        && std::string_view(head, count) != std::string_view(bytes).substr(bytes.size() - count))
        std::abort();
}

// A breadth-first walk of the image; the depth bound stands for the user, who
// can enter a directory that leads back to its parent again and again.
void walk(const iradudo::IsoImage& image)
{
    std::vector<std::vector<std::string>> queue{{}};
    for (std::size_t next = 0; next < queue.size() && next < kMaxListings; ++next) {
        std::vector<std::string> path = queue[next];
        std::vector<iradudo::IsoEntry> entries;
        try {
            entries = image.listDirectory(path);
        } catch (const EInOutError&) {
            continue;
        }
        for (const iradudo::IsoEntry& entry : entries) {
            visit(image, path, entry);
            if (entry.directory && path.size() < kMaxDepth) {
                queue.push_back(path);
                queue.back().push_back(entry.name);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string_view kSync("\0\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\0", 12);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int fd = ::memfd_create("fuzz-iso", MFD_CLOEXEC);
    if (fd < 0)
        std::abort();
    const bool raw = bytes.starts_with(kSync);
    if ((!raw && ::ftruncate(fd, kSystemArea) != 0)
        || ::pwrite(fd, data, size, raw ? 0 : kSystemArea) != static_cast<ssize_t>(size))
        std::abort();
    try {
        const iradudo::IsoImage image("/proc/self/fd/" + std::to_string(fd));
        walk(image);
    } catch (const EFOpenError&) {
    }
    ::close(fd);
    return 0;
}
