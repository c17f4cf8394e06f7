// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The program's pictures, drawn as pixel art. Each image is built from an XPM
// grid kept beside this file, so a change to a picture reads as a text diff.
namespace iradudo::art {

// 37 x 37, the desktop's CD-ROM icon on silver #C0C0C0 (the icon list's background).
QImage compactDisc();

// 37 x 37, 24-bit, unmasked; index as the browser's file-type icon index:
// 0 directory, 1 file, 2 text, 3 picture, 4 hypertext. Other indices give a null image.
QImage typeIcon(int index);
inline constexpr int typeIconCount = 5;

// Title-bar and bottom-bar gadgets of the internal windows (RGB32).
QImage closeGadget();   // 25 x 16
QImage resizeGadget();  // 25 x 16
// 46 x 44 check mark on silver; the caller scales it and makes silver transparent.
QImage depthGadget();

// The picture with every pixel of its bottom-left pixel's colour made transparent,
// then scaled smoothly to size (ARGB32). Keying before scaling keeps the background
// colour from bleeding into the edges, as it would if a scaled copy were keyed.
QImage transparentScaled(const QImage& image, QSize size);

// 16 x 17, the cycle-gadget symbol on a transparent background (ARGB32).
QImage cycleGadget();

enum class Glyph {
    ParentFolder,          // yellow folder with an arrow pointing up and left
    RootDrive,             // grey drive with a green lamp
    CopyToFloppy,          // page with a red arrow bending down into a floppy disk
    CopyToFloppyDisabled,  // the same in grey
    ShowText,              // notepad page
    ShowPicture,           // camera
    Launch,                // stack of pages
    LaunchDisabled,        // the same in grey
    CopyText,              // two overlapping pages, one outlined in black, one in blue
    Print,                 // printer
};

// 16 x 16 button glyph on a transparent background (ARGB32).
QImage glyph(Glyph g);

// The browser toolbar's image list, 16 x 16 ARGB32 with a transparent background:
// 0 folder, 1 drive, 2 text page, 3 camera, 4 page with a red arrow to the right,
// 5 floppy disk. Other indices give a null image.
QImage toolImage(int index);
inline constexpr int toolImageCount = 6;

}  // namespace iradudo::art
