// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/art/drive_pictures.h"

// The XPM grids are C arrays; each is read once per call into a fresh image.
#include "controls/art/drive_cdrom.xpm"
#include "controls/art/drive_floppy.xpm"
#include "controls/art/drive_hard.xpm"
#include "controls/art/drive_network.xpm"
#include "controls/art/drive_ram.xpm"
#include "controls/art/folder_closed.xpm"
#include "controls/art/folder_open.xpm"

namespace iradudo::art {

namespace {

QImage opaque(const char* const xpm[])
{
    return QImage(xpm).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

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
