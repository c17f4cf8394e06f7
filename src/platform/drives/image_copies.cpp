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

// The code for a write that failed with errno set.
int writeFailure()
{
    return errno == ENOSPC || errno == EDQUOT ? int{ErrorDiskFullWrite} : windowsErrorFromErrno(errno);
}

// Copies a file's bytes from the image to fd; 0, or the code of the side that
// failed (an image cut short gives out before the file's end).
int copyInto(int fd, const IsoImage& image, const IsoEntry& file)
{
    std::string chunk(static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, file.size)), '\0');
    for (std::uint64_t done = 0; done < file.size;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), file.size - done));
        if (!image.readAt(file, done, chunk.data(), count))
            return ErrorReadBeyondEnd;
        if (!writeAll(fd, chunk.data(), count))
            return writeFailure();
        done += count;
    }
    return 0;
}

// The same for an open file, read to its end from where it stands.
int copyRestInto(int fd, FileHandle& file)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = file.read(buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0)
            return windowsErrorFromErrno(errno);
        if (!writeAll(fd, buffer, static_cast<std::size_t>(n)))
            return writeFailure();
    }
}

}  // namespace

ImageCopies::~ImageCopies()
{
    if (directoryFd_ < 0)
        return;
    // unlinkat removes a name, never what a link there points to.
    for (const std::string& name : names_)
        ::unlinkat(directoryFd_, name.c_str(), 0);
}

bool ImageCopies::makeDirectory()
{
    if (directoryFd_ >= 0)
        return true;
    folder_ = PrivateFolder::create({});
    if (!folder_)
        return false;
    directoryFd_ = folder_->fd();
    directory_ = folder_->path();
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
    if (!file.valid()) {
        failureCode_ = ErrorFileNotFound;
        return std::nullopt;
    }
    return copyWith(name, [&](int fd) { return copyRestInto(fd, file); });
}

std::optional<std::string> ImageCopies::copyWith(const std::string& fileName, const std::function<int(int fd)>& write)
{
    // The lock file shares the folder with the copies, so its name is no copy's.
    if (!isSingleHostName(fileName) || fileName == kPrivateFolderLock) {
        failureCode_ = ErrorPathNotFound;  // "Invalid filename"
        return std::nullopt;
    }
    if (!makeDirectory()) {
        failureCode_ = writeFailure();
        return std::nullopt;
    }
    const char* name = fileName.c_str();
    if (names_.contains(fileName))
        ::unlinkat(directoryFd_, name, 0);
    const int fd = ::openat(directoryFd_, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        failureCode_ = writeFailure();
        names_.erase(fileName);
        return std::nullopt;
    }
    names_.insert(fileName);
    int failure = write(fd);
    if (::close(fd) != 0 && failure == 0)
        failure = writeFailure();
    if (failure != 0) {
        failureCode_ = failure;
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
    if (!copy.valid() || copyInto(copy.fd(), image, file) != 0 || ::lseek(copy.fd(), 0, SEEK_SET) != 0)
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
        throw EInOutError(copies.failureCode(), file->name);
    const CommandLine command{CommandLine::Kind::Start, *copy, {}};
    return launcher.launch(commandArguments(command), copies.directory());
}

bool startCopiedFile(const std::string& name, FileHandle& file, ImageCopies& copies, CommandLauncher& launcher)
{
    const std::optional<std::string> copy = copies.copy(name, file);
    if (!copy)
        throw EInOutError(copies.failureCode(), name);
    const CommandLine command{CommandLine::Kind::Start, *copy, {}};
    return launcher.launch(commandArguments(command), copies.directory());
}

}  // namespace iradudo
