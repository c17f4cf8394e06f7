// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace iradudo {

// The disc option both executables take: "--cd DIR" or "--cd=DIR", any number
// of times; each DIR becomes a CD-ROM drive labelled with the directory's name.
enum class DiscOption {
    NotOne,            // the argument is something else
    Taken,             // DIR was appended; the index is at the option's last word
    MissingDirectory,  // "--cd" ends the arguments
};

inline constexpr const char* kMissingDiscDirectory = "--cd needs a directory";

DiscOption takeDiscOption(
    const std::vector<std::string>& arguments, std::size_t& index, std::vector<std::string>& discDirectories);

}  // namespace iradudo
