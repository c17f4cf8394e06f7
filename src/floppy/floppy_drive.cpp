// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_drive.h"

#include "platform/system_scan.h"

namespace iradudo {

FloppyTarget resolveFloppy(const std::string& floppyOption, const SystemPaths& paths)
{
    const FloppyChoice choice = chooseFloppy(floppyOption, SystemScan(paths));
    return FloppyTarget{choice.device, choice.mountPoint};
}

DriveTable buildDriveTable(
    const std::vector<std::string>& discDirectories, const FloppyTarget& floppy, const SystemPaths& paths)
{
    return buildSystemDriveTable(discDirectories, FloppyChoice{floppy.device, floppy.mountPoint}, paths);
}

}  // namespace iradudo
