// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/art/pixel_art.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace iradudo::art;

namespace {

constexpr QRgb blue = 0xFF608FBF;
constexpr QRgb black = 0xFF000000;
constexpr QRgb white = 0xFFFFFFFF;

// Compares an image with a grid of expected colours, cell by cell, and names the
// first few cells that differ.
void expectCells(const QImage& image, const std::vector<std::vector<QRgb>>& expected)
{
    ASSERT_EQ(image.height(), static_cast<int>(expected.size()));
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y) {
        ASSERT_EQ(image.width(), static_cast<int>(expected[y].size()));
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != expected[y][x] && ++wrong <= 5)
                ADD_FAILURE() << "cell " << x << "/" << y << " is " << std::hex << image.pixel(x, y) << ", expected "
                              << expected[y][x];
        }
    }
    EXPECT_EQ(wrong, 0);
}

std::vector<std::vector<QRgb>> filled(int w, int h, QRgb c)
{
    return std::vector<std::vector<QRgb>>(h, std::vector<QRgb>(w, c));
}

}  // namespace

TEST(Gadgets, CloseGadgetMatchesItsCells)
{
    auto cells = filled(25, 16, blue);
    for (int y = 0; y < 16; ++y) {
        cells[y][23] = black;
        cells[y][24] = white;
    }
    // Square outline: top row and left column black, right column and bottom row white.
    for (int x = 7; x <= 15; ++x)
        cells[4][x] = black;
    for (int y = 4; y <= 11; ++y)
        cells[y][7] = black;
    for (int y = 5; y <= 11; ++y)
        cells[y][15] = white;
    for (int x = 8; x <= 15; ++x)
        cells[11][x] = white;

    const QImage image = closeGadget();
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    expectCells(image, cells);
}

TEST(Gadgets, ResizeGadgetMatchesItsCells)
{
    auto cells = filled(25, 16, blue);
    for (int y = 0; y < 16; ++y) {
        cells[y][0] = black;
        cells[y][1] = white;
    }
    for (int y = 2; y <= 12; ++y)
        cells[y][19] = black;
    for (int x = 5; x <= 19; ++x)
        cells[12][x] = black;
    const int staircase[][2] = {{5, 11}, {6, 10}, {7, 10}, {8, 9}, {9, 8}, {10, 8}, {11, 7}, {12, 6}, {13, 5}, {14, 5},
        {15, 4}, {16, 3}, {17, 3}, {18, 2}};
    for (const auto& [x, y] : staircase)
        cells[y][x] = white;

    const QImage image = resizeGadget();
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    expectCells(image, cells);
}

namespace {

constexpr QRgb silver = 0xFFC0C0C0;
// The long stroke's colours run from green over yellow to red: full red or full
// green, no blue. Returns its position on that scale, 0 green to 2 red, or -1.
double greenToRedPosition(QRgb c)
{
    if (qBlue(c) != 0)
        return -1;
    if (qGreen(c) == 255 && qRed(c) <= 255)
        return qRed(c) / 255.0;
    if (qRed(c) == 255)
        return 2.0 - qGreen(c) / 255.0;
    return -1;
}

}  // namespace

TEST(Gadgets, DepthGadgetIsAColouredCheckMarkOnSilver)
{
    const QImage image = depthGadget();
    ASSERT_EQ(image.size(), QSize(46, 44));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    // The caller keys transparency on the bottom-left pixel.
    EXPECT_EQ(image.pixel(0, 43), silver);

    int blueCount = 0;
    int blueRight = 0;
    int whiteCount = 0;
    int strokeCount = 0;
    double lowestPosition = 3;  // colour position of the stroke's lowest pixel row
    double highestPosition = -1;
    int lowestY = -1;
    int highestY = 44;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c == silver)
                continue;
            if (c == 0xFF0000FF) {
                ++blueCount;
                blueRight = std::max(blueRight, x);
                continue;
            }
            if (c == white) {
                ++whiteCount;
                continue;
            }
            const double position = greenToRedPosition(c);
            ASSERT_GE(position, 0) << "unexpected colour " << std::hex << c << " at " << std::dec << x << "/" << y;
            ++strokeCount;
            if (y > lowestY)
                lowestY = y, lowestPosition = position;
            if (y < highestY)
                highestY = y, highestPosition = position;
        }
    }
    // The blue stroke is the short one, on the left; the long one is larger and rises high.
    EXPECT_GT(blueCount, 40);
    EXPECT_LT(blueRight, 23);
    EXPECT_GT(strokeCount, 2 * blueCount);
    EXPECT_LT(highestY, 8);
    EXPECT_GT(lowestY, 36);
    EXPECT_LT(lowestPosition, 0.5) << "the bottom of the long stroke is green";
    EXPECT_GT(highestPosition, 1.5) << "the top of the long stroke is red";
    // A thin white line along each stroke: some pixels, but no more than two strokes' lengths.
    EXPECT_GT(whiteCount, 20);
    EXPECT_LT(whiteCount, 60);

    // Red grows upwards: the mean colour position of each row falls as the row goes down.
    double previous = 3;
    for (int y = highestY; y <= lowestY; y += 4) {
        double sum = 0;
        int n = 0;
        for (int x = 0; x < image.width(); ++x) {
            const double p = greenToRedPosition(image.pixel(x, y));
            if (p >= 0)
                sum += p, ++n;
        }
        if (n == 0)
            continue;
        EXPECT_LE(sum / n, previous + 0.05) << "row " << y;
        previous = sum / n;
    }
}

TEST(Gadgets, ScaledDepthGadgetHasNoSilverFringe)
{
    for (QSize size : {QSize(25, 15), QSize(25, 17)}) {
        const QImage image = transparentScaled(depthGadget(), size);
        ASSERT_EQ(image.size(), size);
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        EXPECT_EQ(qAlpha(image.pixel(0, size.height() - 1)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size.width() - 1, size.height() - 1)), 0);
        int blue = 0;
        int red = 0;
        int partial = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                partial += qAlpha(c) > 0 && qAlpha(c) < 255;
                if (qAlpha(c) < 128)
                    continue;
                // Edges fade into transparency, not into the background grey.
                const int dr = qRed(c) - 0xC0, dg = qGreen(c) - 0xC0, db = qBlue(c) - 0xC0;
                EXPECT_GT(dr * dr + dg * dg + db * db, 60 * 60) << x << "/" << y << " " << std::hex << c;
                blue += qBlue(c) > 200 && qRed(c) < 80 && x < size.width() / 2;
                red += qRed(c) > 200 && qGreen(c) < 120 && qBlue(c) < 80 && y < size.height() / 3;
            }
        EXPECT_GT(blue, 3);
        EXPECT_GT(red, 2);
        EXPECT_GT(partial, 10) << "smooth edges";
    }
    EXPECT_TRUE(transparentScaled(QImage(), QSize(4, 4)).isNull());
}

TEST(Gadgets, CycleGadgetIsTransparentAroundItsSymbol)
{
    const QImage image = cycleGadget();
    ASSERT_EQ(image.size(), QSize(16, 17));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(image.pixel(x, y));
            ASSERT_TRUE(a == 0 || a == 255);
            opaque += a == 255;
        }
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(0, 16)), 0);
    EXPECT_GT(opaque, 40);
    EXPECT_LT(opaque, 16 * 17 / 2);
}

TEST(Icons, DiscAndTypeIconsAre37SquareOnSilver)
{
    std::vector<QImage> icons{compactDisc()};
    for (int i = 0; i < typeIconCount; ++i)
        icons.push_back(typeIcon(i));
    for (size_t i = 0; i < icons.size(); ++i) {
        const QImage& icon = icons[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(icon.size(), QSize(37, 37));
        EXPECT_EQ(icon.format(), QImage::Format_RGB32);
        for (QPoint corner : {QPoint(0, 0), QPoint(36, 0), QPoint(0, 36), QPoint(36, 36)})
            EXPECT_EQ(icon.pixel(corner), silver);
        // A drawing, not an empty square: plenty of pixels differ from the background.
        int drawn = 0;
        for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 37; ++x)
                drawn += icon.pixel(x, y) != silver;
        EXPECT_GT(drawn, 37 * 37 / 3);
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(icon, icons[j]) << "same picture as " << j;
    }
    EXPECT_TRUE(typeIcon(-1).isNull());
    EXPECT_TRUE(typeIcon(typeIconCount).isNull());
}

TEST(Icons, DiscHasAHoleShowingTheBackground)
{
    const QImage disc = compactDisc();
    EXPECT_EQ(disc.pixel(18, 18), silver);
    EXPECT_NE(disc.pixel(18, 9), silver);
    EXPECT_NE(disc.pixel(9, 18), silver);
}

namespace {

std::vector<std::pair<const char*, QImage>> allGlyphs()
{
    std::vector<std::pair<const char*, QImage>> result{
        {"ParentFolder", glyph(Glyph::ParentFolder)},
        {"RootDrive", glyph(Glyph::RootDrive)},
        {"CopyToFloppy", glyph(Glyph::CopyToFloppy)},
        {"CopyToFloppyDisabled", glyph(Glyph::CopyToFloppyDisabled)},
        {"ShowText", glyph(Glyph::ShowText)},
        {"ShowPicture", glyph(Glyph::ShowPicture)},
        {"Launch", glyph(Glyph::Launch)},
        {"LaunchDisabled", glyph(Glyph::LaunchDisabled)},
        {"CopyText", glyph(Glyph::CopyText)},
        {"Print", glyph(Glyph::Print)},
    };
    for (int i = 0; i < toolImageCount; ++i)
        result.emplace_back("toolImage", toolImage(i));
    return result;
}

}  // namespace

TEST(Glyphs, Are16SquareWithATransparentBackground)
{
    for (const auto& [name, image] : allGlyphs()) {
        SCOPED_TRACE(name);
        ASSERT_EQ(image.size(), QSize(16, 16));
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        int transparent = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const int a = qAlpha(image.pixel(x, y));
                ASSERT_TRUE(a == 0 || a == 255) << x << "/" << y;
                transparent += a == 0;
            }
        // Some background shows (a floppy disk fills nearly all of its square), and there is a picture too.
        EXPECT_GE(transparent, 2);
        EXPECT_LT(transparent, 16 * 16 * 3 / 4);
    }
    EXPECT_TRUE(toolImage(-1).isNull());
    EXPECT_TRUE(toolImage(toolImageCount).isNull());
}

TEST(Glyphs, DisabledGlyphsAreGreyVersionsOfTheirPictures)
{
    const std::pair<Glyph, Glyph> pairs[]
        = {{Glyph::CopyToFloppy, Glyph::CopyToFloppyDisabled}, {Glyph::Launch, Glyph::LaunchDisabled}};
    for (const auto& [normalGlyph, disabledGlyph] : pairs) {
        const QImage normal = glyph(normalGlyph);
        const QImage disabled = glyph(disabledGlyph);
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb c = disabled.pixel(x, y);
                if (qAlpha(c) == 0)
                    continue;
                ++opaque;
                EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << x << "/" << y;
                // The grey picture keeps the outline: each of its pixels lies on or next to the original.
                bool near = false;
                for (int dy = -1; dy <= 0; ++dy)
                    for (int dx = -1; dx <= 0; ++dx)
                        near |= x + dx >= 0 && y + dy >= 0 && qAlpha(normal.pixel(x + dx, y + dy)) == 255;
                EXPECT_TRUE(near) << x << "/" << y;
            }
        EXPECT_GT(opaque, 30);
    }
}

TEST(Glyphs, CopyToFloppyShowsARedArrow)
{
    const QImage image = glyph(Glyph::CopyToFloppy);
    int red = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            red += image.pixel(x, y) == 0xFFFF0000;
    EXPECT_GT(red, 10);
    const QImage arrowRight = toolImage(4);
    red = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 8; x < 16; ++x)
            red += arrowRight.pixel(x, y) == 0xFFFF0000;
    EXPECT_GT(red, 10) << "the page's arrow points right";
}
