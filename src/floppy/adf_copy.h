// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/listed_file.h"
#include "floppy/floppy_copy.h"

#include <string>

namespace iradudo {

class Platform;

// The description an Amiga file comment gets from the entry's companion
// ".readme" in directory (found as the browser finds it), in UTF-8; empty when
// there is none or it cannot be read.
std::string companionDescription(const Platform& platform, const std::string& directory, const std::string& name);

// copyToFloppy for an Amiga disk file as drive A:: the file goes into the root
// with utf8Comment (cut to the 79 Latin-1 characters a comment holds) as its
// comment. Throws EFloppyError with the message the user sees.
void copyToAmigaDisk(
    const FloppyTarget& target, ListedFile& source, const std::string& name, const std::string& utf8Comment);

}  // namespace iradudo
