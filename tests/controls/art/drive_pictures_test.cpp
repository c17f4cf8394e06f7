// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/art/drive_pictures.h"

#include <gtest/gtest.h>

#include <set>

using namespace iradudo::art;

namespace {

constexpr QRgb silver = 0xFFC0C0C0;
constexpr QRgb maroon = 0xFF800000;

bool isPaletteColour(QRgb c)
{
    for (QRgb p : standardPalette)
        if (p == c)
            return true;
    return false;
}

}  // namespace

TEST(ControlPictures, UseTheStandardPaletteOnTheirBackground)
{
    struct Case {
        const char* name;
        QImage image;
        QSize size;
        QRgb background;
    };
    const Case cases[] = {
        {"cdrom", drivePicture(DrivePicture::CdRom), {16, 16}, maroon},
        {"floppy", drivePicture(DrivePicture::Floppy), {16, 16}, maroon},
        {"hard", drivePicture(DrivePicture::Hard), {16, 16}, maroon},
        {"network", drivePicture(DrivePicture::Network), {16, 16}, maroon},
        {"ram", drivePicture(DrivePicture::Ram), {16, 11}, 0xFF0000FF},
        {"closed", folderPicture(FolderPicture::Closed), {16, 16}, maroon},
        {"open", folderPicture(FolderPicture::Open), {16, 16}, maroon},
        {"current", folderPicture(FolderPicture::Current), {16, 16}, maroon},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.image.size(), c.size);
        EXPECT_EQ(c.image.format(), QImage::Format_RGB32);
        // The list draws every pixel of the bottom-left pixel's colour in its own background.
        EXPECT_EQ(c.image.pixel(0, c.image.height() - 1), c.background);
        std::set<QRgb> colours;
        for (int y = 0; y < c.image.height(); ++y)
            for (int x = 0; x < c.image.width(); ++x) {
                const QRgb p = c.image.pixel(x, y);
                EXPECT_TRUE(isPaletteColour(p)) << x << "/" << y << " " << std::hex << p;
                colours.insert(p);
            }
        EXPECT_GE(colours.size(), 4u) << "a picture, not a blank";
    }
    EXPECT_EQ(folderPicture(FolderPicture::Current), folderPicture(FolderPicture::Open));
    EXPECT_NE(folderPicture(FolderPicture::Closed), folderPicture(FolderPicture::Open));
}

TEST(ControlPictures, ClosedDrawerHasAChequeredFace)
{
    const QImage image = folderPicture(FolderPicture::Closed);
    int alternations = 0;
    for (int x = 3; x < 12; ++x) {
        const QRgb a = image.pixel(x, 8);
        const QRgb b = image.pixel(x + 1, 8);
        if (a != b && (a == 0xFFFFFF00 || a == silver) && (b == 0xFFFFFF00 || b == silver))
            ++alternations;
    }
    EXPECT_GE(alternations, 6);
}
