// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace iradudo {

class CommandLauncher;
class ImageCopies;

// How one drive's medium is read: a host directory, a disc image, a floppy
// through mtools. LinuxPlatform parses DOS paths and keeps the current
// directories; a backend answers for paths already split into the names below
// its root. Names are bytes as the medium stores them.
class DriveBackend {
public:
    using Path = std::vector<std::string>;

    virtual ~DriveBackend() = default;

    // The label bytes the medium reports; nullopt leaves the drive table's label.
    virtual std::optional<std::string> volumeLabel() const { return std::nullopt; }

    // The stored name that name finds in a directory: the exact one first, else the
    // one equal but for ASCII case (a unique match wins); nullopt when none.
    // inCurrent: the directory is the current one, which an open name batch may
    // answer from. Throws EInOutError when the medium cannot be read.
    virtual std::optional<std::string> matchName(
        const Path& directory, const std::string& name, bool inCurrent) const = 0;

    // Makes a directory the drive's current one, the process following where it
    // can. Throws EInOutError and changes nothing when it cannot be entered.
    virtual void enter(const Path& directory) = 0;
    // The directory the platform starts in; never throws.
    virtual void startIn(const Path&) { }

    // A directory's entries, unsorted, "." and ".." included below the root.
    // Throws EInOutError when the directory cannot be read.
    virtual void list(const Path& directory, const std::function<void(const FileEntry&)>& onEntry) const = 0;

    // The entry a path finds, the root with an empty name; nullopt when none.
    virtual std::optional<FileEntry> entry(const Path& path) const = 0;

    // A regular file opened for reading; an invalid handle for anything else.
    virtual FileHandle open(const Path& path) const = 0;

    // At most maxBytes from the start of a regular file (see
    // Platform::readListedRegularFileHead); through open() unless the drive can
    // read in place.
    virtual bool readHead(const Path& path, std::size_t maxBytes, std::string& bytes) const;

    // Copies a file out to a host path, replacing what is there (copyFileReplacing).
    virtual bool copyOut(const Path& path, const std::string& hostDestination) const;

    // Whether files may be copied onto the drive through the platform.
    virtual bool writable() const { return false; }

    // Whether the drive's files are host files that other programs can open.
    virtual bool hasHostPaths() const { return false; }
    // "Start" for a file other programs cannot reach: a host copy of it in copies,
    // opened there. False, with nothing started, when the path leads to no file;
    // throws (EFOpenError, EInOutError) naming the file when it cannot be copied.
    virtual bool startCopy(const Path& path, ImageCopies& copies, CommandLauncher& launcher) const;

    // Bare names in the current directory, answered without resolving a path
    // (a listing looks up thousands of them); only when answersBareNames().
    virtual bool answersBareNames() const { return false; }
    virtual std::optional<FileEntry> bareEntry(const std::string&) const { return std::nullopt; }
    // listedRegular: bareEntry has just found it a regular file.
    virtual FileHandle openBare(const std::string&, bool /*listedRegular*/) const { return {}; }

    // The outermost name batch opens and closes; see Platform::beginNameBatch.
    virtual void batchBegan() { }
    virtual void batchEnded() { }
};

// A drive whose root is a host directory (canonical path).
std::unique_ptr<DriveBackend> makeHostDirectoryBackend(const std::string& root);

// A disc image read in place. Throws EFOpenError when it is no readable image.
std::unique_ptr<DriveBackend> makeDiscImageBackend(const std::string& imagePath);

// An unmounted floppy (block device or image file) read in process as a FAT12 or
// FAT16 file system. A medium that holds none gives ErrorNotReady; a directory
// whose structures are broken gives ErrorIoDevice and the rest still lists.
std::unique_ptr<DriveBackend> makeFatFloppyBackend(const std::string& deviceOrImage);

// At most maxBytes of an open file from where it stands; false on a read error
// or an invalid handle.
bool readHead(FileHandle& file, std::size_t maxBytes, std::string& bytes);

// An Amiga disk file (".adf") read in place. A file that holds no Amiga disk
// gives ErrorNotReady when it is read.
std::unique_ptr<DriveBackend> makeAdfBackend(const std::string& imagePath);

// A file's bytes as an open handle: an anonymous memory file, so readers go on
// reading through a descriptor. Invalid when it cannot be made.
FileHandle memoryFile(const std::string& bytes);

}  // namespace iradudo
