// SPDX-License-Identifier: GPL-3.0-or-later
#include "listed_file.h"

#include "floppy/floppy_drive.h"
#include "platform/dos_path.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <sys/stat.h>

namespace iradudo::cli {

namespace {

bool refused = false;

}  // namespace

std::unique_ptr<LinuxPlatform> makePlatform(const Invocation& invocation)
{
    // A FIFO, socket or folder given as the floppy would stall or confuse every
    // mtools call; a missing file stays drive A: without a disk, as the window
    // shows it.
    FloppyTarget floppy;
    struct stat status { };
    if (!invocation.floppy.empty() && ::stat(invocation.floppy.c_str(), &status) == 0 && !S_ISREG(status.st_mode)
        && !S_ISBLK(status.st_mode)) {
        std::cerr << "iradudo-cli: " << invocation.floppy << ": not a floppy image or device\n";
        refused = true;
    } else {
        floppy = resolveFloppy(invocation.floppy);
    }
    auto platform = std::make_unique<LinuxPlatform>(buildDriveTable(invocation.discDirectories, floppy));
    // The drive table names each disc it leaves out, and why, itself.
    for (const std::string& directory : invocation.discDirectories) {
        char resolved[PATH_MAX];
        const std::string root = ::realpath(directory.c_str(), resolved) ? std::string(resolved) : directory;
        const auto& drives = platform->driveTable().drives();
        if (std::none_of(drives.begin(), drives.end(), [&](const Drive& drive) { return drive.root == root; }))
            refused = true;
    }
    return platform;
}

bool argumentRefused()
{
    return refused;
}

std::string escapeField(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
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
