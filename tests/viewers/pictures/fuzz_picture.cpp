// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for one picture class, chosen at build time (FUZZ_GRAPHIC): load,
// then decode and draw as the image viewer does. Every input must load or fail
// with the class's own exception. Run it with scripts/fuzz.sh fuzz_bmp (or
// fuzz_ico, fuzz_jpeg) MINUTES; finds go to data/fuzz-bmp/ and so on.
#include "support/fuzz_gui.h"
#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/icon.h"
#include "viewers/pictures/jpeg_image.h"

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    iradudo::test::ensureGuiApplication();
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    FUZZ_GRAPHIC graphic;
    try {
        graphic.LoadStream(stream);
        QImage canvas(64, 64, QImage::Format_RGB32);
        QPainter painter(&canvas);
        graphic.Draw(painter, QRect(0, 0, 64, 64));
    } catch (const Exception&) {
    }
    return 0;
}
