// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/drives/data_track.h"

#include <string>
#include <unistd.h>
#include <utility>

namespace iradudo::test {

// The 2048 bytes of user data of one sector, found only through the track's
// description; empty when the file does not hold them.
inline std::string userData(const DataTrack& track, std::uint64_t sector)
{
    std::string bytes(2048, '\0');
    const std::uint64_t at = track.byteOffset + sector * static_cast<std::uint64_t>(track.sectorBytes)
        + static_cast<std::uint64_t>(track.userDataOffset);
    if (::pread(track.file.fd(), bytes.data(), bytes.size(), static_cast<off_t>(at)) != 2048)
        return {};
    if (track.swappedBytes)
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

// Every sector of the track up to count, joined.
inline std::string allUserData(const DataTrack& track, std::uint64_t count)
{
    std::string bytes;
    for (std::uint64_t sector = 0; sector < count; ++sector)
        bytes += userData(track, sector);
    return bytes;
}

}  // namespace iradudo::test
