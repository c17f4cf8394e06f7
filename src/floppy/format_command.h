// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace iradudo {

// The density kept in the tag of the density button: 0 at start.
enum class FormatDensity { DoubleDensity720 = 0, HighDensity144 = 1 };

enum class FormatKind { Normal, Quick };

// The density of the density button's tag: 0 is 720 kb, any other value 1,44 mb.
FormatDensity densityOfTag(int tag);

// The density button's caption, which names the Amiga models the density suits.
const char* densityCaption(FormatDensity density);

// The command line that "Formatta" (Normal) or "Formatta veloce" (Quick) hands
// to the platform for a drive such as "A:". The two programs' names differ in
// case, and the high-density form ends in a blank: both as DOS users knew them.
std::string formatCommandLine(FormatKind kind, const std::string& drive, FormatDensity density);

}  // namespace iradudo
