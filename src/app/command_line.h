// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace iradudo {

struct WindowOptions {
    std::vector<std::string> discDirectories;  // each becomes a CD-ROM drive
    std::string floppy;                        // --floppy PATH: drive A: (image file or block device)
    bool help = false;
    bool version = false;
    std::string error;  // non-empty: the arguments are unusable
};

// The window program's arguments: "--cd DIR" any number of times, as the
// command-line tool takes them, or a bare DIR; "--help"; "--version".
WindowOptions parseWindowOptions(const std::vector<std::string>& arguments);

inline constexpr const char* kWindowUsage
    = "usage: iradudo [--floppy PATH] [--cd DIR]... [DIR]...\n"
      "       iradudo --help | --version\n\n"
      "--cd DIR (or DIR alone) makes DIR a CD-ROM drive of its own, labelled with the directory's name;\n"
      "a disc image file (ISO 9660 .iso, .cue sheet with its .bin, Nero .nrg) is read in place.\n"
      "--floppy PATH makes PATH drive A: (a 720 KB or 1.44 MB floppy image file, or a floppy device).\n";

}  // namespace iradudo
