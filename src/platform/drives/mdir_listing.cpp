// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/mdir_listing.h"

#include <cctype>
#include <optional>
#include <sstream>
#include <string_view>

namespace iradudo {

namespace {

bool digitsAt(std::string_view line, std::size_t at, std::size_t count)
{
    if (at + count > line.size())
        return false;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i])))
            return false;
    }
    return true;
}

// "2026-12-08" at a position.
bool dateAt(std::string_view line, std::size_t at)
{
    return digitsAt(line, at, 4) && line[at + 4] == '-' && digitsAt(line, at + 5, 2) && line[at + 7] == '-'
        && digitsAt(line, at + 8, 2);
}

std::string trimmedRight(std::string_view text)
{
    const std::size_t end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

// One entry line: "NAME     EXT      SIZE YYYY-MM-DD  HH:MM  long name", where
// <DIR> takes the size's place and the long name is left out when there is none.
std::optional<MdirEntry> parseEntryLine(std::string_view line)
{
    for (std::size_t at = 1; at + 10 <= line.size(); ++at) {
        if (line[at - 1] != ' ' || !dateAt(line, at))
            continue;
        // The size or <DIR> column before the date.
        const std::size_t tokenEnd = line.find_last_not_of(' ', at - 1);
        if (tokenEnd == std::string_view::npos)
            continue;
        const std::size_t space = line.find_last_of(' ', tokenEnd);
        const std::size_t tokenStart = space == std::string_view::npos ? 0 : space + 1;
        const std::string_view token = line.substr(tokenStart, tokenEnd + 1 - tokenStart);
        const bool directory = token == "<DIR>";
        if (!directory && (token.size() > 12 || !digitsAt(token, 0, token.size())))
            continue;
        const std::string shortArea = trimmedRight(line.substr(0, tokenStart));
        if (shortArea.empty() || shortArea.front() == ' ')
            continue;
        // The time: blanks, one or two digits, ":", two digits.
        std::size_t time = line.find_first_not_of(' ', at + 10);
        if (time == std::string_view::npos || time == at + 10)
            continue;
        std::size_t hourDigits = 0;
        while (digitsAt(line, time + hourDigits, 1) && hourDigits < 2)
            ++hourDigits;
        if (hourDigits == 0 || time + hourDigits + 3 > line.size() || line[time + hourDigits] != ':'
            || !digitsAt(line, time + hourDigits + 1, 2))
            continue;
        const std::string_view rest = line.substr(time + hourDigits + 3);

        MdirEntry entry;
        const std::size_t gap = shortArea.find(' ');
        entry.shortName = shortArea.substr(0, gap);
        if (gap != std::string::npos)
            entry.shortName += "." + shortArea.substr(shortArea.find_first_not_of(' ', gap));
        entry.name = rest.size() > 2 && rest.starts_with("  ") ? std::string(rest.substr(2)) : entry.shortName;
        entry.directory = directory;
        entry.size = directory ? 0 : std::stoll(std::string(token));
        return entry;
    }
    return std::nullopt;
}

}  // namespace

MdirListing parseMdirListing(const std::string& output)
{
    MdirListing listing;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        static constexpr std::string_view kVolume = " Volume in drive ";
        if (line.starts_with(kVolume)) {
            const std::size_t is = line.find(" is ", kVolume.size());
            if (is != std::string::npos && line.find(" has no label") == std::string::npos) {
                // A label kept in mixed case shows its upper-case 8.3 form after it.
                std::string_view label = std::string_view(line).substr(is + 4);
                if (const std::size_t abbreviation = label.rfind(" (abbr=");
                    abbreviation != std::string_view::npos && label.ends_with(')'))
                    label = label.substr(0, abbreviation);
                listing.label = trimmedRight(label);
            }
            continue;
        }
        std::optional<MdirEntry> entry = parseEntryLine(line);
        if (entry && entry->name != "." && entry->name != "..")
            listing.entries.push_back(std::move(*entry));
    }
    return listing;
}

}  // namespace iradudo
