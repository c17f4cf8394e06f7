// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/adf_format.h"

#include "base/text_encoding.h"
#include "floppy/floppy_geometry.h"
#include "platform/amiga_disk.h"

#include <ostream>
#include <sys/stat.h>

namespace iradudo {
namespace {

const char* capacityName(std::int64_t bytes)
{
    return bytes == kAmigaDoubleDensityBytes ? "880 KB" : "1,76 MB";
}

}  // namespace

std::string formatAmigaDiskImage(const FormatOptions& options, const std::string& image, std::ostream& out)
{
    const bool high = options.kilobytes != 720;
    const std::int64_t wanted = high ? kAmigaHighDensityBytes : kAmigaDoubleDensityBytes;
    const std::string shown = toDisplayUtf8(image);
    struct stat info { };
    const bool exists = ::stat(image.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode))
        return shown + " non \xC3\xA8 un'immagine di dischetto Amiga: formattazione rifiutata";
    if (exists && info.st_size != kAmigaDoubleDensityBytes && info.st_size != kAmigaHighDensityBytes)
        return shown + " ha " + groupedDigits(info.st_size)
            + " byte: non \xC3\xA8 un disco Amiga (901.120 o 1.802.240 byte), formattazione rifiutata";
    if (!exists && options.quick)
        return "L'immagine " + shown + " non esiste: la formattazione veloce vuole un dischetto gi\xC3\xA0 formattato";
    if (options.quick && info.st_size != wanted)
        return std::string("La capacit\xC3\xA0 del dischetto (") + capacityName(info.st_size)
            + ") non corrisponde a quella richiesta (" + capacityName(wanted)
            + "): la formattazione veloce non la cambia, usare la formattazione normale";

    out << (options.quick ? "Formattazione veloce " : "Formattazione ") << capacityName(wanted) << " ("
        << (high ? "FFS" : "OFS") << ") in corso...\n"
        << std::flush;
    try {
        formatAmigaDisk(
            image, high ? AmigaDensity::High : AmigaDensity::Double, high, kAmigaBlankVolumeName, options.quick);
    } catch (const AmigaDiskError& error) {
        if (error.kind() == AmigaDiskError::Kind::WriteProtected)
            return "Il dischetto in " + shown + " \xC3\xA8 protetto da scrittura";
        return "Formattazione non riuscita: " + std::string(error.what());
    }
    // Blocks 0 and 1 boot, the root and the bitmap: the rest holds files.
    const std::int64_t blocks = wanted / 512 - 4;
    const std::int64_t bytes = blocks * (high ? 512 : 488);
    out << "Formattazione completata.\n\n"
        << "  Volume \"" << kAmigaBlankVolumeName << "\"\n"
        << "  " << groupedDigits(bytes) << " byte di spazio totale su disco\n"
        << "  " << groupedDigits(bytes) << " byte disponibili su disco\n\n";
    return {};
}

}  // namespace iradudo
