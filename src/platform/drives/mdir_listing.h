// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace iradudo {

// One entry of an mdir listing of a directory.
struct MdirEntry {
    std::string name;       // the long name, else the short one; UTF-8 as mdir shows it
    std::string shortName;  // the 8.3 name, "NAME.EXT"
    bool directory = false;
    std::int64_t size = 0;  // 0 for directories
};

struct MdirListing {
    std::string label;               // the volume label, trimmed; empty when the disk has none
    std::vector<MdirEntry> entries;  // "." and ".." left out
};

// Reads the output of "mdir -a a:/DIR/" as mtools 4 prints it: the entry lines,
// found by their size and date columns, with the long name after the time. Lines
// that do not have that shape (headers, totals, warnings) are passed over.
MdirListing parseMdirListing(const std::string& output);

}  // namespace iradudo
