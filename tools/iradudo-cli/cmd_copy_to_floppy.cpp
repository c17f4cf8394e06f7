// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-cli [--floppy PATH] copy-to-floppy FILE: what "Copia su dischetto"
// does with a file, its failure message on standard error and exit status 1.
#include "cli.h"

#include "floppy/floppy_copy.h"
#include "floppy/floppy_drive.h"

#include <ostream>
#include <sys/stat.h>

namespace iradudo::cli {
namespace {

int run(const Invocation& invocation)
{
    if (invocation.arguments.size() != 1) {
        invocation.err << "usage: copy-to-floppy FILE\n";
        return 2;
    }
    const std::string& path = invocation.arguments.front();
    // A directory is no file: nothing is copied and nothing is said, as in the window.
    struct stat info { };
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return 0;
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    copyToFloppy(resolveFloppy(invocation.floppy), path, name);
    return 0;
}

const CommandRegistration reg{
    {"copy-to-floppy", "copy-to-floppy FILE    copy FILE into the root of drive A: (see --floppy)", &run}};

}  // namespace
}  // namespace iradudo::cli
