// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/floppy_volume.h"

#include "base/file_handle.h"
#include "platform/drives/fat_volume.h"
#include "platform/io_error.h"

#include <fcntl.h>
#include <unistd.h>

namespace iradudo {

FloppyVolume readFloppyVolume(const std::string& deviceOrImage)
{
    FloppyVolume volume;
    const FileHandle medium(::open(deviceOrImage.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!medium.valid())
        throw EInOutError(ErrorNotReady);
    const off_t end = ::lseek(medium.fd(), 0, SEEK_END);
    volume.mediumBytes = end > 0 ? end : 0;
    try {
        const FatVolume fat(readFromDescriptor(medium.fd()), static_cast<std::uint64_t>(volume.mediumBytes));
        volume.fatBits = fat.fatBits();
        volume.bytesFree = fat.bytesFree();
        volume.label = fat.label();
        for (FatEntry& entry : fat.root())
            volume.root.push_back({std::move(entry.name), std::move(entry.shortName), entry.directory, entry.size});
    } catch (const FatError&) {
        throw EInOutError(ErrorNotReady);
    }
    return volume;
}

}  // namespace iradudo
