// SPDX-License-Identifier: GPL-3.0-or-later
// Read through mdir until the floppy is read in process.
#include "platform/floppy_volume.h"

#include "base/file_handle.h"
#include "platform/drives/mdir_listing.h"
#include "platform/io_error.h"
#include "platform/mtools.h"

#include <fcntl.h>
#include <unistd.h>

namespace iradudo {

FloppyVolume readFloppyVolume(const std::string& deviceOrImage)
{
    FloppyVolume volume;
    {
        const FileHandle medium(::open(deviceOrImage.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!medium.valid())
            throw EInOutError(ErrorNotReady);
        volume.mediumBytes = ::lseek(medium.fd(), 0, SEEK_END);
    }
    const MtoolsDrive drive(deviceOrImage);
    const ProgramResult listing = drive.run("mdir", {"-a", "a:/"});
    if (listing.exitCode != 0)
        throw EInOutError(ErrorNotReady);
    const MdirListing parsed = parseMdirListing(listing.output);
    volume.label = parsed.label;
    volume.bytesFree = parseMdirOutput(listing.output).bytesFree;
    for (const MdirEntry& entry : parsed.entries)
        volume.root.push_back({entry.name, entry.shortName, entry.directory, entry.size});
    return volume;
}

}  // namespace iradudo
