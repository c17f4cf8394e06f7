// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "floppy/format_floppy.h"

#include <iosfwd>
#include <string>

namespace iradudo {

// The volume name a disk formatted by the program gets.
inline constexpr const char* kAmigaBlankVolumeName = "Vuoto";

// The format program's work on an Amiga disk file as drive A:: a blank disk of
// 880 KB (/F:720, the original file system, which every Amiga reads) or 1.76 MB
// (the Fast File System: high-density drives came with the systems that have
// it). A normal format creates a missing image or rewrites one of either size;
// a quick one (/Q) wants an image of the size asked for. Returns the refusal
// (Italian, UTF-8) or an empty string once the disk is formatted.
std::string formatAmigaDiskImage(const FormatOptions& options, const std::string& image, std::ostream& out);

}  // namespace iradudo
