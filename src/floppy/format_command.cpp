// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/format_command.h"

namespace iradudo {

FormatDensity densityOfTag(int tag)
{
    return tag == 0 ? FormatDensity::DoubleDensity720 : FormatDensity::HighDensity144;
}

const char* densityCaption(FormatDensity density)
{
    return density == FormatDensity::DoubleDensity720 ? "720 kb (per Amiga 500-2000-600-1200-3000)"
                                                      : "1,44 mb (per Amiga 4000 e drive HD)";
}

std::string formatCommandLine(FormatKind kind, const std::string& drive, FormatDensity density)
{
    std::string line = kind == FormatKind::Normal ? "Format.com " : "format.com /Q ";
    line += drive;
    line += density == FormatDensity::DoubleDensity720 ? " /F:720" : " ";
    return line;
}

}  // namespace iradudo
