// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

// What a cue sheet says that the reader cannot follow; openCueDataTrack turns it
// into the usual open error naming the sheet.
class CueSheetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class CueFileType { Binary, Motorola, Other };

// How a track's sectors are stored. Audio and CD+G tracks hold no file system.
enum class CueTrackMode { Audio, Mode1Cooked, Mode1Raw, Mode2Cooked, Mode2Formless, Mode2Raw };

struct CueFile {
    std::string name;  // as the sheet spells it
    CueFileType type = CueFileType::Binary;
};

struct CueTrack {
    int number = 0;
    CueTrackMode mode = CueTrackMode::Audio;
    std::size_t file = 0;                 // index into CueSheet::files
    std::optional<std::uint32_t> index0;  // frames from the start of the file
    std::uint32_t index1 = 0;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
};

// A sheet of 99 tracks with titles, performers and comments stays within a few
// tens of kilobytes, a line within a few hundred bytes; anything far beyond that
// is no sheet, and is refused before it costs memory or time.
constexpr std::size_t kMaxCueSheetBytes = 1 << 20;
constexpr std::size_t kMaxCueLineBytes = 4096;

// The sheet's FILE entries and tracks; throws CueSheetError on anything it cannot
// follow. Keywords it does not know are passed over, as newer writers add some.
CueSheet parseCueSheet(std::string_view text);

// Where the first data track's sectors lie in its file.
struct CueDataTrackPlace {
    std::size_t file = 0;
    std::uint64_t byteOffset = 0;
    int sectorBytes = 2048;
    int userDataOffset = 0;
    bool swappedBytes = false;
    std::optional<std::uint64_t> sectorCount;
};

// Throws CueSheetError when the sheet has no data track, or its data track lies
// in a file that is not binary.
CueDataTrackPlace locateCueDataTrack(const CueSheet& sheet);

// The name to open in the sheet's folder for a FILE entry: a relative name as
// it is, the last component of an absolute one (sheets written elsewhere name
// their own machine's folders). nullopt for a name that would leave the folder.
std::optional<std::string> cueFileNameInFolder(std::string_view name);

}  // namespace iradudo
