// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_copy.h"

#include "base/file_handle.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace iradudo {
namespace {

// Opens a fresh temporary file beside path; the name is returned through tempPath.
int createTemporaryBeside(const std::string& path, std::string& tempPath)
{
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(entropy()));
        tempPath = directory + ".iradudo-copy-" + suffix + ".tmp";
        // Mode 0666 less the umask, as any new file would get.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyToEnd(FileHandle& source, int fd)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = source.read(buffer, sizeof buffer);
        if (n <= 0)
            return n == 0;
        if (!writeAll(fd, buffer, static_cast<std::size_t>(n)))
            return false;
    }
}

bool copyFileReplacing(const std::string& sourceHostPath, const std::string& destinationHostPath)
{
    FileHandle in = openRegularFile(sourceHostPath);
    return copyFileReplacing(in, destinationHostPath);
}

bool copyFileReplacing(FileHandle& in, const std::string& destinationHostPath)
{
    if (!in.valid())
        return false;
    std::string tempPath;
    const int out = createTemporaryBeside(destinationHostPath, tempPath);
    if (out < 0)
        return false;
    bool ok = copyToEnd(in, out);
    ok = ok && ::fsync(out) == 0;
    ok = (::close(out) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), destinationHostPath.c_str()) == 0;
    if (!ok)
        ::unlink(tempPath.c_str());
    return ok;
}

}  // namespace iradudo
