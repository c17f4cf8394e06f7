// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_copy.h"

#include "base/text_encoding.h"
#include "floppy/adf_copy.h"
#include "floppy/floppy_geometry.h"
#include "platform/amiga_disk.h"
#include "platform/file_copy.h"
#include "platform/mtools.h"
#include "platform/platform.h"

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

void copyToMountedFloppy(const std::string& mountPoint, FileHandle& source, const std::string& utf8Name)
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

enum class Staged { Done, Unreadable, TooLarge };

// mcopy reads a host path, so the bytes wait in a file of the drive's private
// directory, which goes with it. At most limit bytes are taken: a file that grew
// since its size was checked against the free space is refused, not cut short.
Staged stageForMcopy(FileHandle& source, const std::string& path, std::int64_t limit)
{
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0)
        return Staged::Unreadable;
    Staged result = Staged::Done;
    char buffer[1 << 16];
    std::int64_t total = 0;
    for (;;) {
        const ssize_t n = source.read(buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0)
                result = Staged::Unreadable;
            break;
        }
        total += n;
        if (total > limit) {
            result = Staged::TooLarge;
            break;
        }
        if (!writeAll(out, buffer, static_cast<std::size_t>(n))) {
            result = Staged::Unreadable;
            break;
        }
    }
    ::close(out);
    return result;
}

// Removes the staged bytes however the copy ends.
struct StagedFile {
    std::string path;
    ~StagedFile() { ::unlink(path.c_str()); }
};

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

void copyToFloppy(
    const FloppyTarget& target, const Platform& platform, const std::string& directory, const std::string& name)
{
    ListedFile source;
    try {
        source = platform.openListedFile(directory, name);
    } catch (const EFOpenError&) {
        // Left invalid: the copy names the file as unreadable in its own words.
    }
    if (target.mountPoint.empty() && isAmigaDiskPath(target.device)) {
        copyToAmigaDisk(target, source, name, companionDescription(platform, directory, name));
        return;
    }
    copyToFloppy(target, source, name);
}

void copyToFloppy(const FloppyTarget& target, ListedFile& source, const std::string& name)
{
    if (target.mountPoint.empty() && isAmigaDiskPath(target.device)) {
        copyToAmigaDisk(target, source, name, {});
        return;
    }
    const std::string utf8Name = toDisplayUtf8(name);
    const std::string shown = quoted(utf8Name);

    // One byte read at the start tells an unreadable medium before anything is written.
    char probe = 0;
    if (!source.handle.valid() || source.size < 0 || ::pread(source.handle.fd(), &probe, 1, 0) < 0)
        fail("Impossibile leggere il file " + shown + ": non \xC3\xA8 stato copiato sul dischetto");
    if (!fatCanHoldName(utf8Name))
        fail("Il nome " + shown
            + " non pu\xC3\xB2 essere scritto su un dischetto: il file system FAT non ammette i caratteri "
              "\\ / : * ? \" < > | n\xC3\xA9 nomi di soli punti");

    if (target.device.empty() && target.mountPoint.empty())
        fail("Nessuna unit\xC3\xA0 A: su questo computer: " + shown + " non \xC3\xA8 stato copiato (usare --floppy)");
    if (!target.mountPoint.empty()) {
        copyToMountedFloppy(target.mountPoint, source.handle, utf8Name);
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
    const std::int64_t needed = roundUpToClusters(source.size, clusterBytes);
    if (needed > info.bytesFree) {
        const std::int64_t freedByOld = info.fileSize < 0 ? 0 : roundUpToClusters(info.fileSize, clusterBytes);
        const std::string numbers
            = " (servono " + std::to_string(source.size) + " byte, liberi " + std::to_string(info.bytesFree) + ")";
        if (info.fileSize >= 0 && needed <= info.bytesFree + freedByOld)
            fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per sostituire " + shown
                + " senza cancellare prima la copia che vi si trova" + numbers
                + ": il file sul dischetto non \xC3\xA8 stato toccato; cancellarlo a mano per copiare quello nuovo");
        fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown + numbers
            + ": il file non \xC3\xA8 stato copiato");
    }

    // Read only once the file is known to fit.
    const StagedFile staged{drive.directory() + "/source"};
    switch (stageForMcopy(source.handle, staged.path, info.bytesFree)) {
    case Staged::Done: break;
    case Staged::TooLarge:
        fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown
            + ": il file non \xC3\xA8 stato copiato");
    case Staged::Unreadable:
        fail("Impossibile leggere il file " + shown + ": non \xC3\xA8 stato copiato sul dischetto");
    }
    const ProgramResult copied = drive.run("mcopy", {"-o", staged.path, temporary});
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
