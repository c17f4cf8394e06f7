// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/nrg_image.h"

#include "base/byte_order.h"
#include "base/exception.h"
#include "base/file_handle.h"
#include "platform/drives/data_track.h"

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace iradudo {

namespace {

// A disc has at most 99 tracks; a chain of more chunks than this is no image.
constexpr int kMaxChunks = 256;
// The largest track table: DAOX header and 99 tracks of 42 bytes, or 99 ETN2
// entries of 32; anything longer is skipped unread, never buffered.
constexpr std::uint32_t kMaxTableBytes = 22 + 99 * 42;

std::uint64_t readBe64(const unsigned char* p)
{
    return std::uint64_t(readBe32(p)) << 32 | readBe32(p + 4);
}

std::uint16_t readBe16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

struct Geometry {
    int sectorBytes;
    int userDataOffset;
};

// The sector layout behind a track's mode code; nullopt for audio and for
// layouts that hold no readable file system here (sub-channel data appended).
std::optional<Geometry> dataGeometry(unsigned modeCode)
{
    switch (modeCode) {
    case 0x00:  // Mode 1, user data only
    case 0x02:  // Mode 2 Form 1, user data only
        return Geometry{2048, 0};
    case 0x03:  // Mode 2 without sync and header: subheader, then data
        return Geometry{2336, 8};
    case 0x05:  // raw Mode 1
        return Geometry{2352, 16};
    case 0x06:  // raw Mode 2 (Form 1 data after the subheader)
        return Geometry{2352, 24};
    default: return std::nullopt;
    }
}

bool isAudio(unsigned modeCode)
{
    return modeCode == 0x07 || modeCode == 0x10;
}

struct Chunk {
    char id[4];
    std::uint64_t payload;  // offset of its data
    std::uint32_t length;
};

bool hasId(const Chunk& chunk, const char* id)
{
    return std::memcmp(chunk.id, id, 4) == 0;
}

std::vector<unsigned char> readPayload(const NrgReadAt& readAt, const Chunk& chunk)
{
    if (chunk.length > kMaxTableBytes)
        throw NrgImageError("a track table is too long");
    std::vector<unsigned char> bytes(chunk.length);
    // An empty table has no buffer to read into; its length check refuses it.
    if (!bytes.empty() && !readAt(chunk.payload, bytes.data(), bytes.size()))
        throw NrgImageError("a chunk cannot be read");
    return bytes;
}

// The first data track of a disc-at-once table; nullopt when it lists only audio.
std::optional<NrgDataTrackPlace> daoTrack(const std::vector<unsigned char>& table, bool wide, std::uint64_t dataEnd)
{
    constexpr std::size_t kHeader = 22;
    const std::size_t entry = wide ? 42 : 30;
    if (table.size() < kHeader + entry || (table.size() - kHeader) % entry != 0)
        throw NrgImageError("a disc-at-once table has a wrong length");
    for (std::size_t at = kHeader; at < table.size(); at += entry) {
        const unsigned char* p = table.data() + at;
        const unsigned sectorSize = readBe16(p + 12);
        const unsigned mode = p[14];
        const auto offset = [&](int i) { return wide ? readBe64(p + 18 + 8 * i) : readBe32(p + 18 + 4 * i); };
        const std::uint64_t pregap = offset(0), start = offset(1), end = offset(2);
        if (pregap > start || start > end || end > dataEnd)
            throw NrgImageError("a track's offsets are out of order");
        if (isAudio(mode))
            continue;
        const std::optional<Geometry> shape = dataGeometry(mode);
        if (!shape || static_cast<int>(sectorSize) != shape->sectorBytes)
            throw NrgImageError("the data track's sectors cannot be read");
        const std::uint64_t count = (end - start) / sectorSize;
        if (count == 0)
            throw NrgImageError("the data track holds no sector");
        return NrgDataTrackPlace{start, shape->sectorBytes, shape->userDataOffset, count};
    }
    return std::nullopt;
}

// The same for a track-at-once table.
std::optional<NrgDataTrackPlace> taoTrack(const std::vector<unsigned char>& table, bool wide, std::uint64_t dataEnd)
{
    const std::size_t entry = wide ? 32 : 20;
    if (table.empty() || table.size() % entry != 0)
        throw NrgImageError("a track-at-once table has a wrong length");
    for (std::size_t at = 0; at < table.size(); at += entry) {
        const unsigned char* p = table.data() + at;
        const std::uint64_t offset = wide ? readBe64(p) : readBe32(p);
        const std::uint64_t length = wide ? readBe64(p + 8) : readBe32(p + 4);
        const std::uint32_t mode = readBe32(p + (wide ? 16 : 8));
        if (offset > dataEnd || length > dataEnd - offset)
            throw NrgImageError("a track lies beyond the image's data");
        if (isAudio(mode))
            continue;
        const std::optional<Geometry> shape = dataGeometry(mode);
        if (!shape)
            throw NrgImageError("the data track's sectors cannot be read");
        const std::uint64_t count = length / static_cast<unsigned>(shape->sectorBytes);
        if (count == 0)
            throw NrgImageError("the data track holds no sector");
        return NrgDataTrackPlace{offset, shape->sectorBytes, shape->userDataOffset, count};
    }
    return std::nullopt;
}

}  // namespace

NrgDataTrackPlace locateNrgDataTrack(const NrgReadAt& readAt, std::uint64_t fileSize)
{
    unsigned char footer[12];
    std::uint64_t chainStart = 0;
    std::uint64_t chainEnd = 0;  // where the footer starts
    if (fileSize >= 12 && readAt(fileSize - 12, footer, 12) && std::memcmp(footer, "NER5", 4) == 0) {
        chainStart = readBe64(footer + 4);
        chainEnd = fileSize - 12;
    } else if (fileSize >= 8 && readAt(fileSize - 8, footer, 8) && std::memcmp(footer, "NERO", 4) == 0) {
        chainStart = readBe32(footer + 4);
        chainEnd = fileSize - 8;
    } else {
        throw NrgImageError("no Nero footer");
    }
    if (chainStart >= chainEnd)
        throw NrgImageError("the chunk chain lies outside the image");

    std::optional<NrgDataTrackPlace> dao;
    std::optional<NrgDataTrackPlace> tao;
    bool sawTable = false;
    std::uint64_t at = chainStart;
    for (int count = 0;; ++count) {
        // Every chunk lies wholly after the one before it and before the footer,
        // so the walk always moves on and ends.
        if (count == kMaxChunks)
            throw NrgImageError("the chunk chain is too long");
        if (chainEnd - at < 8)
            throw NrgImageError("the chunk chain runs into the footer");
        unsigned char header[8];
        if (!readAt(at, header, sizeof header))
            throw NrgImageError("a chunk header cannot be read");
        Chunk chunk{};
        std::memcpy(chunk.id, header, 4);
        chunk.payload = at + 8;
        chunk.length = readBe32(header + 4);
        if (chunk.length > chainEnd - chunk.payload)
            throw NrgImageError("a chunk runs past the footer");
        if (hasId(chunk, "END!"))
            break;
        const bool daox = hasId(chunk, "DAOX");
        const bool etn2 = hasId(chunk, "ETN2");
        if ((daox || hasId(chunk, "DAOI")) && !dao && !sawTable) {
            dao = daoTrack(readPayload(readAt, chunk), daox, chainStart);
            sawTable = true;
        } else if ((etn2 || hasId(chunk, "ETNF")) && !tao) {
            // Each session of a track-at-once image has a table; the first data
            // track is what a drive would mount.
            tao = taoTrack(readPayload(readAt, chunk), etn2, chainStart);
        }
        // CUEX, CUES, SINF, MTYP, CDTX and chunks of newer writers say nothing
        // the data track needs.
        at = chunk.payload + chunk.length;
    }
    if (dao)
        return *dao;
    if (tao)
        return *tao;
    throw NrgImageError("the image lists no data track");
}

DataTrack openNrgDataTrack(const std::string& imagePath)
{
    DataTrack track;
    track.file = openRegularFile(imagePath);
    struct stat info { };
    if (!track.file.valid() || ::fstat(track.file.fd(), &info) != 0 || info.st_size < 0)
        throw EFOpenError(imagePath);
    const int fd = track.file.fd();
    const NrgReadAt readAt = [fd](std::uint64_t offset, void* buffer, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n
                = ::pread(fd, static_cast<char*>(buffer) + done, size - done, static_cast<off_t>(offset + done));
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    try {
        const NrgDataTrackPlace place = locateNrgDataTrack(readAt, static_cast<std::uint64_t>(info.st_size));
        track.byteOffset = place.byteOffset;
        track.sectorBytes = place.sectorBytes;
        track.userDataOffset = place.userDataOffset;
        track.sectorCount = place.sectorCount;
    } catch (const NrgImageError&) {
        throw EFOpenError(imagePath);
    }
    return track;
}

}  // namespace iradudo
