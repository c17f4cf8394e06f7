// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/drive_table.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace iradudo {

// The format program's arguments: the DOS switches of the format command lines
// ("A:", "/Q", "/F:720") and the program's own "--floppy PATH", "--yes" and "--hold".
struct FormatOptions {
    std::string drive;     // "A:"
    bool quick = false;    // /Q: a new file system on the disk's existing format
    int kilobytes = 1440;  // /F:720 -> 720
    std::string floppy;    // --floppy PATH
    bool yes = false;      // --yes: no questions (scripts and tests)
    bool hold = false;     // --hold: in a terminal of its own, which closes when the program ends
    bool help = false;
    std::string error;  // non-empty: unusable arguments
};

FormatOptions parseFormatArguments(const std::vector<std::string>& arguments);

inline constexpr const char* kFormatUsage
    = "usage: iradudo-format [--floppy PERCORSO] [--yes] [--hold] A: [/Q] [/F:720]\n\n"
      "Formatta il dischetto nell'unit\xC3\xA0 A: per un Amiga che legge i dischetti PC (FAT12):\n"
      "  /F:720   720 KB (doppia densit\xC3\xA0); senza, 1,44 MB (alta densit\xC3\xA0)\n"
      "  /Q       formattazione veloce: solo un nuovo file system sul dischetto gi\xC3\xA0 formattato\n"
      "  --floppy PERCORSO  l'unit\xC3\xA0 A: \xC3\xA8 questo file immagine (.img/.ima) o dispositivo;\n"
      "                     con .adf, un disco Amiga (880 KB OFS con /F:720, altrimenti 1,76 MB FFS)\n"
      "  --yes    nessuna domanda (per gli script)\n"
      "  --hold   attende INVIO prima di chiudere il terminale in cui gira da solo\n";

// The low-level format of a real floppy drive: fdutils' superformat for a
// controller drive (/dev/fd0, /dev/fd1), ufiformat for a USB floppy drive.
std::vector<std::string> lowLevelFormatArguments(const std::string& device, int kilobytes);

// With --hold (and without --yes): asks for Enter, so that a message stays on
// screen before the program's terminal closes. A closed input ends the wait.
void holdBeforeClosing(const FormatOptions& options, std::istream& in, std::ostream& out);

// Formats the floppy of drive A: as the options say, talking to the user through
// in and out, once or as many times as the user asks. Returns the exit status:
// 0 when every format asked for was done, 1 when one was refused or failed.
int runFormat(const FormatOptions& options, std::istream& in, std::ostream& out, const SystemPaths& paths = {});

}  // namespace iradudo
