// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace iradudo {

// Makes the font names of the program's layout ("Tahoma", "FixedSys", "Verdana",
// "Arial", "Times New Roman") resolve to installed fonts. Loads Tahoma and
// Fixedsys from Debian's fonts-wine folder, which fontconfig does not scan, file
// by file (adding the folder would take over other family names), and maps the
// other names to their metric stand-ins. Needs a QGuiApplication; safe to call
// more than once.
void installProgramFonts();

// The window's own font: "Tahoma", 11 pixels high.
QFont windowFont();

// The text viewer's font for plain text: "FixedSys", 11 pixels high, or a
// fixed-pitch stand-in of that size when the font is not installed.
QFont fixedSysFont();

}  // namespace iradudo
