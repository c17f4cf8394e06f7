// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/amiga_window.h"
#include "app/art/pixel_art.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

using namespace iradudo;

namespace {

const QRgb kBlue = 0xFF608FBF;
const QRgb kWhite = 0xFFFFFFFF;
const QRgb kBlack = 0xFF000000;
const QRgb kGrey = 0xFFC0C0C0;

const AmigaWindowNames kNames{
    "Panel1", "Panel2", "Panel4", "Panel19", "Panel16", "Panel3", "Label2", "Image1", "Image3", "Image2"};

QImage grabFrame(FrameKind kind, int w, int h)
{
    AmigaWindow window(kind, QStringLiteral("  Finestra browser"), kNames,
        {art::closeGadget(), art::depthGadget(), art::resizeGadget()}, nullptr);
    window.setBounds({0, 0, w, h});
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct Size {
    int w;
    int h;
};

// Title bar, close and depth gadgets: the same for every kind of window.
void expectTitleBar(const QImage& img)
{
    const int w = img.width();
    for (int x : {0, 1, 26, w / 2, w - 2, w - 1})
        EXPECT_EQ(img.pixel(x, 0), kWhite) << "top line at " << x;
    for (int y = 1; y <= 15; ++y) {
        EXPECT_EQ(img.pixel(0, y), kWhite) << "left line at " << y;
        EXPECT_EQ(img.pixel(w - 1, y), kBlack) << "right line at " << y;
    }
    for (int x : {0, 5, w / 2, w - 1})
        EXPECT_EQ(img.pixel(x, 16), kBlack) << "line under the title at " << x;
    // The title label's blue above its caption and, on a wide window, beyond it.
    for (int x : {26, w / 2, w - 27})
        EXPECT_EQ(img.pixel(x, 1), kBlue) << "title label at " << x;
    if (w > 300) {
        EXPECT_EQ(img.pixel(w - 28, 8), kBlue);
    }
    bool caption = false;
    for (int x = 26; x < std::min(w - 27, 120); ++x)
        caption |= img.pixel(x, 8) == kBlack;
    EXPECT_TRUE(caption) << "no caption drawn";

    // Close gadget at (1, 1): divider at its columns 23 and 24, square outline.
    for (int y = 0; y < 15; ++y) {
        EXPECT_EQ(img.pixel(1 + 23, 1 + y), kBlack) << y;
        EXPECT_EQ(img.pixel(1 + 24, 1 + y), kWhite) << y;
    }
    for (int x = 7; x <= 15; ++x)
        EXPECT_EQ(img.pixel(1 + x, 1 + 4), kBlack) << "outline top " << x;
    for (int y = 4; y <= 11; ++y)
        EXPECT_EQ(img.pixel(1 + 7, 1 + y), kBlack) << "outline left " << y;
    for (int y = 5; y <= 11; ++y)
        EXPECT_EQ(img.pixel(1 + 15, 1 + y), kWhite) << "outline right " << y;
    for (int x = 8; x <= 15; ++x)
        EXPECT_EQ(img.pixel(1 + x, 1 + 11), kWhite) << "outline bottom " << x;
    EXPECT_EQ(img.pixel(1 + 11, 1 + 8), kBlue);
    EXPECT_EQ(img.pixel(1, 1), kBlue);
    EXPECT_EQ(img.pixel(1 + 22, 1 + 14), kBlue);

    // Depth gadget at (w - 26, 1): blue around the mark, coloured strokes.
    EXPECT_EQ(img.pixel(w - 26, 15), kBlue);
    EXPECT_EQ(img.pixel(w - 2, 1), kBlue);
    bool red = false, green = false, blueStroke = false;
    for (int y = 1; y <= 15; ++y)
        for (int x = w - 26; x <= w - 2; ++x) {
            const QColor c = QColor::fromRgb(img.pixel(x, y));
            red |= c.red() > 200 && c.green() < 80 && c.blue() < 80;
            green |= c.green() > 200 && c.red() < 80 && c.blue() < 80;
            blueStroke |= c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    // The picture library may still carry a blank placeholder for the mark.
    const QImage mark = art::depthGadget();
    bool blank = true;
    for (int y = 0; y < mark.height(); ++y)
        for (int x = 0; x < mark.width(); ++x)
            blank &= mark.pixel(x, y) == mark.pixel(0, 0);
    if (!blank) {
        EXPECT_TRUE(red && green && blueStroke) << "check mark strokes missing";
    }
}

void expectBottomBar(const QImage& img)
{
    const int w = img.width();
    const int h = img.height();
    for (int x : {0, w / 2, w - 1})
        EXPECT_EQ(img.pixel(x, h - 16), kWhite) << "line over the bottom bar at " << x;
    for (int y = h - 15; y <= h - 2; ++y) {
        EXPECT_EQ(img.pixel(0, y), kWhite) << y;
        EXPECT_EQ(img.pixel(w - 1, y), kBlack) << y;
    }
    for (int x : {0, w / 2, w - 26, w - 1})
        EXPECT_EQ(img.pixel(x, h - 1), kBlack) << "bottom line at " << x;
    EXPECT_EQ(img.pixel(w / 2, h - 8), kBlue);

    // Resize gadget at (w - 26, h - 15), its top 14 rows.
    const int gx = w - 26;
    const int gy = h - 15;
    for (int y = 0; y < 14; ++y) {
        EXPECT_EQ(img.pixel(gx, gy + y), kBlack) << y;
        EXPECT_EQ(img.pixel(gx + 1, gy + y), kWhite) << y;
    }
    for (int y = 2; y <= 12; ++y)
        EXPECT_EQ(img.pixel(gx + 19, gy + y), kBlack) << "triangle side " << y;
    for (int x = 5; x <= 19; ++x)
        EXPECT_EQ(img.pixel(gx + x, gy + 12), kBlack) << "triangle base " << x;
    const int stair[][2] = {{5, 11}, {6, 10}, {7, 10}, {8, 9}, {9, 8}, {10, 8}, {11, 7}, {12, 6}, {13, 5}, {14, 5},
        {15, 4}, {16, 3}, {17, 3}, {18, 2}};
    for (const auto& cell : stair)
        EXPECT_EQ(img.pixel(gx + cell[0], gy + cell[1]), kWhite) << cell[0] << "/" << cell[1];
    EXPECT_EQ(img.pixel(gx + 15, gy + 9), kBlue);
    EXPECT_EQ(img.pixel(gx + 4, gy + 4), kBlue);
    EXPECT_EQ(img.pixel(gx + 24, gy + 13), kBlue);
}

// The side bars of each kind of window, sampled on three rows: a column's x
// counts from the left, or from the right when negative (-1 is the last column).
struct FrameCase {
    const char* name;
    FrameKind kind;
    int lastRowFromBottom;  // the lowest sampled row is h - this
    std::vector<std::pair<int, QRgb>> columns;
};

const FrameCase kFrameCases[] = {
    {"Browser", FrameKind::Browser, 17,
        {{0, kWhite}, {1, kBlue}, {3, kBlue}, {4, kBlack}, {5, kGrey}, {-5, kGrey}, {-4, kWhite}, {-3, kBlue},
            {-2, kBlue}, {-1, kBlack}}},
    {"TextViewer", FrameKind::TextViewer, 17,
        {{0, kWhite}, {1, kBlue}, {2, kBlue}, {3, kBlack}, {4, kGrey}, {-5, kGrey}, {-4, kWhite}, {-3, kBlue},
            {-1, kBlack}}},
    {"ImageViewer", FrameKind::ImageViewer, 18,
        {{0, kWhite}, {1, kBlack}, {2, kGrey}, {-26, kGrey}, {-25, kWhite}, {-24, kBlue}, {-2, kBlue}, {-1, kBlack}}},
    {"FixedSize", FrameKind::Fixed, 3,
        {{0, kWhite}, {1, kBlue}, {3, kBlack}, {4, kGrey}, {-5, kGrey}, {-4, kWhite}, {-2, kBlue}, {-1, kBlack}}},
};

class FramePixels : public ::testing::TestWithParam<std::tuple<FrameCase, Size>> { };

TEST_P(FramePixels, TitleSideAndBottomBars)
{
    const auto& [frame, size] = GetParam();
    const int w = size.w;
    const int h = size.h;
    const QImage img = grabFrame(frame.kind, w, h);
    ASSERT_EQ(img.size(), QSize(w, h));
    expectTitleBar(img);
    for (int y : {17, h / 2, h - frame.lastRowFromBottom}) {
        for (const auto& [x, colour] : frame.columns)
            EXPECT_EQ(img.pixel(x < 0 ? w + x : x, y), colour) << "column " << x << ", row " << y;
    }
    if (frame.kind == FrameKind::Fixed) {
        for (int x : {0, 4, w / 2, w - 1}) {
            EXPECT_EQ(img.pixel(x, h - 2), kWhite) << x;
            EXPECT_EQ(img.pixel(x, h - 1), kBlack) << x;
        }
        EXPECT_EQ(img.pixel(w - 15, h - 10), kGrey) << "no bottom bar";
        return;
    }
    if (frame.kind == FrameKind::ImageViewer) {
        for (int x = w - 25; x <= w - 1; ++x)
            EXPECT_EQ(img.pixel(x, h - 17), kBlack) << "last row of the right bar at " << x;
    }
    expectBottomBar(img);
}

INSTANTIATE_TEST_SUITE_P(KindsAndSizes, FramePixels,
    ::testing::Combine(::testing::ValuesIn(kFrameCases), ::testing::Values(Size{393, 281}, Size{120, 120})),
    [](const auto& info) {
        const Size size = std::get<1>(info.param);
        return std::string(std::get<0>(info.param).name) + "_" + std::to_string(size.w) + "x" + std::to_string(size.h);
    });

TEST(AmigaWindow, PartsFollowTheSize)
{
    AmigaWindow window(FrameKind::Browser, QStringLiteral("  Finestra browser"), kNames,
        {art::closeGadget(), art::depthGadget(), art::resizeGadget()}, nullptr);
    window.setBounds({200, 88, 393, 281});
    window.resize(500, 300);
    window.grab();  // delivers the pending resize
    EXPECT_EQ(window.body->geometry(), QRect(5, 17, 491, 267));
    EXPECT_EQ(window.depthGadget->geometry(), QRect(474, 1, 25, 15));
    EXPECT_EQ(window.titleLabel->geometry(), QRect(26, 1, 448, 15));
    EXPECT_EQ(window.bottomBar->geometry(), QRect(0, 285, 500, 15));
    EXPECT_EQ(window.resizeGadget->geometry(), QRect(474, 0, 25, 14));
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("Panel19"))->geometry(), QRect(1, 17, 4, 267));
    EXPECT_EQ(window.pos(), QPoint(200, 88));
}

}  // namespace
