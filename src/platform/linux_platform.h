// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/command_launcher.h"
#include "platform/drive_table.h"
#include "platform/platform.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace iradudo {

class DriveBackend;
class ImageCopies;

// The Linux platform: drive letters over a DriveTable whose roots are host
// directories, or disc image files read in place, and an unmounted floppy read
// through mtools; each drive's medium is read by its DriveBackend. The current directory starts as the process's working directory
// when it lies on a drive (longest root wins), else at the first drive with a root.
class LinuxPlatform : public Platform {
public:
    // launcher: nullptr selects DetachedLauncher. Tests pass a recording launcher.
    explicit LinuxPlatform(DriveTable drives, std::shared_ptr<CommandLauncher> launcher = nullptr);
    ~LinuxPlatform() override;

    // The production platform: the system's drive table plus the disc directories.
    static std::unique_ptr<LinuxPlatform> fromSystem(const std::vector<std::string>& discDirectories);

    const DriveTable& driveTable() const { return drives_; }

    // The DOS path of an existing host directory or file: the drive whose root holds
    // it (the longest root wins) and the names below. nullopt when no drive holds it.
    std::optional<std::string> dosPathForHostPath(const std::string& hostPath) const;

    std::uint32_t logicalDrives() const override;
    int driveType(char letter) const override;
    std::string volumeLabel(char letter) const override;
    std::optional<std::string> networkName(char letter) const override;
    std::string driveRoot(char letter) const override;

    std::string currentDirectory() const override;
    char currentDrive() const override { return currentDrive_; }
    void setCurrentDirectory(const std::string& path) override;

    void readDirectory(const std::string& path, const std::function<void(const FileEntry&)>& onEntry) const override;
    std::optional<FileEntry> findEntry(const std::string& name) const override;
    bool fileExists(const std::string& name) const override;
    FileHandle openFile(const std::string& name) const override;
    FileHandle openListedRegularFile(const std::string& name) const override;
    bool readListedRegularFileHead(const std::string& name, std::size_t maxBytes, std::string& bytes) const override;
    ListedFile openListedFile(const std::string& directory, const std::string& name) const override;
    void beginNameBatch() override;
    void endNameBatch() override;

    bool copyFile(const std::string& source, const std::string& destination) override;
    bool runCommandLine(const std::string& commandLine) override;
    bool startListedFile(const std::string& directory, const std::string& name) override;

    // A position on a drive: the letter and the directory names below its root.
    struct Location {
        char drive = 0;
        std::vector<std::string> components;
    };

private:
    struct Resolved;

    std::optional<Location> locationOfHostPath(const std::string& canonicalPath) const;
    Location currentLocation() const;
    Resolved resolve(const std::string& path, bool lastMayBeMissing) const;
    Resolved resolveIn(const Location& base, const std::string& path, bool lastMayBeMissing) const;
    std::optional<Location> directoryLocation(const std::string& directory) const;
    std::optional<Location> literalLocation(const Location& base, const std::string& path) const;
    bool startIn(const Location& base, const std::string& name);
    std::string hostPathOf(const Location& location) const;
    static std::string dosPathOf(const Location& location);
    bool isLeafInCurrentDirectory(const std::string& name) const;
    DriveBackend* backendOf(char letter) const;

    DriveTable drives_;
    std::shared_ptr<CommandLauncher> launcher_;
    char currentDrive_ = 0;
    std::array<std::vector<std::string>, 26> driveDirectories_;  // each drive's own current directory
    int batchDepth_ = 0;
    std::array<std::unique_ptr<DriveBackend>, 26> backends_;  // none: the drive has no readable medium
    std::unique_ptr<ImageCopies> fileCopies_;                 // files of images and unmounted floppies started by name
};

}  // namespace iradudo
