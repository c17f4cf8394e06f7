// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/file_formats.h"

#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/icon.h"
#include "viewers/pictures/metafile.h"

#include <algorithm>

namespace iradudo {

TFileFormatsList& fileFormats()
{
    static TFileFormatsList list;
    return list;
}

std::string latin1Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
            c = static_cast<char>(byte + 0x20);
    }
    return lower;
}

std::string pictureExtension(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view rest = fileName.substr(dot + 1);
    // "/" is this platform's own separator beside the DOS ones.
    if (rest.find_first_of("\\:/") != std::string_view::npos)
        return {};
    return std::string(rest);
}

}  // namespace iradudo

TFileFormatsList::TFileFormatsList()
{
    Add("wmf", "Metafiles", graphicClassOf<TMetafile>());
    Add("emf", "Enhanced Metafiles", graphicClassOf<TMetafile>());
    Add("ico", "Icons", graphicClassOf<TIcon>());
    Add("bmp", "Bitmaps", graphicClassOf<TBitmap>());
}

void TFileFormatsList::Add(std::string_view extension, std::string_view description, TGraphicClass graphicClass)
{
    entries_.push_back(Entry{graphicClass, iradudo::latin1Lower(extension), std::string(description)});
}

void TFileFormatsList::Remove(TGraphicClass graphicClass)
{
    std::erase_if(entries_, [graphicClass](const Entry& entry) { return entry.graphicClass == graphicClass; });
}

TGraphicClass TFileFormatsList::FindExtension(std::string_view extension) const
{
    const std::string wanted = iradudo::latin1Lower(extension);
    const auto found = std::find_if(
        entries_.rbegin(), entries_.rend(), [&wanted](const Entry& entry) { return entry.extension == wanted; });
    return found == entries_.rend() ? nullptr : found->graphicClass;
}
