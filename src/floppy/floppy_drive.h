// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "floppy/floppy_copy.h"
#include "platform/drive_table.h"

#include <string>

namespace iradudo {

// Drive A: of one run, decided once (chooseFloppy): the path given with
// --floppy, else the machine's floppy drive (/dev/fd0, or a removable disk of
// 720 KB or 1.44 MB), else none. A mounted floppy is reached through its mount
// point.
FloppyTarget resolveFloppy(const std::string& floppyOption, const SystemPaths& paths = {});

// The drive table of the run with floppy as its A:: a removable drive with a
// root only when the floppy is mounted, else read through mtools; its label is
// the FAT volume label of the medium. No A: when there is no floppy.
DriveTable buildDriveTable(
    const std::vector<std::string>& discDirectories, const FloppyTarget& floppy, const SystemPaths& paths = {});

}  // namespace iradudo
