#include "app/art/pixel_art.h"

// The XPM grids are C arrays; each is read once per call into a fresh image.
#include "app/art/close_gadget.xpm"
#include "app/art/compact_disc.xpm"
#include "app/art/cycle_gadget.xpm"
#include "app/art/depth_gadget.xpm"
#include "app/art/drive_cdrom.xpm"
#include "app/art/drive_floppy.xpm"
#include "app/art/drive_hard.xpm"
#include "app/art/drive_network.xpm"
#include "app/art/drive_ram.xpm"
#include "app/art/folder_closed.xpm"
#include "app/art/folder_open.xpm"
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

// The disabled look of a glyph: its shape in greys. Light parts fade to silver and
// white, dark outlines to grey, so the picture stays recognisable but dimmed.
QImage greyed(QImage image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) == 0)
                continue;
            const int v = qGray(p);
            const int grey = v < 96 ? 0x80 : v < 200 ? 0xC0 : 0xFF;
            line[x] = qRgb(grey, grey, grey);
        }
    }
    return image;
}

}  // namespace

QImage compactDisc() { return opaque(compact_disc_xpm); }

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

QImage closeGadget() { return opaque(close_gadget_xpm); }
QImage resizeGadget() { return opaque(resize_gadget_xpm); }
QImage depthGadget() { return opaque(depth_gadget_xpm); }
QImage cycleGadget() { return withAlpha(cycle_gadget_xpm); }

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

QImage drivePicture(DrivePicture p)
{
    switch (p) {
    case DrivePicture::CdRom: return opaque(drive_cdrom_xpm);
    case DrivePicture::Floppy: return opaque(drive_floppy_xpm);
    case DrivePicture::Hard: return opaque(drive_hard_xpm);
    case DrivePicture::Network: return opaque(drive_network_xpm);
    case DrivePicture::Ram: return opaque(drive_ram_xpm);
    }
    return {};
}

QImage folderPicture(FolderPicture p)
{
    switch (p) {
    case FolderPicture::Closed: return opaque(folder_closed_xpm);
    case FolderPicture::Open:
    case FolderPicture::Current: return opaque(folder_open_xpm);
    }
    return {};
}

}  // namespace iradudo::art
