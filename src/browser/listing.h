// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

class FileList;
class Platform;

// File-type icon indices into the browser's icon list.
enum FileIcon : int {
    IconDirectory = 0,
    IconFile = 1,
    IconText = 2,
    IconPicture = 3,
    IconHypertext = 4,
};

struct ListingItem {
    std::string caption;  // the file-list entry, bytes as stored
    int imageIndex = IconFile;
    std::string comment;               // UTF-8, from the companion ".README"; may be empty
    std::optional<std::int64_t> size;  // files only; none when the size search failed
};

struct Listing {
    std::vector<ListingItem> items;
    std::int64_t totalBytes = 0;

    // "N elementi, T bytes totali".
    std::string statusText() const;
};

// `Upd`: the browser's items for the file list's entries, in its order, read in
// the platform's current directory. showInfo is the ".info" toggle's state 1.
// A vanished entry is listed without a size; the listing always completes.
Listing buildListing(const FileList& files, Platform& platform, bool showInfo);

// Same, over entry texts already taken from a file list; an entry is a directory
// when its flag says so, or, without flags, when it is "[" + name + "]". Sizes,
// comments and totals look up exactly the listed names in the current directory:
// a companion is found among the entries (exactly, else by a unique
// case-insensitive match), never through a path that a name might spell.
Listing buildListing(const std::vector<std::string>& entries, Platform& platform, bool showInfo,
    const std::vector<bool>* directoryFlags = nullptr);

// The status text for a clicked item: "1234 bytes" for a file with a size,
// nullopt when the status line keeps its text (directories, unknown sizes).
std::optional<std::string> itemClickText(const ListingItem& item);

// The upper-cased extension: from the last "." to the end, empty when a "\" or
// ":" follows it; only a..z are upper-cased.
std::string upperExtension(std::string_view entryName);

// The icon for an entry name (directory, text, picture, hypertext or file); a
// directory's entry is "[" + name + "]", so "[X].LHA" is a file.
int fileTypeIcon(std::string_view entryName);

// The companion description file's name: the entry less its last 4 characters,
// then ".README".
std::string companionName(std::string_view entryName);

// The comment from a companion's bytes: the first line (ending at CR, LF or CRLF;
// the text ends at the first zero byte) less 6 characters, trimmed of characters
// <= 32, decoded as ISO-8859-1 unless it is UTF-8 with a multi-byte sequence.
// Empty for an empty file.
std::string companionComment(std::string_view fileBytes);

// The ".info" toggle button's caption for a state: 0 "Nascondi .info", 1 "Mostra .info".
const char* infoToggleCaption(int state);

}  // namespace iradudo
