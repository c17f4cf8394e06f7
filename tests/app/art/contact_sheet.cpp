// SPDX-License-Identifier: GPL-3.0-or-later
// Writes every picture of the art library, enlarged, onto one PNG for review:
//   art_contact_sheet OUT.png [SCALE]
// Transparent pixels show as a light chequer so the glyphs' outlines can be judged.
#include "app/art/pixel_art.h"
#include "controls/art/drive_pictures.h"

#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace iradudo::art;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: art_contact_sheet OUT.png [SCALE]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const int scale = argc > 2 ? std::atoi(argv[2]) : 6;

    std::vector<std::vector<QImage>> rows(5);
    rows[0].push_back(compactDisc());
    for (int i = 0; i < typeIconCount; ++i)
        rows[0].push_back(typeIcon(i));
    rows[1] = {closeGadget(), resizeGadget(), depthGadget(), cycleGadget()};
    QImage scaledDepth = depthGadget().scaled(25, 15, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    rows[1].push_back(scaledDepth);
    for (Glyph g : {Glyph::ParentFolder, Glyph::RootDrive, Glyph::CopyToFloppy, Glyph::CopyToFloppyDisabled,
             Glyph::ShowText, Glyph::ShowPicture, Glyph::Launch, Glyph::LaunchDisabled, Glyph::CopyText, Glyph::Print})
        rows[2].push_back(glyph(g));
    for (int i = 0; i < toolImageCount; ++i)
        rows[3].push_back(toolImage(i));
    for (DrivePicture p :
        {DrivePicture::CdRom, DrivePicture::Floppy, DrivePicture::Hard, DrivePicture::Network, DrivePicture::Ram})
        rows[4].push_back(drivePicture(p));
    for (FolderPicture p : {FolderPicture::Closed, FolderPicture::Open, FolderPicture::Current})
        rows[4].push_back(folderPicture(p));

    const int gap = 12;
    int width = 0;
    int height = gap;
    for (const auto& row : rows) {
        int w = gap;
        int h = 0;
        for (const QImage& image : row) {
            w += image.width() * scale + gap;
            h = std::max(h, image.height() * scale);
        }
        width = std::max(width, w);
        height += h + gap;
    }

    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(0x40, 0x40, 0x40));
    QPainter painter(&sheet);
    int y = gap;
    for (const auto& row : rows) {
        int x = gap;
        int h = 0;
        for (const QImage& image : row) {
            const QRect target(x, y, image.width() * scale, image.height() * scale);
            for (int cy = 0; cy < image.height(); ++cy)
                for (int cx = 0; cx < image.width(); ++cx)
                    painter.fillRect(target.x() + cx * scale, target.y() + cy * scale, scale, scale,
                        (cx + cy) % 2 ? QColor(0xE8, 0xE8, 0xE8) : QColor(0xD0, 0xD0, 0xD0));
            painter.drawImage(target, image);
            x += target.width() + gap;
            h = std::max(h, target.height());
        }
        y += h + gap;
    }
    painter.end();
    return sheet.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
