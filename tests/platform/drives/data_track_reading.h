// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/exception.h"
#include "platform/drives/data_track.h"
#include "support/non_regular_files.h"

#include <functional>
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

// Opens a track on a thread of its own, so a blocking open fails the test: ""
// when it opened and every sector reads back as iso's, else what went wrong.
// countRequired: the track must say how many sectors it holds.
inline std::string openAndCompareTrack(
    const std::function<DataTrack()>& open, const std::string& iso, bool countRequired)
{
    // A blocked open outlives this call on its thread: it holds its own copy of open.
    const std::optional<std::string> result
        = resultWithin(kBlockingLimit, [open, &iso, countRequired]() -> std::string {
              try {
                  const DataTrack track = open();
                  const std::uint64_t sectors = iso.size() / 2048;
                  if ((countRequired || track.sectorCount) && track.sectorCount != sectors)
                      return "sector count " + std::to_string(track.sectorCount.value_or(0));
                  if (!userData(track, 16).starts_with("\x01"
                                                       "CD001"))
                      return "no volume descriptor in sector 16";
                  return allUserData(track, sectors) == iso ? "" : "the sectors differ from the image";
              } catch (const EFOpenError& e) {
                  return e.what();
              }
          });
    return result.value_or("blocked");
}

}  // namespace iradudo::test
