// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/classic_scheme.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

// The drawing steps the Amiga controls share, done on images so that each pixel
// is exactly the one the steps give (the dotted rectangle inverts what is there).
namespace iradudo {

// Inverts every other pixel along the outline of rect (both corners included),
// as the system's focus rectangle does: drawing it twice removes it. The dots are
// the pixels whose x + y is even; no pixel is inverted twice.
void drawFocusRect(QImage& image, const QRect& rect);

// The picture with every pixel of its bottom-left pixel's colour replaced by
// ground, so that the picture's own background vanishes into the list's.
QImage onGround(const QImage& picture, const QColor& ground);

// The colours and font a list draws its items with.
struct ItemLook {
    QFont font;
    QColor windowColour = classic::clWindow;    // the control's colour
    QColor fontColour = classic::clWindowText;  // the font colour
};

// One item of the drive list, as an image of the item's size: background
// (highlight when selected), the picture at x 2 vertically centred, the text from
// picture width + 6 (22 without a picture) to the right end, one line, vertically
// centred, "&" shown as it is; the focus rectangle last when focused.
QImage renderDriveItem(
    QSize size, const QImage* picture, const QString& text, bool selected, bool focused, const ItemLook& look);

// One item of the folder list: the picture at x indent vertically centred, the text
// at x indent + picture width + 4 on the item's top row.
QImage renderFolderItem(QSize size, const QImage* picture, int indent, const QString& text, bool selected, bool focused,
    const ItemLook& look);

}  // namespace iradudo
