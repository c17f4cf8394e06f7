// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The Amiga pictures of the drive and folder lists, drawn as pixel art from the
// XPM grids beside this file.
namespace iradudo::art {

// Amiga drive pictures of the drive list, in the standard 16-colour palette on
// maroon #800000 (RGB32). Ram is 16 x 11 on blue; the others are 16 x 16.
enum class DrivePicture { CdRom, Floppy, Hard, Network, Ram };
QImage drivePicture(DrivePicture p);

// Amiga drawer pictures of the folder list, 16 x 16, standard 16-colour palette
// on maroon (RGB32). Current has the same image as Open.
enum class FolderPicture { Closed, Open, Current };
QImage folderPicture(FolderPicture p);

// The standard 16-colour palette the drive and drawer pictures use, in its usual order.
inline constexpr QRgb standardPalette[16] = {
    0xFF000000,
    0xFF800000,
    0xFF008000,
    0xFF808000,
    0xFF000080,
    0xFF800080,
    0xFF008080,
    0xFFC0C0C0,
    0xFF808080,
    0xFFFF0000,
    0xFF00FF00,
    0xFFFFFF00,
    0xFF0000FF,
    0xFFFF00FF,
    0xFF00FFFF,
    0xFFFFFFFF,
};

}  // namespace iradudo::art
