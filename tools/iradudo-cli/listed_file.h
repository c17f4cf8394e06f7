// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli.h"

#include "base/listed_file.h"
#include "platform/linux_platform.h"

#include <memory>
#include <string>
#include <string_view>

namespace iradudo::cli {

// A FILE argument as the window would find it: the directory it is listed in
// (an absolute DOS path) and its name there.
struct ListedPath {
    std::string directory;
    std::string name;
};

// The drives of the window: the system's, the --cd discs and the --floppy drive A:.
// A --cd that gets no drive, or a --floppy that is no file or device, is named on
// the error stream and left out; the command goes on without it.
std::unique_ptr<LinuxPlatform> makePlatform(const Invocation& invocation);

// Whether makePlatform has left out a --cd or --floppy argument in this run: the
// run then ends with status 2 even when the command itself succeeded.
bool argumentRefused();

// A field of a tab-separated record: tabs, line ends and the backslash itself
// written C-style, so whatever a name or label holds, one record stays one line.
std::string escapeField(std::string_view text);

// A drive path (D:\Testi\Leggimi.txt) splits at its last separator; a host path
// becomes the DOS path of its folder on the drive that holds it, with its own last
// name, whatever that holds. Throws EFOpenError with the argument as given when
// it names no folder on a drive.
ListedPath listedPathOf(const LinuxPlatform& platform, const std::string& argument);

// The file opened through its drive (Platform::openListedFile); throws EFOpenError
// with the argument as given.
ListedFile openListedArgument(const LinuxPlatform& platform, const std::string& argument);

}  // namespace iradudo::cli
