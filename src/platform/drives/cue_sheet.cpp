// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/cue_sheet.h"

#include "base/exception.h"
#include "base/file_handle.h"
#include "platform/drives/data_track.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {

namespace {

constexpr std::uint32_t kFramesPerSecond = 75;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

// One line cut into words; a quoted word keeps its blanks.
class Words {
public:
    explicit Words(std::string_view line) : rest_(line) { }

    std::optional<std::string_view> next()
    {
        while (!rest_.empty() && isBlank(rest_.front()))
            rest_.remove_prefix(1);
        if (rest_.empty())
            return std::nullopt;
        if (rest_.front() == '"') {
            const std::size_t close = rest_.find('"', 1);
            if (close == std::string_view::npos)
                throw CueSheetError("a quote is not closed");
            const std::string_view word = rest_.substr(1, close - 1);
            rest_.remove_prefix(close + 1);
            if (!rest_.empty() && !isBlank(rest_.front()))
                throw CueSheetError("text follows a closing quote");
            return word;
        }
        std::size_t end = 0;
        while (end < rest_.size() && !isBlank(rest_[end]))
            ++end;
        const std::string_view word = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return word;
    }

    std::string_view required()
    {
        const std::optional<std::string_view> word = next();
        if (!word)
            throw CueSheetError("a line ends too early");
        return *word;
    }

    void end()
    {
        if (next())
            throw CueSheetError("a line goes on after its last value");
    }

    // What is left, blanks around it removed.
    std::string_view remainder()
    {
        std::string_view left = rest_;
        while (!left.empty() && isBlank(left.front()))
            left.remove_prefix(1);
        while (!left.empty() && isBlank(left.back()))
            left.remove_suffix(1);
        rest_ = {};
        return left;
    }

private:
    std::string_view rest_;
};

unsigned decimal(std::string_view digits, std::size_t maxDigits)
{
    if (digits.empty() || digits.size() > maxDigits)
        throw CueSheetError("a number is missing or too long");
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            throw CueSheetError("a number holds something else than digits");
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

// mm:ss:ff, in frames.
std::uint32_t frames(std::string_view time)
{
    const std::size_t first = time.find(':');
    const std::size_t second = first == std::string_view::npos ? first : time.find(':', first + 1);
    if (second == std::string_view::npos)
        throw CueSheetError("a time is not mm:ss:ff");
    const unsigned minutes = decimal(time.substr(0, first), 3);
    const unsigned seconds = decimal(time.substr(first + 1, second - first - 1), 2);
    const unsigned frame = decimal(time.substr(second + 1), 2);
    if (seconds >= 60 || frame >= kFramesPerSecond)
        throw CueSheetError("a time is out of range");
    return (minutes * 60 + seconds) * kFramesPerSecond + frame;
}

CueTrackMode trackMode(std::string_view word)
{
    struct Known {
        std::string_view name;
        CueTrackMode mode;
    };
    static constexpr Known kModes[] = {
        {"AUDIO", CueTrackMode::Audio},
        {"CDG", CueTrackMode::Audio},
        {"MODE1/2048", CueTrackMode::Mode1Cooked},
        {"MODE1/2352", CueTrackMode::Mode1Raw},
        {"MODE2/2048", CueTrackMode::Mode2Cooked},
        {"MODE2/2336", CueTrackMode::Mode2Formless},
        {"MODE2/2352", CueTrackMode::Mode2Raw},
        {"CDI/2336", CueTrackMode::Mode2Formless},
        {"CDI/2352", CueTrackMode::Mode2Raw},
    };
    for (const Known& known : kModes)
        if (sameWord(word, known.name))
            return known.mode;
    throw CueSheetError("a track's mode is unknown");
}

struct Geometry {
    int sectorBytes;
    int userDataOffset;
};

Geometry geometry(CueTrackMode mode)
{
    switch (mode) {
    case CueTrackMode::Audio:
    case CueTrackMode::Mode1Raw: return {2352, 16};
    case CueTrackMode::Mode1Cooked:
    case CueTrackMode::Mode2Cooked: return {2048, 0};
    case CueTrackMode::Mode2Formless: return {2336, 8};
    case CueTrackMode::Mode2Raw: return {2352, 24};
    }
    return {2352, 0};
}

bool isAbsolute(std::string_view name)
{
    const bool driveLetter = name.size() >= 3
        && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) && name[1] == ':'
        && (name[2] == '\\' || name[2] == '/');
    return driveLetter || name.starts_with('/') || name.starts_with('\\');
}

}  // namespace

CueSheet parseCueSheet(std::string_view text)
{
    if (text.size() > kMaxCueSheetBytes)
        throw CueSheetError("the sheet is too large");
    if (text.starts_with("\xef\xbb\xbf"))
        text.remove_prefix(3);
    CueSheet sheet;
    int lastIndex = -1;
    std::uint32_t lastPosition = 0;  // frames into the current file, never going back
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (line.size() > kMaxCueLineBytes)
            throw CueSheetError("a line is too long");
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos)
            throw CueSheetError("a line holds a NUL byte");
        Words words(line);
        const std::optional<std::string_view> keyword = words.next();
        if (!keyword)
            continue;
        if (sameWord(*keyword, "FILE")) {
            std::string_view rest = words.remainder();
            // The type is the last word; the name is everything before it, so
            // an unquoted name with blanks is still whole.
            std::size_t split = rest.size();
            while (split > 0 && !isBlank(rest[split - 1]))
                --split;
            const std::string_view typeWord = rest.substr(split);
            std::string_view name = rest.substr(0, split);
            while (!name.empty() && isBlank(name.back()))
                name.remove_suffix(1);
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                name = name.substr(1, name.size() - 2);
            if (name.empty() || typeWord.empty() || name.find('"') != std::string_view::npos)
                throw CueSheetError("a FILE line names no file or no type");
            CueFile file{std::string(name), CueFileType::Other};
            if (sameWord(typeWord, "BINARY"))
                file.type = CueFileType::Binary;
            else if (sameWord(typeWord, "MOTOROLA"))
                file.type = CueFileType::Motorola;
            else if (!sameWord(typeWord, "WAVE") && !sameWord(typeWord, "MP3") && !sameWord(typeWord, "AIFF")
                && !sameWord(typeWord, "FLAC"))
                throw CueSheetError("a FILE type is unknown");
            sheet.files.push_back(std::move(file));
            lastPosition = 0;
        } else if (sameWord(*keyword, "TRACK")) {
            if (sheet.files.empty())
                throw CueSheetError("a track comes before any FILE");
            if (!sheet.tracks.empty() && lastIndex < 1)
                throw CueSheetError("a track has no INDEX 01");
            CueTrack track;
            track.number = static_cast<int>(decimal(words.required(), 2));
            track.mode = trackMode(words.required());
            words.end();
            if (track.number < 1 || (!sheet.tracks.empty() && track.number <= sheet.tracks.back().number))
                throw CueSheetError("track numbers do not increase from 1 to 99");
            track.file = sheet.files.size() - 1;
            sheet.tracks.push_back(track);
            lastIndex = -1;
        } else if (sameWord(*keyword, "INDEX")) {
            if (sheet.tracks.empty())
                throw CueSheetError("an INDEX comes before any track");
            const int number = static_cast<int>(decimal(words.required(), 2));
            const std::uint32_t position = frames(words.required());
            words.end();
            CueTrack& track = sheet.tracks.back();
            if (number <= lastIndex || (lastIndex < 0 && number > 1) || (lastIndex == 0 && number != 1))
                throw CueSheetError("index numbers are out of order");
            if (track.file != sheet.files.size() - 1 && lastIndex < 1) {
                // Sheets of split audio files put a track's gap at the end of the
                // file before; the track starts in the new one.
                track.file = sheet.files.size() - 1;
                track.index0.reset();
            }
            if (position < lastPosition)
                throw CueSheetError("an index goes back in its file");
            if (number == 0)
                track.index0 = position;
            else if (number == 1)
                track.index1 = position;
            lastIndex = number;
            lastPosition = position;
        } else if (sameWord(*keyword, "PREGAP") || sameWord(*keyword, "POSTGAP")) {
            // Silence the player makes up: no bytes of the file stand for it.
            if (sheet.tracks.empty())
                throw CueSheetError("a gap comes before any track");
            frames(words.required());
            words.end();
        }
        // REM, CATALOG, CDTEXTFILE (never opened), TITLE, PERFORMER, SONGWRITER,
        // ISRC, FLAGS and keywords of newer writers say nothing about where the
        // data lies.
    }
    if (sheet.tracks.empty())
        throw CueSheetError("the sheet lists no track");
    if (lastIndex < 1)
        throw CueSheetError("a track has no INDEX 01");
    return sheet;
}

CueDataTrackPlace locateCueDataTrack(const CueSheet& sheet)
{
    std::size_t chosen = 0;
    while (chosen < sheet.tracks.size() && sheet.tracks[chosen].mode == CueTrackMode::Audio)
        ++chosen;
    if (chosen == sheet.tracks.size())
        throw CueSheetError("the sheet has no data track");
    const CueTrack& track = sheet.tracks[chosen];
    const CueFile& file = sheet.files.at(track.file);
    if (file.type == CueFileType::Other)
        throw CueSheetError("the data track's file is not binary");

    // Each track of the file stores its sectors, from its first index to the
    // next track's, in its own size; what lies before the first track is taken
    // in that track's size.
    const auto start = [](const CueTrack& t) { return t.index0.value_or(t.index1); };
    std::uint64_t offset = 0;
    std::uint32_t position = 0;
    for (std::size_t i = 0; i < chosen; ++i) {
        const CueTrack& before = sheet.tracks[i];
        if (before.file != track.file)
            continue;
        const std::uint32_t next = start(sheet.tracks[i + 1]);
        offset += std::uint64_t(next - position) * static_cast<unsigned>(geometry(before.mode).sectorBytes);
        position = next;
    }
    const Geometry shape = geometry(track.mode);
    offset += std::uint64_t(track.index1 - position) * static_cast<unsigned>(shape.sectorBytes);

    CueDataTrackPlace place;
    place.file = track.file;
    place.byteOffset = offset;
    place.sectorBytes = shape.sectorBytes;
    place.userDataOffset = shape.userDataOffset;
    place.swappedBytes = file.type == CueFileType::Motorola;
    if (chosen + 1 < sheet.tracks.size() && sheet.tracks[chosen + 1].file == track.file) {
        const std::uint32_t next = start(sheet.tracks[chosen + 1]);
        if (next <= track.index1)
            throw CueSheetError("the data track holds no sector");
        place.sectorCount = next - track.index1;
    }
    return place;
}

std::optional<std::string> cueFileNameInFolder(std::string_view name)
{
    if (isAbsolute(name)) {
        const std::size_t slash = name.find_last_of("/\\");
        name.remove_prefix(slash + 1);
    }
    if (name.empty())
        return std::nullopt;
    std::string_view rest = name;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        if (component == "..")
            return std::nullopt;
        rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
    }
    if (name.ends_with('/'))
        return std::nullopt;
    return std::string(name);
}

DataTrack openCueDataTrack(const std::string& sheetPath)
{
    FileHandle sheetFile = openRegularFile(sheetPath);
    std::string text;
    if (!sheetFile.valid() || readWholeFile(sheetFile, kMaxCueSheetBytes, text) != WholeFileRead::Complete)
        throw EFOpenError(sheetPath);
    CueDataTrackPlace place;
    std::string name;
    try {
        const CueSheet sheet = parseCueSheet(text);
        place = locateCueDataTrack(sheet);
        const std::optional<std::string> inFolder = cueFileNameInFolder(sheet.files[place.file].name);
        if (!inFolder)
            throw EFOpenError(sheetPath);
        name = *inFolder;
    } catch (const CueSheetError&) {
        throw EFOpenError(sheetPath);
    }

    const std::size_t slash = sheetPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : sheetPath.substr(0, slash);
    const FileHandle folderHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!folderHandle.valid())
        throw EFOpenError(sheetPath);
    DataTrack track;
    track.file = openRegularFileAt(folderHandle.fd(), name.c_str());
    struct stat info { };
    if (!track.file.valid() || ::fstat(track.file.fd(), &info) != 0
        || place.byteOffset >= static_cast<std::uint64_t>(info.st_size))
        throw EFOpenError(sheetPath);
    track.byteOffset = place.byteOffset;
    track.sectorBytes = place.sectorBytes;
    track.userDataOffset = place.userDataOffset;
    track.swappedBytes = place.swappedBytes;
    track.sectorCount = place.sectorCount;
    return track;
}

}  // namespace iradudo
