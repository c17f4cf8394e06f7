#include "platform/linux_platform.h"

#include "platform/file_copy.h"
#include "platform/io_error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace iradudo {
namespace {

char upperLetter(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case folding of the volumes the discs come from: ASCII letters only, so a
// Latin-1 or UTF-8 name never matches a different name by accident.
std::string foldCase(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::vector<std::string> splitComponents(std::string_view text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isSeparator(text[i])) {
            if (i > start)
                parts.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool entryExists(const std::string& hostPath, int& error)
{
    struct stat info {};
    if (::lstat(hostPath.c_str(), &info) == 0)
        return true;
    error = errno;
    return false;
}

FileEntry entryFromStat(std::string name, const struct stat& info)
{
    FileEntry entry;
    entry.name = std::move(name);
    if (S_ISDIR(info.st_mode))
        entry.attributes |= faDirectory;
    else if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
        entry.attributes |= faArchive;
    else
        entry.attributes |= faSysFile;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        entry.attributes |= faReadOnly;
    if (entry.name.size() > 1 && entry.name[0] == '.' && entry.name != "..")
        entry.attributes |= faHidden;
    if (S_ISREG(info.st_mode))
        entry.size = static_cast<std::int64_t>(info.st_size);
    return entry;
}

// Calls onName for every name in a host directory; false when it cannot be read.
template <typename F>
bool forEachName(const std::string& hostDirectory, F&& onName, int& error)
{
    DIR* dir = ::opendir(hostDirectory.c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        onName(entry->d_name);
        errno = 0;
    }
    error = errno;
    ::closedir(dir);
    return error == 0;
}

}  // namespace

// The names of one directory, read once for a batch of lookups.
struct LinuxPlatform::NameCache {
    std::string hostDirectory;
    std::unordered_set<std::string> exact;
    std::unordered_map<std::string, std::string> folded;  // folded -> actual; "" when ambiguous
};

struct LinuxPlatform::Resolved {
    Location location;     // the full path, last component included
    std::string hostPath;
    int errorCode = 0;     // Windows code when the path cannot be resolved
    bool lastExists = true;
};

LinuxPlatform::LinuxPlatform(DriveTable drives, std::shared_ptr<CommandLauncher> launcher)
    : launcher_(launcher ? std::move(launcher) : std::make_shared<DetachedLauncher>())
{
    // Roots are kept canonical so the working directory can be mapped back onto them.
    std::vector<Drive> list = drives.drives();
    for (Drive& drive : list) {
        char resolved[PATH_MAX];
        if (!drive.root.empty() && ::realpath(drive.root.c_str(), resolved))
            drive.root = resolved;
    }
    drives_ = DriveTable(std::move(list));

    char cwd[PATH_MAX];
    const std::string workingDirectory = ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
    if (const std::optional<Location> start = locationOfHostPath(workingDirectory)) {
        currentDrive_ = start->drive;
        driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')] = start->components;
    } else {
        for (const Drive& drive : drives_.drives()) {
            if (!drive.root.empty()) {
                currentDrive_ = drive.letter;
                [[maybe_unused]] const int ignored = ::chdir(drive.root.c_str());
                break;
            }
        }
    }
}

LinuxPlatform::~LinuxPlatform() = default;

std::optional<LinuxPlatform::Location> LinuxPlatform::locationOfHostPath(const std::string& canonicalPath) const
{
    std::optional<Location> best;
    std::size_t bestLength = 0;
    for (const Drive& drive : drives_.drives()) {
        const std::string& root = drive.root;
        if (root.empty() || canonicalPath.empty())
            continue;
        const bool inside = canonicalPath == root
            || (canonicalPath.compare(0, root.size(), root) == 0
                && (root.back() == '/' || canonicalPath[root.size()] == '/'));
        if (inside && (!best || root.size() > bestLength)) {
            bestLength = root.size();
            best = Location{drive.letter, splitComponents(std::string_view(canonicalPath).substr(root.size()))};
        }
    }
    return best;
}

std::optional<std::string> LinuxPlatform::dosPathForHostPath(const std::string& hostPath) const
{
    char resolved[PATH_MAX];
    if (!::realpath(hostPath.c_str(), resolved))
        return std::nullopt;
    const std::optional<Location> location = locationOfHostPath(resolved);
    if (!location)
        return std::nullopt;
    return dosPathOf(*location);
}

std::unique_ptr<LinuxPlatform> LinuxPlatform::fromSystem(const std::vector<std::string>& discDirectories)
{
    return std::make_unique<LinuxPlatform>(buildSystemDriveTable(discDirectories));
}

std::uint32_t LinuxPlatform::logicalDrives() const
{
    return drives_.presentMask();
}

int LinuxPlatform::driveType(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive ? drive->type : DriveUnknown;
}

std::string LinuxPlatform::volumeLabel(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive && !drive->root.empty() ? drive->label : std::string();
}

std::optional<std::string> LinuxPlatform::networkName(char letter) const
{
    const Drive* drive = drives_.find(letter);
    if (!drive || drive->type != DriveRemote || drive->remoteName.empty())
        return std::nullopt;
    return drive->remoteName;
}

std::string LinuxPlatform::driveRoot(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive ? drive->root : std::string();
}

std::string LinuxPlatform::dosPathOf(const Location& location)
{
    std::string path{location.drive, ':', '\\'};
    for (std::size_t i = 0; i < location.components.size(); ++i) {
        if (i > 0)
            path.push_back('\\');
        path += location.components[i];
    }
    return path;
}

std::string LinuxPlatform::hostPathOf(const Location& location) const
{
    const Drive* drive = drives_.find(location.drive);
    std::string path = drive ? drive->root : std::string();
    for (const std::string& component : location.components) {
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path += component;
    }
    return path;
}

std::string LinuxPlatform::currentDirectory() const
{
    if (currentDrive_ == 0)
        return {};
    return dosPathOf({currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]});
}

std::optional<std::string> LinuxPlatform::matchName(const std::string& hostDirectory, const std::string& name,
                                                    bool inCurrentDirectory) const
{
    if (batchDepth_ > 0 && inCurrentDirectory) {
        if (!batchCache_ || batchCache_->hostDirectory != hostDirectory) {
            auto cache = std::make_unique<NameCache>();
            cache->hostDirectory = hostDirectory;
            int error = 0;
            forEachName(hostDirectory, [&](const char* entry) {
                cache->exact.insert(entry);
                auto [it, inserted] = cache->folded.try_emplace(foldCase(entry), entry);
                if (!inserted)
                    it->second.clear();
            }, error);
            batchCache_ = std::move(cache);
        }
        if (batchCache_->exact.count(name))
            return name;
        const auto found = batchCache_->folded.find(foldCase(name));
        if (found == batchCache_->folded.end() || found->second.empty())
            return std::nullopt;
        return found->second;
    }

    int error = 0;
    const std::string exactPath = hostDirectory + (hostDirectory.ends_with('/') ? "" : "/") + name;
    if (entryExists(exactPath, error) || error != ENOENT)
        return name;  // other errors show when the entry is used
    const std::string wanted = foldCase(name);
    std::optional<std::string> match;
    bool ambiguous = false;
    forEachName(hostDirectory, [&](const char* entry) {
        if (foldCase(entry) == wanted) {
            ambiguous = ambiguous || match.has_value();
            match = entry;
        }
    }, error);
    if (ambiguous)
        return std::nullopt;
    return match;
}

LinuxPlatform::Resolved LinuxPlatform::resolve(const std::string& path, bool lastMayBeMissing) const
{
    Resolved result;
    std::string_view rest = path;
    char letter = currentDrive_;
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        letter = upperLetter(rest[0]);
        rest.remove_prefix(2);
    }
    const Drive* drive = drives_.find(letter);
    if (!drive) {
        result.errorCode = ErrorInvalidDrive;
        return result;
    }
    if (drive->root.empty()) {
        result.errorCode = ErrorNotReady;
        return result;
    }
    result.location.drive = letter;
    const bool absolute = !rest.empty() && isSeparator(rest.front());
    if (!absolute)
        result.location.components = driveDirectories_[static_cast<std::size_t>(letter - 'A')];
    const bool startsInCurrent = !absolute && letter == currentDrive_;

    std::vector<std::string>& components = result.location.components;
    const std::vector<std::string> parts = splitComponents(rest);
    bool inCurrent = startsInCurrent;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == ".")
            continue;
        if (part == "..") {
            if (!components.empty())
                components.pop_back();
            inCurrent = false;
            continue;
        }
        const std::string directory = hostPathOf(result.location);
        const std::optional<std::string> actual = matchName(directory, part, inCurrent);
        inCurrent = false;
        const bool last = i + 1 == parts.size();
        if (!actual) {
            if (!last) {
                result.errorCode = ErrorPathNotFound;
                return result;
            }
            if (!lastMayBeMissing) {
                result.errorCode = ErrorFileNotFound;
                return result;
            }
            result.lastExists = false;
            components.push_back(part);
            break;
        }
        components.push_back(*actual);
    }
    result.hostPath = hostPathOf(result.location);
    return result;
}

void LinuxPlatform::setCurrentDirectory(const std::string& path)
{
    const Resolved target = resolve(path, false);
    if (target.errorCode != 0)
        throw EInOutError(target.errorCode);
    if (::chdir(target.hostPath.c_str()) != 0)
        throw EInOutError(windowsErrorFromErrno(errno));
    currentDrive_ = target.location.drive;
    driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')] = target.location.components;
    if (batchCache_ && batchCache_->hostDirectory != target.hostPath)
        batchCache_.reset();
}

void LinuxPlatform::readDirectory(const std::string& path,
                                  const std::function<void(const FileEntry&)>& onEntry) const
{
    Resolved target;
    if (path.empty()) {
        if (currentDrive_ == 0)
            throw EInOutError(ErrorInvalidDrive);
        target.location = {currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]};
        target.hostPath = hostPathOf(target.location);
    } else {
        target = resolve(path, false);
        if (target.errorCode != 0)
            throw EInOutError(target.errorCode);
    }
    const bool atRoot = target.location.components.empty();

    DIR* dir = ::opendir(target.hostPath.c_str());
    if (!dir)
        throw EInOutError(windowsErrorFromErrno(errno));
    const int dirFd = ::dirfd(dir);
    int error = 0;
    try {
        for (;;) {
            errno = 0;
            const dirent* raw = ::readdir(dir);
            if (!raw) {
                error = errno;
                break;
            }
            const std::string_view name = raw->d_name;
            if (atRoot && (name == "." || name == ".."))
                continue;
            struct stat info {};
            if (::fstatat(dirFd, raw->d_name, &info, 0) != 0
                && ::fstatat(dirFd, raw->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone since the directory was read
            onEntry(entryFromStat(std::string(name), info));
        }
    } catch (...) {
        ::closedir(dir);
        throw;
    }
    ::closedir(dir);
    if (error != 0)
        throw EInOutError(windowsErrorFromErrno(error));
}

std::optional<FileEntry> LinuxPlatform::findEntry(const std::string& name) const
{
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return std::nullopt;
    struct stat info {};
    if (::stat(target.hostPath.c_str(), &info) != 0 && ::lstat(target.hostPath.c_str(), &info) != 0)
        return std::nullopt;
    const auto& components = target.location.components;
    return entryFromStat(components.empty() ? std::string() : components.back(), info);
}

bool LinuxPlatform::fileExists(const std::string& name) const
{
    const std::optional<FileEntry> entry = findEntry(name);
    return entry && !entry->isDirectory();
}

FileHandle LinuxPlatform::openFile(const std::string& name) const
{
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return {};
    // O_NONBLOCK so a FIFO cannot stall the caller; it is refused just below.
    FileHandle file(::open(target.hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (!file.valid() || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const int flags = ::fcntl(file.fd(), F_GETFL);
    if (flags >= 0)
        ::fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK);
    return file;
}

std::optional<std::string> LinuxPlatform::hostPath(const std::string& name) const
{
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return std::nullopt;
    int error = 0;
    if (!entryExists(target.hostPath, error))
        return std::nullopt;
    return target.hostPath;
}

void LinuxPlatform::beginNameBatch()
{
    ++batchDepth_;
}

void LinuxPlatform::endNameBatch()
{
    if (batchDepth_ > 0 && --batchDepth_ == 0)
        batchCache_.reset();
}

bool LinuxPlatform::copyFile(const std::string& source, const std::string& destination)
{
    const Resolved from = resolve(source, false);
    const Resolved to = resolve(destination, true);
    if (from.errorCode != 0 || to.errorCode != 0 || to.location.components.empty())
        return false;
    return copyFileReplacing(from.hostPath, to.hostPath);
}

bool LinuxPlatform::runCommandLine(const std::string& commandLine)
{
    std::string line = commandLine;
    constexpr std::string_view start = "Start ";
    if (line.size() > start.size() && foldCase(line.substr(0, start.size())) == foldCase(start)) {
        const std::string name = line.substr(start.size());
        const bool bareName = name.find_first_of("\\/:") == std::string::npos;
        if (bareName && currentDrive_ != 0) {
            const Resolved target = resolve(name, true);
            if (target.errorCode == 0 && target.lastExists)
                line = std::string(start) + target.location.components.back();
        }
    }
    const std::optional<std::vector<std::string>> argv = commandLineToArguments(line);
    if (!argv)
        return false;
    const std::string workingDirectory =
        currentDrive_ == 0 ? std::string()
                           : hostPathOf({currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]});
    return launcher_->launch(*argv, workingDirectory);
}

}  // namespace iradudo
