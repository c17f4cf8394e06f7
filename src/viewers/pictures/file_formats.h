// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/graphic.h"

#include <string>
#include <string_view>
#include <vector>

// The registry of picture formats by file extension. Created on first use
// holding the framework's own formats (metafiles, enhanced metafiles, icons,
// then bitmaps); the GIF and JPEG
// formats are added at start-up (see picture_formats.h).
class TFileFormatsList {
public:
    struct Entry {
        TGraphicClass graphicClass;
        std::string extension;  // without the dot, lower-cased
        std::string description;
    };

    TFileFormatsList();

    // Appends an entry; the extension is stored lower-cased.
    void Add(std::string_view extension, std::string_view description, TGraphicClass graphicClass);
    // Removes every entry of the class.
    void Remove(TGraphicClass graphicClass);
    // The class of the last entry whose extension matches, case ignored;
    // null when there is none.
    TGraphicClass FindExtension(std::string_view extension) const;

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

namespace iradudo {

// The process-wide registry, created on first use.
TFileFormatsList& fileFormats();

// Lower case by ISO-8859-1 rules: A-Z and the accented capitals 0xC0-0xDE
// (but the multiplication sign 0xD7); other bytes stay.
std::string latin1Lower(std::string_view text);

// What LoadFile takes as a file name's extension: the text after the last
// ".", empty when there is no dot or a path separator ("\", ":" or "/")
// follows it. Returned in the name's own letter case, without the dot.
std::string pictureExtension(std::string_view fileName);

}  // namespace iradudo
