// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the cue sheet parser: parses the input as a sheet and, when
// it is accepted, places its data track and the name of that track's file.
// Run it with scripts/fuzz.sh fuzz_cue MINUTES; finds go to data/fuzz-cue/.
#include "platform/drives/cue_sheet.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const iradudo::CueSheet sheet = iradudo::parseCueSheet(text);
        for (const iradudo::CueTrack& track : sheet.tracks)
            if (track.file >= sheet.files.size() || track.number < 1 || track.number > 99)
                std::abort();
        const iradudo::CueDataTrackPlace place = iradudo::locateCueDataTrack(sheet);
        if (place.file >= sheet.files.size() || (place.sectorCount && *place.sectorCount == 0))
            std::abort();
        const auto name = iradudo::cueFileNameInFolder(sheet.files[place.file].name);
        if (name
            && (name->starts_with('/') || *name == ".." || name->starts_with("../")
                || name->find("/../") != std::string::npos || name->ends_with("/..")))
            std::abort();
    } catch (const iradudo::CueSheetError&) {
    }
    return 0;
}
