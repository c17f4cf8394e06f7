// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/adf_copy.h"

#include "base/text_encoding.h"
#include "browser/listing.h"
#include "platform/amiga_disk.h"
#include "platform/platform.h"

#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

// A companion's first line is all a comment needs; no more of it is read.
constexpr std::size_t kMaxCompanionBytes = 4096;

const std::string kDriveA = "nell'unit\xC3\xA0 A:";
const std::string kNotCopied = " non \xC3\xA8 stato copiato";

std::string quoted(const std::string& utf8Name)
{
    return "\xC2\xAB" + utf8Name + "\xC2\xBB";  // «name»
}

[[noreturn]] void fail(const std::string& text)
{
    throw EFloppyError(text);
}

// Up to limit bytes of an open file; false when it cannot be read.
bool readUpTo(FileHandle& file, std::size_t limit, std::string& bytes)
{
    char buffer[1 << 16];
    while (bytes.size() <= limit) {
        const ssize_t n = file.read(buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::string companionDescription(const Platform& platform, const std::string& directory, const std::string& name)
{
    try {
        ListedFile companion = platform.openListedFile(directory, companionName(name));
        std::string bytes;
        char buffer[kMaxCompanionBytes];
        const ssize_t n = companion.handle.read(buffer, sizeof buffer);
        if (n > 0)
            bytes.assign(buffer, static_cast<std::size_t>(n));
        return companionComment(bytes);
    } catch (const EFOpenError&) {
        return {};
    }
}

void copyToAmigaDisk(
    const FloppyTarget& target, ListedFile& source, const std::string& name, const std::string& utf8Comment)
{
    const std::string utf8Name = toDisplayUtf8(name);
    const std::string shown = quoted(utf8Name);
    std::string amigaName;
    try {
        amigaName = amigaNameFromUtf8(utf8Name);
    } catch (const AmigaDiskError&) {
        fail("Il nome " + shown
            + " non pu\xC3\xB2 essere scritto su un dischetto Amiga: al massimo 30 caratteri ISO-8859-1, "
              "senza / n\xC3\xA9 :");
    }
    struct stat image { };
    if (::stat(target.device.c_str(), &image) != 0 || !S_ISREG(image.st_mode))
        fail("Nessun dischetto " + kDriveA + " (" + toDisplayUtf8(target.device) + "): " + shown + kNotCopied);

    std::string bytes;
    if (!source.handle.valid() || !readUpTo(source.handle, kAmigaHighDensityBytes, bytes))
        fail("Impossibile leggere il file " + shown + ": non \xC3\xA8 stato copiato sul dischetto");
    if (bytes.size() > static_cast<std::size_t>(kAmigaHighDensityBytes))
        fail("Spazio insufficiente sul dischetto " + kDriveA + " per " + shown + ": il file" + kNotCopied);

    using Kind = AmigaDiskError::Kind;
    try {
        writeAmigaDiskFile(target.device, amigaName, bytes, amigaCommentFromUtf8(utf8Comment));
    } catch (const AmigaDiskError& error) {
        const std::string detail = error.what();
        switch (error.kind()) {
        case Kind::BadName: fail("Il nome " + shown + " non pu\xC3\xB2 essere scritto su un dischetto Amiga");
        case Kind::DiskFull:
            fail("Spazio insufficiente sul dischetto " + kDriveA + " per " + shown + " (" + detail + "): il file"
                + kNotCopied);
        case Kind::FitsOnlyReplacing:
            fail("Spazio insufficiente sul dischetto " + kDriveA + " per sostituire " + shown
                + " senza cancellare prima la copia che vi si trova (" + detail
                + "): il file sul dischetto non \xC3\xA8 stato toccato; cancellarlo a mano per copiare quello nuovo");
        case Kind::DirectoryCache:
            fail("Il dischetto Amiga " + kDriveA + " usa la cache delle directory (" + detail
                + "), che questo programma non aggiorna: " + shown + kNotCopied);
        case Kind::NameIsDrawer:
            fail("Sul dischetto " + kDriveA + " c'\xC3\xA8 un cassetto di nome " + shown + ": il file" + kNotCopied);
        case Kind::WriteProtected:
            fail("Il dischetto " + kDriveA + " \xC3\xA8 protetto da scrittura: " + shown + kNotCopied);
        case Kind::NotAmigaDisk:
            fail("Il dischetto " + kDriveA + " non \xC3\xA8 un disco Amiga leggibile (non formattato?): " + shown
                + kNotCopied);
        case Kind::Damaged:
            fail("Il dischetto Amiga " + kDriveA + " \xC3\xA8 danneggiato (" + toDisplayUtf8(detail) + "): " + shown
                + kNotCopied);
        case Kind::Io: break;
        }
        fail("Copia di " + shown + " sul dischetto non riuscita: " + detail);
    }
}

}  // namespace iradudo
