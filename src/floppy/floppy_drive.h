// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "floppy/floppy_copy.h"
#include "platform/drive_table.h"

#include <string>

namespace iradudo {

// Drive A: of one run: the path given with --floppy (made absolute, since the
// program changes its working directory as it browses), else a floppy drive
// found under sysBlock (/dev/fd0, or a removable disk of 720 KB or 1.44 MB
// capacity), else none. A mounted floppy is reached through its mount point.
FloppyTarget resolveFloppy(const std::string& floppyOption, const SystemPaths& paths = {});

// A floppy drive found on the machine: the device path under paths.dev, empty when none.
std::string findFloppyDevice(const SystemPaths& paths = {});

// The table with A: as a removable drive for the floppy (replacing an A: found
// before); the table unchanged when there is no floppy. A: has a root only when
// the floppy is mounted, else it is read through mtools; its label is the FAT
// volume label of an image.
DriveTable withFloppyDrive(const DriveTable& table, const FloppyTarget& floppy);

// The volume label of a FAT boot sector, trimmed; empty when none or unreadable.
std::string readFatVolumeLabel(const std::string& deviceOrImage);

}  // namespace iradudo
