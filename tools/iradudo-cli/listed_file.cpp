// SPDX-License-Identifier: GPL-3.0-or-later
#include "listed_file.h"

#include "floppy/floppy_drive.h"
#include "platform/dos_path.h"

#include <climits>
#include <cstdlib>

namespace iradudo::cli {

std::unique_ptr<LinuxPlatform> makePlatform(const Invocation& invocation)
{
    return std::make_unique<LinuxPlatform>(
        buildDriveTable(invocation.discDirectories, resolveFloppy(invocation.floppy)));
}

ListedPath listedPathOf(const LinuxPlatform& platform, const std::string& argument)
{
    if (hasDriveLetter(argument)) {
        const std::size_t separator = argument.find_last_of("\\/");
        if (separator == std::string::npos || separator < 2)
            return {argument.substr(0, 2), argument.substr(2)};
        // The root keeps its separator: "D:\" is the root, "D:" the drive's current directory.
        return {argument.substr(0, separator == 2 ? 3 : separator), argument.substr(separator + 1)};
    }
    const std::size_t slash = argument.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : argument.substr(0, slash + 1);
    char resolved[PATH_MAX];
    std::optional<std::string> directory;
    if (::realpath(folder.c_str(), resolved))
        directory = platform.dosPathForHostPath(resolved);
    if (!directory)
        throw EFOpenError(argument);
    return {*directory, slash == std::string::npos ? argument : argument.substr(slash + 1)};
}

ListedFile openListedArgument(const LinuxPlatform& platform, const std::string& argument)
{
    const ListedPath path = listedPathOf(platform, argument);
    if (path.name.empty())
        throw EFOpenError(argument);
    try {
        return platform.openListedFile(path.directory, path.name);
    } catch (const EFOpenError&) {
        throw EFOpenError(argument);
    }
}

}  // namespace iradudo::cli
