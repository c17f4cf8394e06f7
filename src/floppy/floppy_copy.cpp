// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_copy.h"

#include "base/text_encoding.h"
#include "floppy/floppy_geometry.h"
#include "platform/file_copy.h"
#include "platform/mtools.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

constexpr const char* kTemporaryName = "~IRADUDO.TMP";

std::string quoted(const std::string& utf8Name)
{
    return "\xC2\xAB" + utf8Name + "\xC2\xBB";  // «name»
}

[[noreturn]] void fail(const std::string& text)
{
    throw EFloppyError(text);
}

std::int64_t roundUpToClusters(std::int64_t bytes, std::int64_t clusterBytes)
{
    return (bytes + clusterBytes - 1) / clusterBytes * clusterBytes;
}

// The first line of a tool's output, for causes the program has no words of its own for.
std::string firstLine(const std::string& output)
{
    const std::string line = output.substr(0, output.find('\n'));
    return line.empty() ? "errore sconosciuto" : line;
}

void copyToMountedFloppy(const std::string& mountPoint, const std::string& source, const std::string& utf8Name)
{
    const std::string shown = quoted(utf8Name);
    errno = 0;
    if (copyFileReplacing(source, mountPoint + "/" + utf8Name))
        return;
    const int error = errno;
    if (error == ENOSPC)
        fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown
            + ": il file non \xC3\xA8 stato copiato");
    if (error == EROFS || error == EACCES || error == EPERM)
        fail("Il dischetto nell'unit\xC3\xA0 A: \xC3\xA8 protetto da scrittura: " + shown
            + " non \xC3\xA8 stato copiato");
    fail("Copia di " + shown + " sul dischetto non riuscita: " + std::strerror(error));
}

}  // namespace

bool fatCanHoldName(const std::string& utf8Name)
{
    if (utf8Name.empty() || utf8Name.find_first_not_of(". ") == std::string::npos)
        return false;
    std::size_t characters = 0;
    for (const unsigned char c : utf8Name) {
        if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", static_cast<char>(c)))
            return false;
        if ((c & 0xC0) != 0x80)
            ++characters;
    }
    return characters <= 255;
}

void copyToFloppy(const FloppyTarget& target, const std::string& sourceHostPath, const std::string& name)
{
    const std::string utf8Name = toDisplayUtf8(name);
    const std::string shown = quoted(utf8Name);

    const int fd = ::open(sourceHostPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat source { };
    const bool readable = fd >= 0 && ::fstat(fd, &source) == 0 && S_ISREG(source.st_mode);
    char probe = 0;
    const bool bytesReadable = readable && ::read(fd, &probe, 1) >= 0;
    if (fd >= 0)
        ::close(fd);
    if (!bytesReadable)
        fail("Impossibile leggere il file " + shown + ": non \xC3\xA8 stato copiato sul dischetto");
    if (!fatCanHoldName(utf8Name))
        fail("Il nome " + shown
            + " non pu\xC3\xB2 essere scritto su un dischetto: il file system FAT non ammette i caratteri "
              "\\ / : * ? \" < > | n\xC3\xA9 nomi di soli punti");

    if (target.device.empty() && target.mountPoint.empty())
        fail("Nessuna unit\xC3\xA0 A: su questo computer: " + shown + " non \xC3\xA8 stato copiato (usare --floppy)");
    if (!target.mountPoint.empty()) {
        copyToMountedFloppy(target.mountPoint, sourceHostPath, utf8Name);
        return;
    }

    const FloppyPathInfo floppy = inspectFloppyPath(target.device);
    if (floppy.kind == FloppyPathKind::Missing || floppy.kind == FloppyPathKind::Other
        || (floppy.kind == FloppyPathKind::BlockDevice && floppy.bytes == 0))
        fail("Nessun dischetto nell'unit\xC3\xA0 A: (" + toDisplayUtf8(target.device) + "): " + shown
            + " non \xC3\xA8 stato copiato");
    struct stat image { };
    // An image without any write permission is a write-protected disk, for root too.
    const bool protectedImage = ::stat(target.device.c_str(), &image) == 0 && (image.st_mode & 0222) == 0;
    if (protectedImage || !floppy.writable)
        fail("Il dischetto nell'unit\xC3\xA0 A: \xC3\xA8 protetto da scrittura: " + shown
            + " non \xC3\xA8 stato copiato");

    const MtoolsDrive drive(target.device);
    const std::string destination = "a:/" + utf8Name;
    const std::string temporary = std::string("a:/") + kTemporaryName;

    const ProgramResult listing = drive.run("mdir", {"a:/"});
    if (!listing.started)
        fail("Impossibile copiare " + shown
            + " sul dischetto: il programma mdir (pacchetto mtools) non \xC3\xA8 installato");
    FloppyDirectoryInfo info = parseMdirOutput(listing.output);
    info.fileSize = -1;
    if (const ProgramResult existing = drive.run("mdir", {destination}); existing.exitCode == 0)
        info.fileSize = parseMdirOutput(existing.output).fileSize;
    if (listing.exitCode != 0 || info.bytesFree < 0)
        fail("Il dischetto nell'unit\xC3\xA0 A: non \xC3\xA8 leggibile (non formattato?): " + shown
            + " non \xC3\xA8 stato copiato");

    // Room for the whole new copy beside the old one: the old file goes only after.
    // mformat gives 720 KB disks clusters of two sectors, 1.44 MB disks of one.
    const std::int64_t clusterBytes = floppy.bytes == kFloppy720.bytes ? 1024 : 512;
    const std::int64_t needed = roundUpToClusters(source.st_size, clusterBytes);
    if (needed > info.bytesFree) {
        const std::int64_t freedByOld = info.fileSize < 0 ? 0 : roundUpToClusters(info.fileSize, clusterBytes);
        const std::string numbers
            = " (servono " + std::to_string(source.st_size) + " byte, liberi " + std::to_string(info.bytesFree) + ")";
        if (info.fileSize >= 0 && needed <= info.bytesFree + freedByOld)
            fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per sostituire " + shown
                + " senza cancellare prima la copia che vi si trova" + numbers
                + ": il file sul dischetto non \xC3\xA8 stato toccato; cancellarlo a mano per copiare quello nuovo");
        fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown + numbers
            + ": il file non \xC3\xA8 stato copiato");
    }

    const ProgramResult copied = drive.run("mcopy", {"-o", sourceHostPath, temporary});
    if (copied.exitCode != 0) {
        drive.run("mdel", {temporary});
        if (copied.output.find("Disk full") != std::string::npos)
            fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown
                + ": il file non \xC3\xA8 stato copiato");
        if (copied.output.find("directory slots") != std::string::npos
            || copied.output.find("No free directory") != std::string::npos)
            fail("La directory principale del dischetto nell'unit\xC3\xA0 A: \xC3\xA8 piena: " + shown
                + " non \xC3\xA8 stato copiato");
        fail("Copia di " + shown + " sul dischetto non riuscita: " + firstLine(copied.output));
    }
    const ProgramResult renamed = drive.run("mren", {"-o", temporary, destination});
    if (renamed.exitCode != 0) {
        drive.run("mdel", {temporary});
        fail("Copia di " + shown + " sul dischetto non riuscita: " + firstLine(renamed.output));
    }
}

}  // namespace iradudo
