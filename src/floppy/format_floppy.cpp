// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/format_floppy.h"

#include "base/text_encoding.h"
#include "floppy/adf_format.h"
#include "floppy/floppy_drive.h"
#include "floppy/floppy_geometry.h"
#include "platform/amiga_disk.h"
#include "platform/dos_path.h"
#include "platform/floppy_volume.h"
#include "platform/io_error.h"
#include "platform/mtools.h"
#include "platform/system_scan.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <istream>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

const char* capacityName(std::int64_t bytes)
{
    return bytes == kFloppy720.bytes ? "720 KB" : "1,44 MB";
}

bool hasImageExtension(const std::string& path)
{
    const std::string tail = path.size() >= 4 ? asciiUpper(path.substr(path.size() - 4)) : std::string();
    return tail == ".IMG" || tail == ".IMA";
}

struct Refusal {
    std::string message;
};

bool askYes(std::istream& in, std::ostream& out, const std::string& question)
{
    out << question << std::flush;
    std::string answer;
    if (!std::getline(in, answer))
        return false;
    const std::size_t first = answer.find_first_not_of(" \t");
    return first != std::string::npos && (answer[first] == 's' || answer[first] == 'S');
}

// A fresh image of the right size beside the old one, formatted, then put in its
// place: a failure leaves the old image as it was.
void formatNewImage(const std::string& image, const FloppyFormat& format)
{
    const std::string temporary = image + ".iradudo-format.tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool sized = fd >= 0 && ::ftruncate(fd, format.bytes) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!sized) {
        ::unlink(temporary.c_str());
        throw Refusal{"Impossibile creare l'immagine " + toDisplayUtf8(image) + " (cartella protetta da scrittura?)"};
    }
    const MtoolsDrive drive(temporary);
    const ProgramResult made = drive.run("mformat", {"-f", std::to_string(format.kilobytes), "a:"});
    if (made.exitCode != 0 || ::rename(temporary.c_str(), image.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw Refusal{"Formattazione non riuscita: "
            + (made.started ? made.output : "mformat (pacchetto mtools) non installato")};
    }
}

void formatFileSystem(const std::string& device, const FloppyFormat& format)
{
    const MtoolsDrive drive(device);
    const ProgramResult made = drive.run("mformat", {"-f", std::to_string(format.kilobytes), "a:"});
    if (made.exitCode != 0)
        throw Refusal{"Formattazione non riuscita: "
            + (made.started ? made.output : "mformat (pacchetto mtools) non installato")};
}

// What a symbolic link given as the floppy points to: the image or device is
// formatted in place and the link stays a link. A dangling link is refused
// rather than replaced by a new image.
std::string followedLink(const std::string& path)
{
    struct stat link { };
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        throw Refusal{toDisplayUtf8(path)
            + " \xC3\xA8 un collegamento simbolico che non porta a nessun file: formattazione rifiutata"};
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// "3 file e 1 cartella": what a format would wipe from the root.
std::string rootContents(const FloppyVolume& volume)
{
    std::size_t directories = 0;
    for (const FloppyRootEntry& entry : volume.root)
        directories += entry.directory ? 1 : 0;
    const std::size_t files = volume.root.size() - directories;
    std::string text;
    if (files > 0)
        text = std::to_string(files) + " file";
    if (directories > 0)
        text += (text.empty() ? "" : " e ") + std::to_string(directories)
            + (directories == 1 ? " cartella" : " cartelle");
    return text;
}

// An Amiga disk file: asked about as a PC floppy is, then written by the Amiga
// format, which refuses what is no disk of the two sizes.
void formatAmigaOnce(const FormatOptions& options, const FloppyTarget& target, std::istream& in, std::ostream& out)
{
    const std::string device = followedLink(target.device);
    if (!options.yes) {
        FloppyVolume volume;
        for (const auto& [name, drawer] : amigaRootEntries(device))
            volume.root.push_back({name, {}, drawer, 0});
        if (!volume.root.empty()
            && !askYes(in, out,
                "Il dischetto contiene " + rootContents(volume) + ": la formattazione li cancella. Continuare (S/N)? "))
            throw Refusal{"Formattazione annullata: il dischetto non \xC3\xA8 stato toccato"};
    }
    if (const std::string refusal = formatAmigaDiskImage(options, device, out); !refusal.empty())
        throw Refusal{refusal};
}

// Checks the medium and formats it once; throws Refusal with the reason otherwise.
void formatOnce(const FormatOptions& options, const FloppyTarget& target, std::istream& in, std::ostream& out,
    const SystemPaths& paths)
{
    const FloppyFormat wanted = options.kilobytes == 720 ? kFloppy720 : kFloppy1440;
    const std::string device = followedLink(target.device);
    const FloppyPathInfo medium = inspectFloppyPath(device);
    const std::string shown = toDisplayUtf8(device);
    switch (medium.kind) {
    case FloppyPathKind::Other:
        throw Refusal{shown + " non \xC3\xA8 un dischetto n\xC3\xA9 un'immagine di dischetto: formattazione rifiutata"};
    case FloppyPathKind::BlockDevice:
        if (medium.bytes == 0)
            throw Refusal{"Nessun dischetto nell'unit\xC3\xA0 A: (" + shown + ")"};
        if (!isFloppyMedium(medium.bytes, 0))
            throw Refusal{
                notAFloppyText(shown) + " (" + groupedDigits(medium.bytes) + " byte): formattazione rifiutata"};
        if (const std::string mounted = SystemScan(paths).mountPointOf(device); !mounted.empty())
            throw Refusal{"Il dischetto in " + shown + " \xC3\xA8 in uso (montato in " + toDisplayUtf8(mounted)
                + "): smontarlo prima di formattarlo"};
        break;
    case FloppyPathKind::ImageFile:
        if (!isFloppyMedium(medium.bytes, 0) && !(medium.bytes == 0 && !options.quick))
            throw Refusal{
                notAFloppyText(shown) + " (" + groupedDigits(medium.bytes) + " byte): formattazione rifiutata"};
        if (const std::string mounted = SystemScan(paths).mountPointOf(device); !mounted.empty())
            throw Refusal{"L'immagine " + shown + " \xC3\xA8 in uso (montata in " + toDisplayUtf8(mounted)
                + "): smontarla prima di formattarla"};
        break;
    case FloppyPathKind::Missing:
        // Only a name that says "floppy image" is created: a mistyped device path
        // (/dev/sdb with no disk behind it) must not become a file.
        if (!hasImageExtension(device))
            throw Refusal{shown + " non esiste: si crea soltanto un'immagine nuova con estensione .img o .ima"};
        if (options.quick)
            throw Refusal{"L'immagine " + shown
                + " non esiste: la formattazione veloce vuole un dischetto gi\xC3\xA0 formattato"};
        break;
    }
    if (options.quick && medium.bytes != wanted.bytes)
        throw Refusal{std::string("La capacit\xC3\xA0 del dischetto (") + capacityName(medium.bytes)
            + ") non corrisponde a quella richiesta (" + capacityName(wanted.bytes)
            + "): la formattazione veloce non la cambia, usare la formattazione normale"};
    if (medium.kind != FloppyPathKind::BlockDevice && !medium.writable && medium.kind != FloppyPathKind::Missing)
        throw Refusal{"Il dischetto in " + shown + " \xC3\xA8 protetto da scrittura"};
    if (!options.yes && medium.kind != FloppyPathKind::Missing) {
        std::optional<FloppyVolume> volume;
        try {
            volume = readFloppyVolume(device);
        } catch (const EInOutError&) {
            // Nothing readable on it: nothing to lose.
        }
        if (volume && !volume->root.empty()
            && !askYes(in, out,
                "Il dischetto contiene " + rootContents(*volume)
                    + ": la formattazione li cancella. Continuare (S/N)? "))
            throw Refusal{"Formattazione annullata: il dischetto non \xC3\xA8 stato toccato"};
    }

    out << (options.quick ? "Formattazione veloce " : "Formattazione ") << capacityName(wanted.bytes)
        << " in corso...\n"
        << std::flush;
    if (options.quick) {
        formatFileSystem(device, wanted);
    } else if (medium.kind == FloppyPathKind::BlockDevice) {
        const std::vector<std::string> argv = lowLevelFormatArguments(device, wanted.kilobytes);
        const ProgramResult low = runProgram(argv);
        out << low.output;
        if (!low.started)
            throw Refusal{argv.front() + " non \xC3\xA8 installato (pacchetto "
                + (argv.front() == "superformat" ? "fdutils" : "ufiformat")
                + "): usare la formattazione veloce (/Q) su un dischetto gi\xC3\xA0 formattato"};
        if (low.exitCode != 0)
            throw Refusal{"Formattazione a basso livello non riuscita (" + argv.front()
                + "): dischetto difettoso, protetto da scrittura o di un'altra densit\xC3\xA0?"};
        formatFileSystem(device, wanted);
    } else {
        formatNewImage(device, wanted);
    }

    std::int64_t bytesFree = -1;
    try {
        bytesFree = readFloppyVolume(device).bytesFree;
    } catch (const EInOutError&) {
    }
    if (bytesFree < 0)
        throw Refusal{"Formattazione non riuscita: il dischetto non \xC3\xA8 leggibile dopo la formattazione"};
    out << "Formattazione completata.\n\n"
        << "  " << groupedDigits(bytesFree) << " byte di spazio totale su disco\n"
        << "  " << groupedDigits(bytesFree) << " byte disponibili su disco\n\n";
}

}  // namespace

std::vector<std::string> lowLevelFormatArguments(const std::string& device, int kilobytes)
{
    const std::string name = device.substr(device.rfind('/') + 1);
    if (name.compare(0, 2, "fd") == 0)
        return {"superformat", device, kilobytes == 720 ? "dd" : "hd"};
    return {"ufiformat", "-f", std::to_string(kilobytes), device};
}

FormatOptions parseFormatArguments(const std::vector<std::string>& arguments)
{
    FormatOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const std::string word = asciiUpper(arg);
        if (arg == "--floppy" && i + 1 < arguments.size()) {
            options.floppy = arguments[++i];
        } else if (arg == "--hold") {
            options.hold = true;
        } else if (arg == "--yes" || arg == "-y") {
            options.yes = true;
        } else if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
        } else if (word == "/Q") {
            options.quick = true;
        } else if (word == "/F:720" || word == "/F:720K") {
            options.kilobytes = 720;
        } else if (word == "/F:1440" || word == "/F:1.44" || word == "/F:1,44") {
            options.kilobytes = 1440;
        } else if (word.size() == 2 && word[1] == ':' && word[0] >= 'A' && word[0] <= 'Z') {
            options.drive = word;
        } else {
            options.error = "Parametro non valido: " + arg;
            return options;
        }
    }
    if (!options.help && options.drive.empty())
        options.error = "Manca l'unit\xC3\xA0 da formattare (A:)";
    else if (!options.help && options.drive != "A:")
        options.error = "Si pu\xC3\xB2 formattare soltanto l'unit\xC3\xA0 A:, non " + options.drive;
    return options;
}

void holdBeforeClosing(const FormatOptions& options, std::istream& in, std::ostream& out)
{
    if (!options.hold || options.yes)
        return;
    out << "Premere INVIO per chiudere..." << std::flush;
    std::string line;
    std::getline(in, line);
}

int runFormat(const FormatOptions& options, std::istream& in, std::ostream& out, const SystemPaths& paths)
{
    const FloppyTarget target = resolveFloppy(options.floppy, paths);
    if (target.device.empty()) {
        out << "Nessuna unit\xC3\xA0 A: su questo computer: indicare un'immagine con --floppy PERCORSO\n";
        holdBeforeClosing(options, in, out);
        return 1;
    }
    int status = 0;
    for (;;) {
        out << "Inserire un nuovo dischetto nell'unit\xC3\xA0 A: (" << toDisplayUtf8(target.device) << ")\n";
        if (!options.yes) {
            out << "e premere INVIO quando pronti..." << std::flush;
            std::string line;
            if (!std::getline(in, line))
                return 1;
        }
        try {
            if (isAmigaDiskPath(target.device))
                formatAmigaOnce(options, target, in, out);
            else
                formatOnce(options, target, in, out, paths);
        } catch (const Refusal& refusal) {
            out << refusal.message << '\n';
            status = 1;
        }
        if (options.yes || !askYes(in, out, "Formattare un altro dischetto (S/N)? "))
            return status;
    }
}

}  // namespace iradudo
