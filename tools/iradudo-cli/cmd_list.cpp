// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-cli [--floppy PATH] [--cd DIR]... list PATH [--info]: a directory as the browser lists it.
#include "cli.h"

#include "browser/directory_source.h"
#include "browser/listing.h"
#include "floppy/floppy_drive.h"
#include "platform/dos_path.h"
#include "platform/io_error.h"
#include "platform/linux_platform.h"
#include "platform/text_encoding.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ostream>
#include <string_view>

namespace iradudo::cli {
namespace {

// One record is one line of four tab-separated fields, whatever a name or
// comment holds: tabs, line ends and the backslash itself are written C-style.
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

    const auto platform = std::make_unique<LinuxPlatform>(
        withFloppyDrive(buildSystemDriveTable(invocation.discDirectories), resolveFloppy(invocation.floppy)));
    std::string dosPath = path;
    if (!hasDriveLetter(path)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved))
            throw EInOutError(windowsErrorFromErrno(errno));
        const std::optional<std::string> mapped = platform->dosPathForHostPath(resolved);
        if (!mapped)
            throw EInOutError(ErrorPathNotFound);
        dosPath = *mapped;
    }

    DirectorySource source(*platform);
    // The window opens a drive at its root first, then goes down.
    source.directoryList().setDirectory(dosPath.substr(0, 2) + "\\");
    source.directoryList().setDirectory(dosPath);
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
