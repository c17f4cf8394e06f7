// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/format_command.h"

namespace iradudo {

std::string formatCommandLine(FormatKind kind, const std::string& drive, FormatDensity density)
{
    std::string line = kind == FormatKind::Normal ? "Format.com " : "format.com /Q ";
    line += drive;
    line += density == FormatDensity::DoubleDensity720 ? " /F:720" : " ";
    return line;
}

}  // namespace iradudo
