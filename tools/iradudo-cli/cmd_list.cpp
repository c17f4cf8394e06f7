// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-cli [--floppy PATH] [--cd DIR]... list PATH [--info]: a directory as the browser lists it.
#include "cli.h"
#include "listed_file.h"

#include "base/text_encoding.h"
#include "browser/directory_source.h"
#include "browser/listing.h"
#include "floppy/floppy_drive.h"
#include "platform/dos_path.h"
#include "platform/io_error.h"
#include "platform/linux_platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ostream>
#include <string_view>

namespace iradudo::cli {
namespace {

int run(const Invocation& invocation)
{
    std::string path;
    bool showInfo = false;
    for (const std::string& argument : invocation.arguments) {
        if (argument == "--info") {
            showInfo = true;
        } else if (path.empty()) {
            path = argument;
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty()) {
        invocation.err << "usage: list PATH [--info]\n";
        return 2;
    }

    const auto platform = makePlatform(invocation);
    char drive = driveLetterOf(path);
    std::vector<std::string> drawers;
    if (drive != 0) {
        drawers = splitDosPath(std::string_view(path).substr(2));
    } else {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved))
            throw EInOutError(windowsErrorFromErrno(errno));
        const std::optional<std::string> mapped = platform->dosPathForHostPath(resolved);
        if (!mapped)
            throw EInOutError(ErrorPathNotFound);
        // The host names below the drive's root, each one name whatever it holds.
        drive = driveLetterOf(*mapped);
        const std::string_view below = std::string_view(resolved).substr(platform->driveRoot(drive).size());
        for (std::size_t start = 0; start < below.size();) {
            const std::size_t end = std::min(below.find('/', start), below.size());
            if (end > start)
                drawers.emplace_back(below.substr(start, end - start));
            start = end + 1;
        }
    }

    DirectorySource source(*platform);
    // The window opens a drive at its root first, then goes down one drawer at a
    // time as a double-click does, so "*" or "C:X" is a drawer's name, not a pattern
    // or another drive, and a drawer that cannot be entered is an error.
    source.directoryList().setDirectory(std::string{drive, ':', '\\'});
    for (const std::string& drawer : drawers)
        source.directoryList().setDirectory("[" + drawer + "]");
    const Listing listing = buildListing(source.fileList(), *platform, showInfo);
    for (const ListingItem& item : listing.items) {
        invocation.out << item.imageIndex << '\t' << escapeField(toDisplayUtf8(item.caption)) << '\t'
                       << (item.size ? std::to_string(*item.size) : std::string()) << '\t' << escapeField(item.comment)
                       << '\n';
    }
    invocation.out << listing.statusText() << '\n';
    return 0;
}

const CommandRegistration reg{
    {"list", "list PATH [--info]     list a directory (host or drive path) as the browser shows it", &run}};

}  // namespace
}  // namespace iradudo::cli
