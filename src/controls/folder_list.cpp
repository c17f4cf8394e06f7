// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/folder_list.h"

#include "base/exception.h"
#include "browser/directory_source.h"

#include <algorithm>

namespace iradudo {

namespace {

bool isDriveRootPath(const std::string& path)
{
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

// The folder names below the root, in order.
std::vector<std::string> pathFolders(const std::string& path)
{
    std::vector<std::string> folders;
    std::size_t start = 3;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            folders.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

}  // namespace

std::vector<FolderListEntry> folderListEntries(const Platform& platform, const std::string& path)
{
    if (!isDriveRootPath(path))
        return {};
    std::vector<std::string> subfolders;
    try {
        platform.readDirectory(path, [&](const FileEntry& entry) {
            if (!entry.isDirectory() || entry.name == "." || entry.name == "..")
                return;
            if (entry.attributes & (faHidden | faSysFile))
                return;
            subfolders.push_back(entry.name);
        });
    } catch (const Exception&) {
        subfolders.clear();
    }
    std::stable_sort(subfolders.begin(), subfolders.end(),
        [](const std::string& a, const std::string& b) { return fileListLess(a, b); });

    std::vector<FolderListEntry> entries;
    const std::vector<std::string> folders = pathFolders(path);
    if (folders.empty()) {
        entries.push_back({path, FolderRole::Current});
    } else {
        entries.push_back({path.substr(0, 3), FolderRole::Open});
        for (std::size_t i = 0; i + 1 < folders.size(); ++i)
            entries.push_back({folders[i], FolderRole::Open});
        entries.push_back({folders.back(), FolderRole::Current});
    }
    for (std::string& name : subfolders)
        entries.push_back({std::move(name), FolderRole::Closed});
    return entries;
}

int currentFolderIndex(const std::string& path)
{
    return static_cast<int>(pathFolders(path).size());
}

int folderIndent(const std::string& path, int index, FolderRole role)
{
    if (role == FolderRole::Closed)
        return 4 * static_cast<int>(std::count(path.begin(), path.end(), '\\')) + 6;
    return 4 * index + 2;
}

std::string folderItemPath(const std::string& path, int index, FolderRole role, const std::string& name)
{
    if (!isDriveRootPath(path))
        return path;
    if (index == 0)
        return path.substr(0, 3);
    switch (role) {
    case FolderRole::Closed: return path + (path.ends_with('\\') ? "" : "\\") + name;
    case FolderRole::Current: return path;
    case FolderRole::Open: break;
    }
    const std::vector<std::string> folders = pathFolders(path);
    std::string result = path.substr(0, 3);
    for (int i = 0; i < index && i < static_cast<int>(folders.size()); ++i)
        result += (i == 0 ? "" : "\\") + folders[static_cast<std::size_t>(i)];
    return result;
}

}  // namespace iradudo
