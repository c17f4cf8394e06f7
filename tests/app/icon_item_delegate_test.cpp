// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/icon_item_delegate.h"
#include "app/program_fonts.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

using namespace iradudo;

TEST(WrapCaption, ShortCaptionsStayOnOneLine)
{
    EXPECT_EQ(wrapCaption(QStringLiteral("[Giochi]"), windowFont(), 72, 2), QStringList{QStringLiteral("[Giochi]")});
}

TEST(WrapCaption, LongNamesBreakInsideWordsAndElideAfterTheLastLine)
{
    const QFont font = windowFont();
    const QFontMetrics metrics(font);
    const QString name = QStringLiteral("A_very_long_file_name_without_any_blank_at_all.readme");
    const QStringList two = wrapCaption(name, font, 72, 2);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(name.startsWith(two[0]));
    EXPECT_TRUE(two[1].endsWith(QChar(0x2026)));
    for (const QString& line : two)
        EXPECT_LE(metrics.horizontalAdvance(line), 72) << line.toStdString();

    const QStringList one = wrapCaption(name, font, 72, 1);
    ASSERT_EQ(one.size(), 1);
    EXPECT_TRUE(one[0].endsWith(QChar(0x2026)));
}

TEST(WrapCaption, TwoLinesThatFitAreNotElided)
{
    const QStringList lines = wrapCaption(QStringLiteral("Note_Amiga.txt"), windowFont(), 60, 2);
    EXPECT_EQ(lines.join(QString()), QStringLiteral("Note_Amiga.txt"));
}
