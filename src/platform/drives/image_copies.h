// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace iradudo {

class CommandLauncher;
class IsoImage;
struct IsoEntry;

// Host copies of files from disc images, for programs that can only open a
// path: a private directory (mode 0700, made on first use) holding each copy
// under the file's own name. The directory and the copies go when this does;
// anything else found in it by then stays.
class ImageCopies {
public:
    ImageCopies() = default;
    ~ImageCopies();
    ImageCopies(const ImageCopies&) = delete;
    ImageCopies& operator=(const ImageCopies&) = delete;

    // Copies a file of the image; the host path of the copy, or nullopt when its
    // name cannot be a single host name or it cannot be read or written. A copy
    // of the same name replaces the earlier one (whoever has that open keeps it).
    std::optional<std::string> copy(const IsoImage& image, const IsoEntry& file);
    // The same for a file already open, read to its end from where it stands.
    std::optional<std::string> copy(const std::string& name, FileHandle& file);

    // The private directory; empty until the first copy.
    const std::string& directory() const { return directory_; }

private:
    bool makeDirectory();
    std::optional<std::string> copyWith(const std::string& name, const std::function<bool(int fd)>& write);

    std::string directory_;
    int directoryFd_ = -1;
    std::set<std::string> names_;  // the copies made, to remove no more than them
};

// A file of an image as an open handle on an anonymous memory file holding its
// bytes, for readers that go through a descriptor. Read across in pieces, so
// the file is held once, not twice; an invalid handle for a directory, a file
// over maxBytes or one the image cannot give.
FileHandle memoryCopy(const IsoImage& image, const IsoEntry& file, std::uint64_t maxBytes);

// "Start NAME" for the file at path on an image: its copy opened by the
// desktop's opener, the copies' directory as working directory. False, with
// nothing started, when the path leads to no file.
bool startImageFile(
    const IsoImage& image, const std::vector<std::string>& path, ImageCopies& copies, CommandLauncher& launcher);

// The same for a file of another medium, already open, under its name there.
bool startCopiedFile(const std::string& name, FileHandle& file, ImageCopies& copies, CommandLauncher& launcher);

}  // namespace iradudo
