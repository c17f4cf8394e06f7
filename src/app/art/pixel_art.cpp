// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/art/pixel_art.h"

// The XPM grids are C arrays; each is read once per call into a fresh image.
#include "app/art/close_gadget.xpm"
#include "app/art/compact_disc.xpm"
#include "app/art/cycle_gadget.xpm"
#include "app/art/depth_gadget.xpm"
#include "app/art/glyph_copy_text.xpm"
#include "app/art/glyph_copy_to_floppy.xpm"
#include "app/art/glyph_floppy_disk.xpm"
#include "app/art/glyph_launch.xpm"
#include "app/art/glyph_page_arrow_right.xpm"
#include "app/art/glyph_parent_folder.xpm"
#include "app/art/glyph_print.xpm"
#include "app/art/glyph_root_drive.xpm"
#include "app/art/glyph_show_picture.xpm"
#include "app/art/glyph_show_text.xpm"
#include "app/art/resize_gadget.xpm"
#include "app/art/type_directory.xpm"
#include "app/art/type_file.xpm"
#include "app/art/type_hypertext.xpm"
#include "app/art/type_picture.xpm"
#include "app/art/type_text.xpm"

#include <QColor>

namespace iradudo::art {

namespace {

QImage opaque(const char* const xpm[])
{
    return QImage(xpm).convertToFormat(QImage::Format_RGB32);
}

QImage withAlpha(const char* const xpm[])
{
    return QImage(xpm).convertToFormat(QImage::Format_ARGB32);
}

// The disabled look of a glyph, as buttons usually show it: the dark parts of the
// picture in grey, embossed with white one pixel down and right; light parts vanish
// into the button face.
QImage greyed(const QImage& image)
{
    QImage result(image.size(), QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    auto isDark = [&](int x, int y) {
        const QRgb p = image.pixel(x, y);
        return qAlpha(p) != 0 && qGray(p) < 180;
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isDark(x, y) && x + 1 < image.width() && y + 1 < image.height())
                result.setPixel(x + 1, y + 1, qRgb(0xFF, 0xFF, 0xFF));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isDark(x, y))
                result.setPixel(x, y, qRgb(0x80, 0x80, 0x80));
    return result;
}

}  // namespace

QImage compactDisc()
{
    return opaque(compact_disc_xpm);
}

QImage typeIcon(int index)
{
    switch (index) {
    case 0: return opaque(type_directory_xpm);
    case 1: return opaque(type_file_xpm);
    case 2: return opaque(type_text_xpm);
    case 3: return opaque(type_picture_xpm);
    case 4: return opaque(type_hypertext_xpm);
    default: return {};
    }
}

QImage closeGadget()
{
    return opaque(close_gadget_xpm);
}
QImage resizeGadget()
{
    return opaque(resize_gadget_xpm);
}
QImage depthGadget()
{
    return opaque(depth_gadget_xpm);
}
QImage transparentScaled(const QImage& image, QSize size)
{
    if (image.isNull())
        return {};
    QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyed.pixel(0, keyed.height() - 1);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    // Premultiplied pixels, so transparent ones add no colour to their neighbours.
    return keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

QImage cycleGadget()
{
    return withAlpha(cycle_gadget_xpm);
}

QImage glyph(Glyph g)
{
    switch (g) {
    case Glyph::ParentFolder: return withAlpha(glyph_parent_folder_xpm);
    case Glyph::RootDrive: return withAlpha(glyph_root_drive_xpm);
    case Glyph::CopyToFloppy: return withAlpha(glyph_copy_to_floppy_xpm);
    case Glyph::CopyToFloppyDisabled: return greyed(withAlpha(glyph_copy_to_floppy_xpm));
    case Glyph::ShowText: return withAlpha(glyph_show_text_xpm);
    case Glyph::ShowPicture: return withAlpha(glyph_show_picture_xpm);
    case Glyph::Launch: return withAlpha(glyph_launch_xpm);
    case Glyph::LaunchDisabled: return greyed(withAlpha(glyph_launch_xpm));
    case Glyph::CopyText: return withAlpha(glyph_copy_text_xpm);
    case Glyph::Print: return withAlpha(glyph_print_xpm);
    }
    return {};
}

QImage toolImage(int index)
{
    switch (index) {
    case 0: return glyph(Glyph::ParentFolder);
    case 1: return glyph(Glyph::RootDrive);
    case 2: return glyph(Glyph::ShowText);
    case 3: return glyph(Glyph::ShowPicture);
    case 4: return withAlpha(glyph_page_arrow_right_xpm);
    case 5: return withAlpha(glyph_floppy_disk_xpm);
    default: return {};
    }
}

}  // namespace iradudo::art
