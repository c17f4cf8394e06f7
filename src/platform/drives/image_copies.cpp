// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/image_copies.h"

#include "platform/command_launcher.h"
#include "platform/drives/iso_image.h"
#include "platform/file_copy.h"
#include "platform/io_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {

namespace {

// A name from a disc is untrusted: it must name one entry in the directory.
bool isSingleHostName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".."
        && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// Copies a file's bytes from the image to fd; false when either side fails.
bool copyInto(int fd, const IsoImage& image, const IsoEntry& file)
{
    std::string chunk(static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, file.size)), '\0');
    for (std::uint64_t done = 0; done < file.size;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), file.size - done));
        if (!image.readAt(file, done, chunk.data(), count) || !writeAll(fd, chunk.data(), count))
            return false;
        done += count;
    }
    return true;
}

}  // namespace

ImageCopies::~ImageCopies()
{
    if (directoryFd_ < 0)
        return;
    // unlinkat removes a name, never what a link there points to.
    for (const std::string& name : names_)
        ::unlinkat(directoryFd_, name.c_str(), 0);
    ::close(directoryFd_);
    ::rmdir(directory_.c_str());
}

bool ImageCopies::makeDirectory()
{
    if (directoryFd_ >= 0)
        return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/iradudo-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return false;
    directoryFd_ = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directoryFd_ < 0) {
        ::rmdir(pattern.c_str());
        return false;
    }
    directory_ = pattern;
    return true;
}

std::optional<std::string> ImageCopies::copy(const IsoImage& image, const IsoEntry& file)
{
    if (file.directory)
        return std::nullopt;
    return copyWith(file.name, [&](int fd) { return copyInto(fd, image, file); });
}

std::optional<std::string> ImageCopies::copy(const std::string& name, FileHandle& file)
{
    if (!file.valid())
        return std::nullopt;
    return copyWith(name, [&](int fd) { return copyToEnd(file, fd); });
}

std::optional<std::string> ImageCopies::copyWith(const std::string& fileName, const std::function<bool(int fd)>& write)
{
    if (!isSingleHostName(fileName) || !makeDirectory())
        return std::nullopt;
    const char* name = fileName.c_str();
    if (names_.contains(fileName))
        ::unlinkat(directoryFd_, name, 0);
    const int fd = ::openat(directoryFd_, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        names_.erase(fileName);
        return std::nullopt;
    }
    names_.insert(fileName);
    bool written = write(fd);
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlinkat(directoryFd_, name, 0);
        names_.erase(fileName);
        return std::nullopt;
    }
    return directory_ + "/" + fileName;
}

FileHandle memoryCopy(const IsoImage& image, const IsoEntry& file, std::uint64_t maxBytes)
{
    if (file.directory || file.size > maxBytes)
        return {};
    FileHandle copy(::memfd_create("iradudo-disc-file", MFD_CLOEXEC));
    if (!copy.valid() || !copyInto(copy.fd(), image, file) || ::lseek(copy.fd(), 0, SEEK_SET) != 0)
        return {};
    return copy;
}

bool startImageFile(
    const IsoImage& image, const std::vector<std::string>& path, ImageCopies& copies, CommandLauncher& launcher)
{
    std::optional<IsoEntry> file;
    try {
        file = image.findEntry(path);
    } catch (const EInOutError&) {
        return false;
    }
    if (!file || file->directory)
        return false;
    const std::optional<std::string> copy = copies.copy(image, *file);
    if (!copy)
        return false;
    const CommandLine command{CommandLine::Kind::Start, *copy, {}};
    return launcher.launch(commandArguments(command), copies.directory());
}

bool startCopiedFile(const std::string& name, FileHandle& file, ImageCopies& copies, CommandLauncher& launcher)
{
    const std::optional<std::string> copy = copies.copy(name, file);
    if (!copy)
        return false;
    const CommandLine command{CommandLine::Kind::Start, *copy, {}};
    return launcher.launch(commandArguments(command), copies.directory());
}

}  // namespace iradudo
