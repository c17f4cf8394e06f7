// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/exception.h"
#include "base/listed_file.h"

#include <string>

namespace iradudo {

// A copy to the floppy that did not happen. The message (UTF-8, Italian) names
// the file and the cause; the floppy is as it was before.
class EFloppyError : public Exception {
public:
    using Exception::Exception;
};

// Drive A: as the copy reaches it.
struct FloppyTarget {
    std::string device;      // image file or block device; empty: no floppy drive at all
    std::string mountPoint;  // where the desktop mounted it; empty: reached through mtools
};

// True when a FAT long name can hold this name (UTF-8): no control characters,
// none of \ / : * ? " < > |, not only dots and blanks, at most 255 characters.
bool fatCanHoldName(const std::string& utf8Name);

class Platform;

// Copies an open file (read from its start) into the root of the floppy under
// name (bytes as on the disc; ISO-8859-1 names are converted to the UTF-8 long
// names FAT keeps). The new copy is written under a temporary name and only then
// takes the place of a file of that name, so a failure never loses the old file.
// An invalid handle is a file that could not be read. Throws EFloppyError.
void copyToFloppy(const FloppyTarget& target, ListedFile& source, const std::string& name);

// "Copia su dischetto" for a listed name: the file that name finds in directory
// (see Platform::openListedFile), opened through its drive and copied as above.
void copyToFloppy(
    const FloppyTarget& target, const Platform& platform, const std::string& directory, const std::string& name);

}  // namespace iradudo
