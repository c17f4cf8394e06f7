// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the Nero image reader: the input is the whole image, read
// through the same callback the reader uses on a file. An accepted track must
// lie inside the image's data. Run it with scripts/fuzz.sh fuzz_nrg MINUTES;
// finds go to data/fuzz-nrg/.
#include "platform/drives/nrg_image.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const iradudo::NrgReadAt readAt = [data, size](std::uint64_t offset, void* buffer, std::size_t count) {
        if (offset > size || count > size - offset)
            return false;
        std::memcpy(buffer, data + offset, count);
        return true;
    };
    try {
        const iradudo::NrgDataTrackPlace place = iradudo::locateNrgDataTrack(readAt, size);
        const std::uint64_t bytes = place.sectorCount * static_cast<std::uint64_t>(place.sectorBytes);
        if (place.sectorCount == 0 || place.byteOffset > size || bytes > size - place.byteOffset)
            std::abort();
    } catch (const iradudo::NrgImageError&) {
    }
    return 0;
}
