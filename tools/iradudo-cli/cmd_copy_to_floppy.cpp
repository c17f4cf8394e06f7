// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-cli [--floppy PATH] copy-to-floppy FILE: what "Copia su dischetto"
// does with a file, its failure message on standard error and exit status 1.
#include "cli.h"
#include "listed_file.h"

#include "floppy/floppy_copy.h"
#include "floppy/floppy_drive.h"

#include <ostream>

namespace iradudo::cli {
namespace {

int run(const Invocation& invocation)
{
    if (invocation.arguments.size() != 1) {
        invocation.err << "usage: copy-to-floppy FILE\n";
        return 2;
    }
    // Before the platform moves the working directory, which a relative path names from.
    const FloppyTarget floppy = resolveFloppy(invocation.floppy);
    const std::unique_ptr<LinuxPlatform> platform = makePlatform(invocation);
    const ListedPath path = listedPathOf(*platform, invocation.arguments.front());
    // A directory is no file: nothing is copied and nothing is said, as in the window.
    if (path.name.empty())
        return 0;
    platform->setCurrentDirectory(path.directory);
    if (const std::optional<FileEntry> entry = platform->findEntry(path.name); entry && entry->isDirectory())
        return 0;
    copyToFloppy(floppy, *platform, path.directory, path.name);
    return 0;
}

const CommandRegistration reg{{"copy-to-floppy",
    "copy-to-floppy FILE    copy FILE (a host or drive path) into the root of drive A: (see --floppy)", &run}};

}  // namespace
}  // namespace iradudo::cli
