// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"
#include "platform/private_folder.h"

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
// path: a private folder (PrivateFolder, made on first use) holding each copy
// under the file's own name. The folder and the copies go when this does;
// anything else found in it by then stays until a later start sweeps it.
class ImageCopies {
public:
    ImageCopies() = default;
    ~ImageCopies();
    ImageCopies(const ImageCopies&) = delete;
    ImageCopies& operator=(const ImageCopies&) = delete;

    // Copies a file of the image; the host path of the copy, or nullopt when its
    // name cannot be a single host name or it cannot be read or written
    // (failureCode then says which, as an EInOutError code). A copy
    // of the same name replaces the earlier one (whoever has that open keeps it).
    std::optional<std::string> copy(const IsoImage& image, const IsoEntry& file);
    // The same for a file already open, read to its end from where it stands.
    std::optional<std::string> copy(const std::string& name, FileHandle& file);

    // The private directory; empty until the first copy.
    const std::string& directory() const { return directory_; }
    // Why the last copy failed: an EInOutError code.
    int failureCode() const { return failureCode_; }

private:
    bool makeDirectory();
    // write returns 0 or an EInOutError code.
    std::optional<std::string> copyWith(const std::string& name, const std::function<int(int fd)>& write);

    std::optional<PrivateFolder> folder_;
    int failureCode_ = 0;
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
// nothing started, when the path leads to no file; throws EInOutError naming
// the file, with nothing started, when it cannot be copied out.
bool startImageFile(
    const IsoImage& image, const std::vector<std::string>& path, ImageCopies& copies, CommandLauncher& launcher);

// The same for a file of another medium, already open, under its name there.
// An invalid handle is a file that could not be read.
bool startCopiedFile(const std::string& name, FileHandle& file, ImageCopies& copies, CommandLauncher& launcher);

}  // namespace iradudo
