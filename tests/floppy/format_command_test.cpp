// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/format_command.h"

#include <gtest/gtest.h>

using namespace iradudo;

TEST(FormatCommand, BuildsTheFourCommandLines)
{
    struct Case {
        FormatKind kind;
        FormatDensity density;
        const char* expected;
    };
    const Case cases[] = {
        {FormatKind::Normal, FormatDensity::DoubleDensity720, "Format.com A: /F:720"},
        {FormatKind::Normal, FormatDensity::HighDensity144, "Format.com A: "},
        {FormatKind::Quick, FormatDensity::DoubleDensity720, "format.com /Q A: /F:720"},
        {FormatKind::Quick, FormatDensity::HighDensity144, "format.com /Q A: "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatCommandLine(c.kind, "A:", c.density), c.expected);
}
