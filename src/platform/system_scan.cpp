// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_scan.h"

#include "base/file_handle.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace iradudo {
namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// At most maxBytes of a file; complete says whether that was all of it.
std::string readPrefix(const std::string& path, std::size_t maxBytes, bool& complete)
{
    complete = false;
    FileHandle file = openRegularFile(path);
    std::string bytes;
    if (!file.valid())
        return bytes;
    constexpr std::size_t kChunk = 64 << 10;
    for (;;) {
        const std::size_t size = bytes.size();
        if (size >= maxBytes)
            return bytes;
        bytes.resize(size + std::min(kChunk, maxBytes - size));
        const ssize_t n = file.read(bytes.data() + size, bytes.size() - size);
        if (n <= 0) {
            bytes.resize(size);
            complete = n == 0;
            return bytes;
        }
        bytes.resize(size + static_cast<std::size_t>(n));
    }
}

std::string readAttribute(const std::string& path)
{
    bool complete = false;
    return readPrefix(path, SystemScan::kMaxAttributeBytes, complete);
}

std::string firstWord(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(" \t\n");
    if (begin == std::string_view::npos)
        return {};
    const std::size_t end = text.find_first_of(" \t\n", begin);
    return std::string(text.substr(begin, end == std::string_view::npos ? end : end - begin));
}

// Shortest first, then by name: sr2 before sr10.
void sortNames(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(),
        [](const std::string& a, const std::string& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
}

std::vector<std::string> listNames(const std::string& directory)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            if (names.size() == SystemScan::kMaxFolderEntries)
                break;
            names.emplace_back(name);
        }
        ::closedir(dir);
    }
    sortNames(names);
    return names;
}

std::optional<long long> parseNumber(std::string_view text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// udev writes unsafe label characters as \xHH.
std::string unescapeHex(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x'
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            unsigned value = 0;
            std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16);
            out.push_back(static_cast<char>(value));
            i += 3;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string resolvedPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

std::string baseName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Of several mounts on one point, the one a path lookup reaches. A mount stacked
// on another names it as its parent; that link decides even where the file
// lists them out of order (a mount moved over another, or slid beneath the top
// one). Without such a link the later line is the later mount, and wins.
std::vector<MountEntry> visibleMounts(std::vector<MountEntry> all)
{
    std::unordered_map<std::string_view, std::vector<std::size_t>> byPoint;
    for (std::size_t i = 0; i < all.size(); ++i)
        byPoint[all[i].mountPoint].push_back(i);
    std::vector<bool> hidden(all.size(), false);
    for (const auto& [point, group] : byPoint) {
        if (group.size() < 2)
            continue;
        std::unordered_map<long long, std::size_t> parents;  // id -> mounts in the group stacked on it
        for (const std::size_t i : group) {
            if (all[i].parentId != all[i].id)
                ++parents[all[i].parentId];
        }
        std::size_t top = group.back();
        for (auto it = group.rbegin(); it != group.rend(); ++it) {
            if (!parents.contains(all[*it].id)) {
                top = *it;
                break;
            }
        }
        for (const std::size_t i : group)
            hidden[i] = i != top;
    }
    std::vector<MountEntry> visible;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!hidden[i])
            visible.push_back(std::move(all[i]));
    }
    return visible;
}

}  // namespace

std::optional<std::string> unescapeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](std::size_t at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        // Three octal digits of a byte (\000..\377); a backslash without them is kept as it is.
        if (field[i] == '\\' && octal(i + 1) && field[i + 1] <= '3' && octal(i + 2) && octal(i + 3)) {
            out.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    if (out.find('\0') != std::string::npos)
        return std::nullopt;
    return out;
}

std::optional<MountEntry> parseMountInfoLine(std::string_view line)
{
    // id parent major:minor root mount-point options [optional fields...] - fstype source super-options
    std::vector<std::string_view> fields;
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t blank = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    const auto separator = std::find(fields.begin(), fields.end(), "-");
    if (separator == fields.end() || separator - fields.begin() < 6 || fields.end() - separator < 3
        || std::any_of(fields.begin(), fields.end(), [](std::string_view f) { return f.empty(); }))
        return std::nullopt;
    const std::optional<long long> id = parseNumber(fields[0]);
    const std::optional<long long> parentId = parseNumber(fields[1]);
    std::optional<std::string> root = unescapeMountField(fields[3]);
    std::optional<std::string> mountPoint = unescapeMountField(fields[4]);
    std::optional<std::string> fsType = unescapeMountField(separator[1]);
    std::optional<std::string> source = unescapeMountField(separator[2]);
    if (!id || !parentId || fields[2].find(':') == std::string_view::npos || !root || !mountPoint || !fsType || !source
        || mountPoint->front() != '/')
        return std::nullopt;
    return MountEntry{*id, *parentId, std::move(*root), std::move(*mountPoint), std::move(*fsType), std::move(*source)};
}

MountTable MountTable::fromMountInfo(std::string_view text)
{
    MountTable table;
    std::vector<MountEntry> all;
    std::size_t lines = 0;
    for (std::size_t start = 0; start < text.size() && lines < kMaxMounts; ++lines) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        std::optional<MountEntry> entry;
        if (line.size() <= kMaxLineBytes)
            entry = parseMountInfoLine(line);
        if (entry)
            all.push_back(std::move(*entry));
        else
            ++table.skipped_;
    }
    table.mounts_ = visibleMounts(std::move(all));
    return table;
}

MountTable MountTable::read(const std::string& mountInfoPath)
{
    bool complete = false;
    std::string text = readPrefix(mountInfoPath, kMaxFileBytes, complete);
    // A file cut at the bound ends in part of a line, which is no mount.
    if (!complete)
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    return fromMountInfo(text);
}

const MountEntry* MountTable::at(std::string_view mountPoint) const
{
    const auto found = std::find_if(
        mounts_.begin(), mounts_.end(), [&](const MountEntry& mount) { return mount.mountPoint == mountPoint; });
    return found == mounts_.end() ? nullptr : &*found;
}

SystemScan::SystemScan(const SystemPaths& paths) : paths_(paths), mounts_(MountTable::read(paths.mountInfo))
{
    for (std::string& name : listNames(paths_.sysBlock)) {
        const std::string folder = paths_.sysBlock + "/" + name;
        BlockDevice block;
        block.removable = firstWord(readAttribute(folder + "/removable")) == "1";
        block.sectors = parseNumber(firstWord(readAttribute(folder + "/size"))).value_or(-1);
        block.backingFile = readAttribute(folder + "/loop/backing_file");
        // The kernel ends the attribute with one newline; the path itself may hold others.
        if (!block.backingFile.empty() && block.backingFile.back() == '\n')
            block.backingFile.pop_back();
        // sysfs gives each partition a folder named after its disk: sdb/sdb1, nvme0n1/nvme0n1p1.
        for (std::string& entry : listNames(folder)) {
            if (entry.size() > name.size() && startsWith(entry, name))
                partitionDisk_.emplace(std::move(entry), name);
        }
        block.name = std::move(name);
        blocks_.push_back(std::move(block));
    }
    for (const std::string& name : listNames(paths_.diskByLabel)) {
        char target[kMaxAttributeBytes];
        const ssize_t n = ::readlink((paths_.diskByLabel + "/" + name).c_str(), target, sizeof target);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof target)
            labels_[baseName(std::string_view(target, static_cast<std::size_t>(n)))] = unescapeHex(name);
    }
}

const BlockDevice* SystemScan::blockDevice(std::string_view name) const
{
    const auto found
        = std::find_if(blocks_.begin(), blocks_.end(), [&](const BlockDevice& block) { return block.name == name; });
    return found == blocks_.end() ? nullptr : &*found;
}

std::string SystemScan::devicePath(std::string_view name) const
{
    return paths_.dev + "/" + std::string(name);
}

std::string SystemScan::deviceNameOfSource(std::string_view source)
{
    // The kernel keeps the device path mount(8) was given, which names /dev itself.
    constexpr std::string_view kDev = "/dev/";
    return startsWith(source, kDev) && source.size() > kDev.size() ? std::string(source.substr(kDev.size()))
                                                                   : std::string();
}

const BlockDevice* SystemScan::diskOf(std::string_view device) const
{
    if (device.empty())
        return nullptr;
    if (const BlockDevice* disk = blockDevice(device))
        return disk;
    const auto partition = partitionDisk_.find(device);
    return partition == partitionDisk_.end() ? nullptr : blockDevice(partition->second);
}

const MountEntry* SystemScan::mountOfDisk(std::string_view disk) const
{
    for (const MountEntry& mount : mounts_.mounts()) {
        const BlockDevice* owner = diskOf(deviceNameOfSource(mount.source));
        if (owner && owner->name == disk)
            return &mount;
    }
    return nullptr;
}

std::string SystemScan::labelOf(std::string_view device) const
{
    const auto found = labels_.find(device);
    return found == labels_.end() ? std::string() : found->second;
}

std::vector<std::string> SystemScan::floppyDrives() const
{
    std::vector<std::string> controller;
    std::vector<std::string> usb;
    for (const BlockDevice& block : blocks_) {
        const bool fd = block.name.size() > 2 && startsWith(block.name, "fd")
            && std::all_of(block.name.begin() + 2, block.name.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (fd)
            controller.push_back(block.name);
        else if (block.removable && (block.sectors == 1440 || block.sectors == 2880))
            usb.push_back(block.name);
    }
    controller.insert(controller.end(), usb.begin(), usb.end());
    return controller;
}

std::string SystemScan::blockDeviceNameOf(const std::string& path) const
{
    const std::string device = resolvedPath(path);
    const std::string dev = resolvedPath(paths_.dev) + "/";
    if (!startsWith(device, dev))
        return {};
    const BlockDevice* disk = diskOf(std::string_view(device).substr(dev.size()));
    return disk ? disk->name : std::string();
}

std::string SystemScan::mountPointOf(const std::string& deviceOrImage) const
{
    if (const std::string disk = blockDeviceNameOf(deviceOrImage); !disk.empty()) {
        const MountEntry* mount = mountOfDisk(disk);
        return mount ? mount->mountPoint : std::string();
    }
    char resolved[PATH_MAX];
    struct stat info { };
    if (!::realpath(deviceOrImage.c_str(), resolved) || ::stat(resolved, &info) != 0)
        return {};
    if (S_ISREG(info.st_mode)) {
        for (const BlockDevice& block : blocks_) {
            if (block.backingFile != resolved)
                continue;
            if (const MountEntry* mount = mountOfDisk(block.name))
                return mount->mountPoint;
        }
    } else if (S_ISBLK(info.st_mode)) {
        // A device node outside /dev: only its own path can name it.
        for (const MountEntry& mount : mounts()) {
            if (mount.source == resolved)
                return mount.mountPoint;
        }
    }
    return {};
}

FloppyChoice chooseFloppy(const std::string& floppyOption, const SystemScan& scan)
{
    FloppyChoice choice;
    if (!floppyOption.empty()) {
        choice.device = absolutePath(floppyOption);
        choice.mountPoint = scan.mountPointOf(choice.device);
        return choice;
    }
    const std::vector<std::string> drives = scan.floppyDrives();
    if (drives.empty())
        return choice;
    choice.device = scan.devicePath(drives.front());
    if (const MountEntry* mount = scan.mountOfDisk(drives.front()))
        choice.mountPoint = mount->mountPoint;
    return choice;
}

}  // namespace iradudo
