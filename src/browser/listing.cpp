// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/listing.h"

#include "base/folded_name_index.h"
#include "base/text_encoding.h"
#include "browser/directory_source.h"
#include "platform/dos_path.h"
#include "platform/platform.h"

#include <array>
#include <cstdint>
#include <vector>

namespace iradudo {
namespace {

bool isOneOf(std::string_view extension, std::initializer_list<std::string_view> set)
{
    for (std::string_view candidate : set) {
        if (extension == candidate)
            return true;
    }
    return false;
}

// A description is one line; anything longer than this is no description.
constexpr std::size_t kMaxCompanionLine = 64 * 1024;
constexpr std::size_t kCompanionHead = 4096;

// Where the first line ends: at CR, LF or the zero byte that ends the text.
std::size_t lineEnd(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n' || text[i] == '\0')
            return i;
    }
    return text.size();
}

// Drops a multibyte UTF-8 sequence that the cap cut short, so that a long UTF-8
// line still reads as UTF-8 instead of turning into Latin-1 mojibake as a whole.
void dropCutUtf8Sequence(std::string& bytes)
{
    std::size_t lead = bytes.size();
    while (lead > 0 && bytes.size() - lead < 4 && (static_cast<unsigned char>(bytes[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return;
    const auto first = static_cast<unsigned char>(bytes[lead - 1]);
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (length > 1 && bytes.size() - (lead - 1) < length)
        bytes.resize(lead - 1);
}

// The companion's bytes up to the end of its first line (or the cap), into a
// buffer the caller reuses from one companion to the next.
void readFirstLineBytes(FileHandle& file, std::string& bytes)
{
    bytes.clear();
    std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t n = file.read(buffer.data(), buffer.size());
        if (n <= 0)
            return;
        const std::string_view chunk(buffer.data(), static_cast<std::size_t>(n));
        const std::size_t end = lineEnd(chunk);
        bytes.append(chunk.substr(0, end));
        if (bytes.size() >= kMaxCompanionLine) {
            bytes.resize(kMaxCompanionLine);
            dropCutUtf8Sequence(bytes);
            return;
        }
        if (end < chunk.size())
            return;
    }
}

std::size_t utf8CodePointBytes(std::string_view text, std::size_t characters)
{
    std::size_t i = 0;
    while (i < text.size() && characters > 0) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
        --characters;
    }
    return i;
}

}  // namespace

std::string Listing::statusText() const
{
    return std::to_string(items.size()) + " elementi, " + std::to_string(totalBytes) + " bytes totali";
}

std::string upperExtension(std::string_view entryName)
{
    std::size_t dot = entryName.size();
    while (dot > 0 && entryName[dot - 1] != '.' && entryName[dot - 1] != '\\' && entryName[dot - 1] != ':')
        --dot;
    if (dot == 0 || entryName[--dot] != '.')
        return {};
    return asciiUpper(entryName.substr(dot));
}

namespace {

bool looksLikeDirectory(std::string_view entryName)
{
    return entryName.size() >= 2 && entryName.front() == '[' && entryName.back() == ']';
}

int iconFor(bool directory, std::string_view extension)
{
    if (directory)
        return IconDirectory;
    if (isOneOf(extension, {".GIF", ".IFF", ".JPG", ".JPEG"}))
        return IconPicture;
    if (isOneOf(extension, {".TXT", ".REA", ".README", ".DOC"}))
        return IconText;
    if (isOneOf(extension, {".HTM", ".HTML"}))
        return IconHypertext;
    return IconFile;
}

}  // namespace

int fileTypeIcon(std::string_view entryName)
{
    return iconFor(looksLikeDirectory(entryName), upperExtension(entryName));
}

namespace {

void assignCompanionName(std::string& out, std::string_view entryName)
{
    const std::string_view stem = entryName.size() > 4 ? entryName.substr(0, entryName.size() - 4) : std::string_view();
    out.assign(stem).append(".README");
}

}  // namespace

std::string companionName(std::string_view entryName)
{
    std::string name;
    assignCompanionName(name, entryName);
    return name;
}

std::string companionComment(std::string_view fileBytes)
{
    const std::string_view line = fileBytes.substr(0, lineEnd(fileBytes));

    const bool utf8 = isMultibyteUtf8(line);
    std::string_view rest = line.substr(utf8 ? utf8CodePointBytes(line, 6) : std::min<std::size_t>(6, line.size()));
    while (!rest.empty() && static_cast<unsigned char>(rest.front()) <= 32)
        rest.remove_prefix(1);
    while (!rest.empty() && static_cast<unsigned char>(rest.back()) <= 32)
        rest.remove_suffix(1);
    return utf8 ? std::string(rest) : latin1ToUtf8(rest);
}

namespace {

// The files among a directory's entries, found by name as the disc's names are.
class FileNames {
    struct NameAt {
        const std::vector<std::string>& entries;
        std::string_view operator()(std::uint32_t index) const { return entries[index]; }
    };

public:
    explicit FileNames(const std::vector<std::string>& entries) : entries_(entries) { }

    void add(std::size_t index) { added_.push_back(static_cast<std::uint32_t>(index)); }
    void buildIndex() { index_.build(added_, NameAt{entries_}); }

    const std::string* find(std::string_view wanted) const
    {
        const std::optional<std::uint32_t> found = index_.find(wanted, NameAt{entries_});
        return found ? &entries_[*found] : nullptr;
    }

private:
    const std::vector<std::string>& entries_;
    std::vector<std::uint32_t> added_;
    FoldedNameIndex index_;
};

}  // namespace

Listing buildListing(
    const std::vector<std::string>& entries, Platform& platform, bool showInfo, const std::vector<bool>* directoryFlags)
{
    const auto isDirectory = [&](std::size_t i) {
        return directoryFlags && i < directoryFlags->size() ? (*directoryFlags)[i] : looksLikeDirectory(entries[i]);
    };
    FileNames files(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!isDirectory(i))
            files.add(i);
    }
    files.buildIndex();
    Listing listing;
    listing.items.reserve(entries.size());
    const NameLookupBatch batch(platform);
    // Sizes first, then descriptions: a companion is an entry too, and once its
    // own lookup has found it a regular file it is opened without a second look.
    std::vector<bool> regular(entries.size(), false);
    std::vector<std::size_t> itemEntries;
    itemEntries.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& entry = entries[i];
        const bool directory = isDirectory(i);
        const std::string extension = upperExtension(entry);
        if (!showInfo && extension == ".INFO")
            continue;
        ListingItem item;
        item.caption = entry;
        item.imageIndex = iconFor(directory, extension);
        if (!directory) {
            if (const std::optional<FileEntry> found = platform.findEntry(entry)) {
                item.size = found->size;
                listing.totalBytes += found->size;
                regular[i] = !found->isDirectory() && (found->attributes & faSysFile) == 0;
            }
        }
        listing.items.push_back(std::move(item));
        itemEntries.push_back(i);
    }
    std::string companion;
    std::string firstLine;
    for (std::size_t k = 0; k < listing.items.size(); ++k) {
        assignCompanionName(companion, entries[itemEntries[k]]);
        const std::string* companionFile = files.find(companion);
        if (!companionFile)
            continue;
        const bool listedRegular = regular[static_cast<std::size_t>(companionFile - entries.data())];
        // The head answers nearly every companion: its first line is short. A
        // longer one is read through a handle, up to the cap.
        if (listedRegular && platform.readListedRegularFileHead(*companionFile, kCompanionHead, firstLine)) {
            const std::size_t end = lineEnd(firstLine);
            if (end < firstLine.size() || firstLine.size() < kCompanionHead) {
                firstLine.resize(end);
                listing.items[k].comment = companionComment(firstLine);
                continue;
            }
        }
        FileHandle file
            = listedRegular ? platform.openListedRegularFile(*companionFile) : platform.openFile(*companionFile);
        if (file.valid()) {
            readFirstLineBytes(file, firstLine);
            listing.items[k].comment = companionComment(firstLine);
        }
    }
    return listing;
}

Listing buildListing(const FileList& files, Platform& platform, bool showInfo)
{
    return buildListing(files.entries(), platform, showInfo, &files.directoryFlags());
}

std::optional<std::string> itemClickText(const ListingItem& item)
{
    if (!item.size)
        return std::nullopt;
    return std::to_string(*item.size) + " bytes";
}

const char* infoToggleCaption(int state)
{
    return state == 1 ? "Mostra .info" : "Nascondi .info";
}

}  // namespace iradudo
