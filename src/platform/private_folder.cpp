// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/private_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace iradudo {

namespace {

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The folders alive now, for removeLivePrivateFolders.
std::set<std::string>& liveFolders()
{
    static std::set<std::string> folders;
    return folders;
}

void closeKeepingErrno(int fd)
{
    const int saved = errno;
    if (fd >= 0)
        ::close(fd);
    errno = saved;
}

// The names in a directory, "." and ".." left out; at most budget of them.
std::vector<std::string> namesIn(int directoryFd, int& budget)
{
    std::vector<std::string> names;
    const int copy = ::fcntl(directoryFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return names;
    DIR* stream = ::fdopendir(copy);
    if (stream == nullptr) {
        ::close(copy);
        return names;
    }
    ::rewinddir(stream);
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (--budget < 0)
            break;
        names.emplace_back(name);
    }
    ::closedir(stream);
    return names;
}

// Removes what a directory holds, skipping keep; links are removed as links and
// subdirectories entered only without following a link. True when all went.
bool removeContents(int directoryFd, int depth, int& budget, std::string_view keep = {})
{
    bool all = true;
    for (const std::string& name : namesIn(directoryFd, budget)) {
        if (name == keep)
            continue;
        struct stat status { };
        if (::fstatat(directoryFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            all = false;
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (depth >= kSweepMaxDepth) {
                all = false;
                continue;
            }
            const int sub = ::openat(directoryFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                all = false;
                continue;
            }
            all = removeContents(sub, depth + 1, budget) && all;
            ::close(sub);
            all = ::unlinkat(directoryFd, name.c_str(), AT_REMOVEDIR) == 0 && all;
        } else {
            all = ::unlinkat(directoryFd, name.c_str(), 0) == 0 && all;
        }
    }
    return all && budget >= 0;
}

// Removes a folder (named name in parent) whose lock the caller holds, the lock
// file last, so a folder that cannot be emptied keeps saying whose it was.
bool removeLockedFolder(int parentFd, const std::string& name, int folderFd, int& budget)
{
    if (!removeContents(folderFd, 1, budget, kPrivateFolderLock))
        return false;
    ::unlinkat(folderFd, std::string(kPrivateFolderLock).c_str(), 0);
    return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
}

std::pair<std::string, std::string> splitPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

}  // namespace

std::string temporaryDirectory()
{
    // The mtools configuration names a link inside the private folder, and its
    // reader takes \ escapes, $VARIABLES and quotes even there.
    const char* tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || *tmp != '/')
        return "/tmp";
    const std::string_view path(tmp);
    const bool plain = std::none_of(path.begin(), path.end(),
        [](char c) { return c == '\\' || c == '$' || c == '"' || c == '\'' || static_cast<unsigned char>(c) < 0x20; });
    return plain ? std::string(path) : "/tmp";
}

PrivateFolder::PrivateFolder(std::string path, int folderFd, int lockFd)
    : path_(std::move(path)), folderFd_(folderFd), lockFd_(lockFd)
{
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : path_(std::move(other.path_)), folderFd_(other.folderFd_), lockFd_(other.lockFd_)
{
    other.path_.clear();
    other.folderFd_ = -1;
    other.lockFd_ = -1;
}

std::optional<PrivateFolder> PrivateFolder::create(std::string_view purpose)
{
    std::string pattern = temporaryDirectory() + "/" + std::string(kPrivateFolderPrefix);
    if (!purpose.empty())
        pattern += std::string(purpose) + "-";
    pattern += "XXXXXX";
    // Held while the folder is made and locked, so a signal's clean-up sees it
    // either not yet made or locked and listed.
    const std::lock_guard guard(registryMutex());
    if (::mkdtemp(pattern.data()) == nullptr)
        return std::nullopt;
    const int folderFd = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int lockFd = folderFd < 0 ? -1
                                    : ::openat(folderFd, std::string(kPrivateFolderLock).c_str(),
                                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd < 0 || ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno;
        if (lockFd >= 0)
            ::unlinkat(folderFd, std::string(kPrivateFolderLock).c_str(), 0);
        closeKeepingErrno(lockFd);
        closeKeepingErrno(folderFd);
        ::rmdir(pattern.c_str());
        errno = saved;
        return std::nullopt;
    }
    liveFolders().insert(pattern);
    return PrivateFolder(pattern, folderFd, lockFd);
}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept
{
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        folderFd_ = std::exchange(other.folderFd_, -1);
        lockFd_ = std::exchange(other.lockFd_, -1);
        other.path_.clear();
    }
    return *this;
}

PrivateFolder::~PrivateFolder()
{
    release();
}

void PrivateFolder::release()
{
    if (folderFd_ < 0)
        return;
    const std::lock_guard guard(registryMutex());
    liveFolders().erase(path_);
    // Only the lock file left: the folder goes. Anything else stays with the
    // lock file until a later sweep, once this program no longer holds it.
    int budget = 2;
    const std::vector<std::string> names = namesIn(folderFd_, budget);
    if (names.size() == 1 && names.front() == kPrivateFolderLock) {
        ::unlinkat(folderFd_, std::string(kPrivateFolderLock).c_str(), 0);
        ::rmdir(path_.c_str());
    }
    ::close(lockFd_);
    ::close(folderFd_);
    folderFd_ = -1;
    lockFd_ = -1;
}

SweepResult sweepStalePrivateFolders(const std::string& directory)
{
    SweepResult result;
    const int parentFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return result;
    int budget = kSweepMaxEntries;
    const std::time_t now = std::time(nullptr);
    const uid_t me = ::geteuid();
    for (const std::string& name : namesIn(parentFd, budget)) {
        if (!name.starts_with(kPrivateFolderPrefix))
            continue;
        struct stat status { };
        if (::fstatat(parentFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(status.st_mode)
            || status.st_uid != me) {
            ++result.keptFolders;
            continue;
        }
        if (now - status.st_mtime < kSweepGraceSeconds) {
            ++result.keptFolders;
            continue;
        }
        const int folderFd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened { };
        // The name may have changed hands since it was looked at: the folder
        // opened must be the one that was checked.
        if (folderFd < 0 || ::fstat(folderFd, &opened) != 0 || opened.st_dev != status.st_dev
            || opened.st_ino != status.st_ino) {
            closeKeepingErrno(folderFd);
            ++result.keptFolders;
            continue;
        }
        const int lockFd = ::openat(
            folderFd, std::string(kPrivateFolderLock).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        // A folder without the lock file is not marked as ours (other programs and
        // tests share the prefix): it stays, even empty.
        bool removed = false;
        struct stat lockStatus { };
        if (lockFd >= 0 && ::fstat(lockFd, &lockStatus) == 0 && S_ISREG(lockStatus.st_mode)
            && ::flock(lockFd, LOCK_EX | LOCK_NB) == 0)
            removed = removeLockedFolder(parentFd, name, folderFd, budget);
        closeKeepingErrno(lockFd);
        ::close(folderFd);
        ++(removed ? result.removedFolders : result.keptFolders);
    }
    ::close(parentFd);
    return result;
}

void removeLivePrivateFolders()
{
    const std::lock_guard guard(registryMutex());
    for (const std::string& path : liveFolders()) {
        const auto [parent, name] = splitPath(path);
        const int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int folderFd
            = parentFd < 0 ? -1 : ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int budget = kSweepMaxEntries;
        if (folderFd >= 0)
            removeLockedFolder(parentFd, name, folderFd, budget);
        closeKeepingErrno(folderFd);
        closeKeepingErrno(parentFd);
    }
    liveFolders().clear();
}

}  // namespace iradudo
