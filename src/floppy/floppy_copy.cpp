// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_copy.h"

#include "base/text_encoding.h"
#include "floppy/adf_copy.h"
#include "floppy/floppy_geometry.h"
#include "platform/amiga_disk.h"
#include "platform/file_copy.h"
#include "platform/floppy_volume.h"
#include "platform/io_error.h"
#include "platform/mtools.h"
#include "platform/platform.h"
#include "platform/run_program.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

// Letters as FAT compares names: ASCII and Latin-1 letters in upper case, other
// characters as they are (UTF-8 in, UTF-32 out).
std::u32string foldedName(const std::string& utf8)
{
    std::u32string folded;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(length);
        if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c -= 0x20;
        folded.push_back(c);
    }
    return folded;
}

// The root entry a name written there would meet: its long name in any case,
// or its 8.3 name.
const FloppyRootEntry* entryNamed(const std::vector<FloppyRootEntry>& root, const std::string& utf8Name)
{
    const std::u32string wanted = foldedName(utf8Name);
    for (const FloppyRootEntry& entry : root)
        if (foldedName(entry.name) == wanted || foldedName(entry.shortName) == wanted)
            return &entry;
    return nullptr;
}

// A plain 8.3 name (so no long entry of its own) that no root entry has.
std::string unusedTemporaryName(const std::vector<FloppyRootEntry>& root)
{
    for (int n = 0; n < 100; ++n) {
        const std::string name = n == 0 ? std::string("~IRADUDO.TMP")
                                        : "~IRADU" + std::to_string(n / 10) + std::to_string(n % 10) + ".TMP";
        if (!entryNamed(root, name))
            return name;
    }
    return {};
}

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
    const std::string notCopied = ": " + shown + " non \xC3\xA8 stato copiato";
    if (!isFloppyMedium(floppy.bytes, 0))
        fail(notAFloppyText(toDisplayUtf8(target.device)) + notCopied);
    if (!floppy.writable)
        fail("Il dischetto nell'unit\xC3\xA0 A: \xC3\xA8 protetto da scrittura" + notCopied);
    if (!programExists("mcopy"))
        fail("Impossibile copiare " + shown
            + " sul dischetto: il programma mcopy (pacchetto mtools) non \xC3\xA8 installato");

    FloppyVolume volume;
    try {
        volume = readFloppyVolume(target.device);
    } catch (const EInOutError&) {
        volume.bytesFree = -1;
    }
    if (volume.bytesFree < 0)
        fail("Il dischetto nell'unit\xC3\xA0 A: non \xC3\xA8 leggibile (non formattato?)" + notCopied);
    if (!isFloppyMedium(volume.mediumBytes, volume.fatBits))
        fail(notAFloppyText(toDisplayUtf8(target.device)) + notCopied);
    const FloppyRootEntry* existing = entryNamed(volume.root, utf8Name);
    if (existing && existing->directory)
        fail("Sul dischetto nell'unit\xC3\xA0 A: c'\xC3\xA8 una cartella " + quoted(existing->name) + notCopied);

    // Room for the whole new copy beside the old one: the old file goes only after.
    // mformat gives 720 KB disks clusters of two sectors, 1.44 MB disks of one.
    const std::int64_t clusterBytes = floppy.bytes == kFloppy720.bytes ? 1024 : 512;
    const std::int64_t needed = roundUpToClusters(source.size, clusterBytes);
    if (needed > volume.bytesFree) {
        const std::string numbers
            = " (servono " + std::to_string(source.size) + " byte, liberi " + std::to_string(volume.bytesFree) + ")";
        if (existing && needed <= volume.bytesFree + roundUpToClusters(existing->size, clusterBytes))
            fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per sostituire " + shown
                + " senza cancellare prima la copia che vi si trova" + numbers
                + ": il file sul dischetto non \xC3\xA8 stato toccato; cancellarlo a mano per copiare quello nuovo");
        fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown + numbers
            + ": il file non \xC3\xA8 stato copiato");
    }
    // The old copy steps aside under a name that finds no other entry, and comes
    // back should the new one fail.
    const std::string aside = existing ? unusedTemporaryName(volume.root) : std::string();
    if (existing && aside.empty())
        fail("La directory principale del dischetto nell'unit\xC3\xA0 A: \xC3\xA8 piena" + notCopied);

    const MtoolsDrive drive(target.device);
    // Read only once the file is known to fit.
    const StagedFile staged{drive.directory() + "/source"};
    switch (stageForMcopy(source.handle, staged.path, volume.bytesFree)) {
    case Staged::Done: break;
    case Staged::TooLarge:
        fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown
            + ": il file non \xC3\xA8 stato copiato");
    case Staged::Unreadable:
        fail("Impossibile leggere il file " + shown + ": non \xC3\xA8 stato copiato sul dischetto");
    }

    // "-D s": a name that clashes after all is skipped (an error), never
    // overwritten nor asked about on the terminal.
    const std::string destination = "a:/" + utf8Name;
    const std::string asidePath = "a:/" + aside;
    if (existing) {
        // The stored 8.3 name: a long name may hold [ ] that mtools would take as a pattern.
        const ProgramResult moved = drive.run("mren", {"-D", "s", "a:/" + existing->shortName, asidePath});
        if (moved.exitCode != 0)
            fail("Copia di " + shown + " sul dischetto non riuscita: " + firstLine(moved.output));
    }
    // mcopy writes the name as given: a long entry, or for an 8.3 name in one
    // case per part the case flags of the short entry; mren would keep the flags
    // of the entry it renames instead.
    const ProgramResult copied = drive.run("mcopy", {"-D", "s", staged.path, destination});
    if (copied.exitCode != 0) {
        // mcopy writes the directory entry only after the data: nothing of the new copy is left.
        if (existing)
            drive.run("mren", {"-D", "s", asidePath, destination});
        if (copied.output.find("Disk full") != std::string::npos)
            fail("Spazio insufficiente sul dischetto nell'unit\xC3\xA0 A: per " + shown
                + ": il file non \xC3\xA8 stato copiato");
        if (copied.output.find("directory slots") != std::string::npos
            || copied.output.find("No free directory") != std::string::npos)
            fail("La directory principale del dischetto nell'unit\xC3\xA0 A: \xC3\xA8 piena" + notCopied);
        fail("Copia di " + shown + " sul dischetto non riuscita: " + firstLine(copied.output));
    }
    if (existing) {
        if (const ProgramResult removed = drive.run("mdel", {asidePath}); removed.exitCode != 0)
            fail(shown + " \xC3\xA8 stato copiato sul dischetto, ma la copia precedente vi \xC3\xA8 rimasta come "
                + aside + ": " + firstLine(removed.output));
    }
}

}  // namespace iradudo
