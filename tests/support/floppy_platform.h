// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"
#include "platform/linux_platform.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace iradudo::test {

// A platform whose A: is a floppy medium (an image file) and whose C: is an empty
// host folder, for tests that browse A: as the window does.
class FloppyPlatformTest : public ::testing::Test {
protected:
    void makePlatform(const std::string& floppy)
    {
        Drive a = makeDrive('A', DriveRemovable, "");
        a.floppy = floppy;
        launcher = std::make_shared<RecordingLauncher>();
        platform
            = std::make_unique<LinuxPlatform>(DriveTable({a, makeDrive('C', DriveFixed, host.string())}), launcher);
    }

    std::map<std::string, FileEntry> listing(const std::string& path) const
    {
        std::map<std::string, FileEntry> entries;
        platform->readDirectory(path, [&](const FileEntry& entry) { entries[entry.name] = entry; });
        return entries;
    }

    // A file's bytes through the platform; "<none>" when it does not open or read.
    std::string bytesOf(const std::string& path) const
    {
        FileHandle file = platform->openFile(path);
        std::string bytes;
        if (!file.valid() || readWholeFile(file, 1 << 22, bytes) != WholeFileRead::Complete)
            return "<none>";
        return bytes;
    }

    WorkingDirectoryGuard guard;
    TempDir dir;
    std::string image;
    std::filesystem::path host;
    std::shared_ptr<RecordingLauncher> launcher;
    std::unique_ptr<LinuxPlatform> platform;
};

}  // namespace iradudo::test
