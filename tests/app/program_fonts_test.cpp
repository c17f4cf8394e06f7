// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program_fonts.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

using namespace iradudo;

TEST(ProgramFonts, LayoutNamesResolveToInstalledFonts)
{
    installProgramFonts();
    installProgramFonts();  // a second call must not add the files twice or fail

    const QFontInfo window(windowFont());
    EXPECT_EQ(window.pixelSize(), 11);
    EXPECT_TRUE(window.family() == "Tahoma" || window.family() == "DejaVu Sans") << window.family().toStdString();

    const QFont fixed = fixedSysFont();
    const QFontMetrics metrics(fixed);
    // Fixed pitch: narrow and wide letters take the same advance.
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    // Fixedsys is a raster font with one 15-pixel strike, as on the system it comes
    // from, so a request for 11 pixels gets 15; a scalable stand-in gets 11.
    const int size = QFontInfo(fixed).pixelSize();
    EXPECT_TRUE(size == 11 || (size == 15 && QFontInfo(fixed).family() == "Fixedsys")) << size;
}
