// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"
#include "base/listed_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace iradudo {

// Attribute bits of a directory entry, as the search operations report them.
enum FileAttribute : std::uint32_t {
    faReadOnly = 0x01,  // not writable
    faHidden = 0x02,    // name begins with "." (not "." or "..")
    faSysFile = 0x04,   // device, FIFO or socket
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,  // every regular file
    faAnyFile = 0x3F,
};

struct FileEntry {
    std::string name;  // bytes as stored; not necessarily UTF-8
    std::uint32_t attributes = 0;
    std::int64_t size = 0;  // full 64-bit size; 0 for directories

    bool isDirectory() const { return (attributes & faDirectory) != 0; }
};

// The operating-system operations the program makes: drives, DOS-style paths,
// the current directory, searches, copying and starting programs.
//
// Paths are DOS-style texts: "D:\GAMES\FOO" (absolute), "D:" + relative, "\X"
// (root of the current drive) or relative names such as "FOO.LHA", "..\X".
// Relative names resolve against the current directory. A component that does not
// exist exactly is looked up case-insensitively (a unique match wins). Names are
// bytes; "/" also separates components.
class Platform {
public:
    virtual ~Platform() = default;

    // --- Drives -------------------------------------------------------------

    // Bit 0 = A: ... bit 25 = Z:.
    virtual std::uint32_t logicalDrives() const = 0;

    // The DriveType code of a letter (either case); DriveUnknown when absent.
    virtual int driveType(char letter) const = 0;

    // The volume label bytes; empty when unreadable (no medium). Never prompts or blocks.
    virtual std::string volumeLabel(char letter) const = 0;

    // A network drive's remote name; nullopt for other drives (callers fall back to the label).
    virtual std::optional<std::string> networkName(char letter) const = 0;

    // The host directory of a drive's root; empty when absent or without medium.
    virtual std::string driveRoot(char letter) const = 0;

    // --- Current directory --------------------------------------------------

    // The absolute DOS path of the current directory: "D:\" at a root, "D:\A\B"
    // below it, with the names' case as stored. Empty when no drive is current.
    virtual std::string currentDirectory() const = 0;

    // The current drive letter (upper case), 0 when none.
    virtual char currentDrive() const = 0;

    // Enters a directory and makes the process's working directory follow it.
    // "X:" alone goes to drive X's own current directory (initially its root).
    // Throws EInOutError: 21 for a drive without medium, 2 for a missing
    // directory, 3 when a parent on the way is missing, 5 when access is denied.
    // On failure the current directory stays as it was.
    virtual void setCurrentDirectory(const std::string& path) = 0;

    // --- Searches -----------------------------------------------------------

    // Calls onEntry for each entry of a directory (the current one when path is
    // empty), unsorted, "." and ".." included below a drive root and not at it,
    // system entries included (attribute faSysFile). Throws EInOutError when the
    // directory cannot be read.
    virtual void readDirectory(const std::string& path, const std::function<void(const FileEntry&)>& onEntry) const = 0;

    // The entry a name or path finds (any attribute), nullopt when none.
    virtual std::optional<FileEntry> findEntry(const std::string& name) const = 0;

    // True when a name finds an entry that is not a directory.
    virtual bool fileExists(const std::string& name) const = 0;

    // Opens an existing regular file for reading (see openRegularFile); an invalid
    // handle for a directory, FIFO, device, socket or a name that finds nothing.
    virtual FileHandle openFile(const std::string& name) const = 0;
    // The same for a name that findEntry has just reported as a regular file (a
    // listing opens thousands of companions): where the drive can, the file is
    // not examined again. Should the name have been swapped for a FIFO or device
    // since, the open and every read still never block.
    virtual FileHandle openListedRegularFile(const std::string& name) const = 0;
    // At most maxBytes from the start of the file openListedRegularFile opens,
    // into bytes (fewer when the file is shorter); false when it cannot be opened
    // or read. A drive that keeps its files inside an image reads them in place,
    // where a handle would first copy the whole file out.
    virtual bool readListedRegularFileHead(const std::string& name, std::size_t maxBytes, std::string& bytes) const = 0;

    // The one way to a file a listing names: name (an entry name, or a path) is
    // resolved in directory (an absolute DOS path; empty: the current directory)
    // by the rules above, so a name holding "\\" or ":" first finds exactly its
    // own entry, then one equal but for ASCII case. The file is opened through the
    // drive that holds it and comes with its stored name and size. Throws
    // EFOpenError with name as given when that finds no readable regular file
    // (the directory missing too). The current directory does not move.
    virtual ListedFile openListedFile(const std::string& directory, const std::string& name) const = 0;

    // While a batch is open, case-insensitive fallbacks in the current directory use
    // one cached read of its names instead of reading the directory per lookup
    // (the exact name is tried first, as names from a listing exist as given).
    // Batches nest. Use NameLookupBatch rather than calling these directly.
    virtual void beginNameBatch() = 0;
    virtual void endNameBatch() = 0;

    // --- Files and programs -------------------------------------------------

    // Copies a file, replacing the destination (see copyFileReplacing). A destination
    // that exists under another letter case is the one replaced. True on success.
    virtual bool copyFile(const std::string& source, const std::string& destination) = 0;

    // Runs one of the program's command lines ("Start NAME") detached, without a
    // shell, in the current directory. True when a program was started.
    virtual bool runCommandLine(const std::string& commandLine) = 0;

    // "Start" for a listed name resolved in directory as openListedFile resolves
    // it: the desktop's opener gets the file's host path, or a private copy of a
    // file other programs cannot reach. True when a program was started. A file
    // that cannot be copied out raises EInOutError (or EFOpenError) naming it.
    virtual bool startListedFile(const std::string& directory, const std::string& name) = 0;
};

// Keeps a name-lookup batch open for its lifetime.
class NameLookupBatch {
public:
    explicit NameLookupBatch(Platform& platform) : platform_(platform) { platform_.beginNameBatch(); }
    ~NameLookupBatch() { platform_.endNameBatch(); }
    NameLookupBatch(const NameLookupBatch&) = delete;
    NameLookupBatch& operator=(const NameLookupBatch&) = delete;

private:
    Platform& platform_;
};

}  // namespace iradudo
