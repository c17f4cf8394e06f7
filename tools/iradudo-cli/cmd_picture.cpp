// SPDX-License-Identifier: GPL-3.0-or-later
// picture FILE [--png OUT]: loads a picture as the image viewer does, decodes it
// and prints its size; with --png also writes it out as an RGB PNG.

#include "cli.h"
#include "gui_application.h"
#include "listed_file.h"

#include "viewers/pictures/file_formats.h"
#include "viewers/pictures/graphic.h"
#include "viewers/pictures/picture.h"
#include "viewers/pictures/picture_formats.h"

#include <QBuffer>
#include <QByteArray>

#include <fstream>
#include <ostream>

namespace iradudo::cli {
namespace {

// Without a screen, pictures decode as on a true-colour one.
constexpr int assumedScreenDepth = 24;

int run(const Invocation& invocation)
{
    const auto& args = invocation.arguments;
    std::string file;
    std::string png;
    bool havePng = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--png" && i + 1 < args.size() && !havePng) {
            png = args[++i];
            havePng = true;
        } else if (file.empty() && args[i] != "--png") {
            file = args[i];
        } else {
            file.clear();
            break;
        }
    }
    if (file.empty()) {
        invocation.err << "usage: iradudo-cli picture FILE [--png OUT]\n";
        return 2;
    }

    // Metafiles draw text, and fonts need a GUI application; the other formats
    // run without one, so their output stays free of the platform's notes.
    const std::string extension = latin1Lower(pictureExtension(file));
    const auto application = extension == "wmf" || extension == "emf" ? startGuiApplication() : nullptr;
    initialisePictureFormats(assumedScreenDepth);
    TPicture::CheckFormat(file);
    ListedFile opened = openListedArgument(*makePlatform(invocation), file);
    TPicture picture;
    picture.LoadFile(std::move(opened.handle), file);
    TGraphic& graphic = *picture.Graphic();
    graphic.Decode();
    invocation.out << graphic.Width() << ' ' << graphic.Height() << '\n';

    if (havePng) {
        const QImage rgb = graphic.Image().convertToFormat(QImage::Format_RGB888);
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        if (rgb.isNull() || !rgb.save(&buffer, "PNG"))
            throw Exception("Cannot encode the picture as PNG");
        std::ofstream out(png, std::ios::binary | std::ios::trunc);
        out.write(encoded.constData(), encoded.size());
        out.close();
        if (!out)
            throw Exception("Cannot create file " + png);
    }
    finalisePictureFormats();
    return 0;
}

const CommandRegistration registration{
    {"picture", "picture FILE [--png OUT]   decode FILE (a host or drive path) as the image viewer does", &run}};

}  // namespace
}  // namespace iradudo::cli
