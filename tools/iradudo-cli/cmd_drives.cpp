// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-cli [--cd DIR]... drives: the drive list as the browser builds it.
#include "cli.h"
#include "listed_file.h"

#include "base/text_encoding.h"
#include "browser/directory_source.h"
#include "floppy/floppy_drive.h"
#include "platform/linux_platform.h"

#include <ostream>

namespace iradudo::cli {
namespace {

int run(const Invocation& invocation)
{
    if (!invocation.arguments.empty()) {
        invocation.err << "usage: drives\n";
        return 2;
    }
    const auto platform = makePlatform(invocation);
    const DriveList drives(*platform);
    for (int i = 0; i < drives.count(); ++i) {
        const char letter = drives.letterAt(i);
        invocation.out << letter << '\t' << drives.driveTypeAt(i) << '\t' << escapeField(toDisplayUtf8(drives.entry(i)))
                       << '\t' << escapeField(toDisplayUtf8(platform->driveRoot(letter))) << '\n';
    }
    return 0;
}

const CommandRegistration reg{
    {"drives", "drives                 list the drives: letter, type, entry text, host root", &run}};

}  // namespace
}  // namespace iradudo::cli
