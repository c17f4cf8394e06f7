// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

// The folder list of the folder-selection window as plain data: which
// items a current folder gives, where each is drawn and which folder it opens.
namespace iradudo {

// The picture an item carries. The list tells an item's role by its picture:
// the open picture marks the root and the folders on the path, the current
// picture the current folder, the closed picture its subfolders.
enum class FolderRole { Closed, Open, Current };

struct FolderListEntry {
    std::string name;  // bytes as the platform gives them; "X:\" for the root
    FolderRole role;
};

// The items for the current folder path (a DOS path, "X:\" at a drive root, "X:\A\B"
// below): the root with the open picture (the current one when the path is the root),
// each folder on the path with the open picture, the current folder with the current
// picture, then the current folder's subfolders, sorted case-insensitively, with the
// closed picture; ".", ".." and hidden or system folders are left out. Empty for an
// empty path. A folder that cannot be read lists no subfolders: its search
// finds none, which is no failure.
std::vector<FolderListEntry> folderListEntries(const Platform& platform, const std::string& path);

// The position of the current folder's item: the number of folders below the root.
int currentFolderIndex(const std::string& path);

// The item's indent: 4 x index + 2 for the root, path and current items; 4 x L + 6
// for the subfolders, L being the number of "\" in the path.
int folderIndent(const std::string& path, int index, FolderRole role);

// The folder an item opens: item 0 the drive root; a subfolder the path joined with
// its name by one "\"; the current item the path itself; a folder on the path the
// path from the root down to it.
std::string folderItemPath(const std::string& path, int index, FolderRole role, const std::string& name);

}  // namespace iradudo
