#include "app/art/pixel_art.h"

#include <gtest/gtest.h>

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
                ADD_FAILURE() << "cell " << x << "/" << y << " is " << std::hex << image.pixel(x, y)
                              << ", expected " << expected[y][x];
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
    const int staircase[][2] = {{5, 11}, {6, 10}, {7, 10}, {8, 9}, {9, 8}, {10, 8}, {11, 7},
                                {12, 6}, {13, 5}, {14, 5}, {15, 4}, {16, 3}, {17, 3}, {18, 2}};
    for (const auto& [x, y] : staircase)
        cells[y][x] = white;

    const QImage image = resizeGadget();
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    expectCells(image, cells);
}
