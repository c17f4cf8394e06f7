// SPDX-License-Identifier: GPL-3.0-or-later
#include "gif/gif.h"

#include "base/byte_order.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

static_assert(std::endian::native == std::endian::little, "the bit reader loads codes little-endian");

using iradudo::GifFailure;

namespace {

constexpr int kTableSize = 4096;  // codes 0 to 4095, widths up to 12 bits
constexpr int kMaxCodeSize = 12;
constexpr std::uint32_t kPixelDataOffset = 14 + 40 + 256 * 4;

// Longest string a code can stand for, plus room for the copy loop's 8-byte overshoot.
constexpr std::size_t kStringSlack = kTableSize + 16;
// Roots range up to 511 (minimum code size 9).
constexpr std::size_t kRootArea = 512;

void putU16(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(std::uint8_t* at, std::uint32_t value)
{
    putU16(at, value);
    putU16(at + 2, value >> 16);
}

// Copies an earlier string of the output forward. The source always ends at or
// before the destination's start, so 8-byte steps never read what they wrote;
// the last step may write up to 7 bytes past the string, into room not yet used.
inline void copyString(std::uint8_t* to, const std::uint8_t* from, unsigned length)
{
    do {
        std::uint64_t chunk;
        std::memcpy(&chunk, from, 8);
        std::memcpy(to, &chunk, 8);
        from += 8;
        to += 8;
    } while (length > 8 && (length -= 8));
}

// Row numbers in the order an interlaced image delivers its rows.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

}  // namespace

EGifException::EGifException(GifFailure failure) : Exception(messageFor(failure)), failure_(failure) { }

const char* EGifException::messageFor(GifFailure failure)
{
    switch (failure) {
    case GifFailure::NoSource: return "GIF file not found";
    case GifFailure::NotAGif: return "Not a GIF file";
    case GifFailure::MissingColorTable: return "Missing color table";
    case GifFailure::BadData: return "Bad data";
    case GifFailure::NoData: return "No data";
    case GifFailure::UnexpectedEof: return "Unexpected EOF";
    case GifFailure::BadCodeSize: return "Bad code size";
    case GifFailure::BadCode: return "Bad code";
    case GifFailure::BadBitSize: return "Bad bit size";
    case GifFailure::BadBitmap: return "Bad bitmap";
    }
    return "Unknown GIF error";
}

struct TGif::Decoder {
    std::istream* source = nullptr;
    iradudo::DecodeContext context;

    int width = 0;
    int height = 0;
    bool interlaced = false;
    bool hasLocalTable = false;
    int globalEntries = 0;
    int localEntries = 0;
    std::uint8_t globalTable[256 * 3] = {};
    std::uint8_t localTable[256 * 3] = {};
    std::uint8_t bitmapHeader[40] = {};

    // LZW parameters from the minimum code size.
    unsigned minCodeSize = 0;
    unsigned clearCode = 0;
    unsigned endCode = 0;

    // Bit reader: bits not yet consumed, least significant first, and the rest of
    // the current sub-block. Bytes of a sub-block are taken early; a new sub-block
    // is read only when a code needs its bits.
    struct BitReader {
        std::uint64_t buffer = 0;
        unsigned count = 0;
        const std::uint8_t* next = nullptr;
        unsigned bytesLeft = 0;
    };
    BitReader reader;
    std::uint8_t block[256] = {};

    // Every code stands for a string of pixels that the output already holds:
    // a root for its own pixel in the root area ahead of the rows, a table code
    // for the previous code's string plus one pixel, just where those were
    // produced. Expanding a code is then a single forward copy.
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
    };
    Entry table[kTableSize] = {};

    // The root area (one byte per root, the low 8 bits of its value), then the
    // rows in the order they were completed, width bytes each; rows completed
    // beyond the image's height are counted but not kept.
    std::unique_ptr<std::uint8_t[]> pixels;
    std::size_t imageBytes = 0;
    std::int64_t completedRows = 0;

    // Where the expansion stands; carried over when it stops keeping pixels.
    struct Expansion {
        unsigned code = 0;
        unsigned codeSize = 0;
        unsigned nextFree = 0;
        bool tableFull = false;
        std::size_t position = 0;  // where the next string goes
        unsigned previousLength = 0;
        std::size_t rowEnd = 0;  // position at which the current row completes
    };

    void ReadHeader();
    void SetBitmapHeader();
    void DecodeImage();
    void InitDecoder();
    void ReadBlock();
    unsigned ReadCode(BitReader& bits, unsigned codeSize);
    void refill(BitReader& bits, unsigned needed);
    template <bool Keeps>
    bool expand(Expansion& state);

    // A row is complete. Its pixels are already in place, so it is only counted
    // and reported; the load's progress may cancel the decode here. Rows beyond
    // the image's height (pixel data longer than the image) count as the last.
    void StoreRow(std::size_t& rowEnd)
    {
        ++completedRows;
        rowEnd += static_cast<std::size_t>(width);
        context.advance(std::min<std::int64_t>(completedRows, height), height);
    }

    // readSome takes what arrives, up to `count` bytes, and says how many came;
    // readExact fails with "Unexpected EOF" at a read that comes up short.
    std::size_t readSome(void* buffer, std::size_t count);
    void readExact(void* buffer, std::size_t count);

    std::vector<std::int64_t> completionOrder() const;
    void WriteBitmap(std::iostream& stream) const;
    std::uint32_t paddedRowLength() const { return (static_cast<std::uint32_t>(width) + 3) & ~3u; }
};

[[noreturn]] static void GifError(GifFailure failure)
{
    throw EGifException(failure);
}

std::size_t TGif::Decoder::readSome(void* buffer, std::size_t count)
{
    std::streambuf* input = source->rdbuf();
    if (input == nullptr)
        return 0;
    const std::streamsize got = input->sgetn(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void TGif::Decoder::readExact(void* buffer, std::size_t count)
{
    if (readSome(buffer, count) != count)
        GifError(GifFailure::UnexpectedEof);
}

void TGif::Decoder::ReadHeader()
{
    if (source == nullptr)
        GifError(GifFailure::NoSource);

    // What did arrive decides whether this is a GIF at all before a short read counts.
    std::uint8_t header[6];
    const std::size_t got = readSome(header, sizeof header);
    if (std::memcmp(header, "GIF", std::min<std::size_t>(got, 3)) != 0)
        GifError(GifFailure::NotAGif);
    if (got != sizeof header)
        GifError(GifFailure::UnexpectedEof);

    std::uint8_t screen[7];
    readExact(screen, sizeof screen);
    if ((screen[4] & 0x80) == 0)
        GifError(GifFailure::MissingColorTable);
    globalEntries = 2 << (screen[4] & 7);
    readExact(globalTable, 3 * static_cast<std::size_t>(globalEntries));

    std::uint8_t descriptor[10];
    const std::size_t descriptorGot = readSome(descriptor, sizeof descriptor);
    if (descriptorGot > 0 && descriptor[0] != 0x2C)
        GifError(GifFailure::BadData);
    if (descriptorGot != sizeof descriptor)
        GifError(GifFailure::UnexpectedEof);
    width = iradudo::readLe16(descriptor + 5);
    height = iradudo::readLe16(descriptor + 7);
    const std::uint8_t flags = descriptor[9];

    hasLocalTable = (flags & 0x80) != 0;
    if (hasLocalTable) {
        localEntries = 2 << (flags & 7);
        readExact(localTable, 3 * static_cast<std::size_t>(localEntries));
    }
    interlaced = (flags & 0x40) != 0;

    // A bitmap needs at least one pixel; the limit keeps a forged header from
    // claiming gigabytes before a single code has been read.
    const std::int64_t pixelCount = static_cast<std::int64_t>(width) * height;
    if (width == 0 || height == 0 || pixelCount > context.limits.gifPixels)
        GifError(GifFailure::BadBitmap);
    imageBytes = static_cast<std::size_t>(pixelCount);
    pixels = std::make_unique_for_overwrite<std::uint8_t[]>(kRootArea + imageBytes + kStringSlack);
    completedRows = 0;
}

void TGif::Decoder::SetBitmapHeader()
{
    std::uint8_t* h = bitmapHeader;
    std::memset(h, 0, sizeof bitmapHeader);
    putU32(h + 0, 40);
    putU32(h + 4, static_cast<std::uint32_t>(width));
    putU32(h + 8, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
    putU16(h + 12, 1);
    putU16(h + 14, 8);
    // compression, image size: 0
    putU32(h + 24, 143);
    putU32(h + 28, 143);
    // colours used (0 = all 256), important colours: 0
}

void TGif::Decoder::InitDecoder()
{
    std::uint8_t size;
    readExact(&size, 1);
    // 9 is one more than the format allows; such roots keep their low 8 bits as pixels.
    if (size < 2 || size > 9)
        GifError(GifFailure::BadCodeSize);
    minCodeSize = size;
    clearCode = 1u << size;
    endCode = clearCode + 1;
    reader = BitReader{0, 0, block, 0};
    for (unsigned root = 0; root < clearCode; ++root) {
        pixels[root] = static_cast<std::uint8_t>(root);
        table[root] = {root, 1};
    }
}

void TGif::Decoder::ReadBlock()
{
    std::uint8_t size;
    readExact(&size, 1);
    if (size == 0)
        GifError(GifFailure::NoData);
    readExact(block, size);
    reader.next = block;
    reader.bytesLeft = size;
}

void TGif::Decoder::refill(BitReader& bits, unsigned needed)
{
    for (;;) {
        while (bits.count <= 56 && bits.bytesLeft > 0) {
            bits.buffer |= static_cast<std::uint64_t>(*bits.next++) << bits.count;
            bits.count += 8;
            --bits.bytesLeft;
        }
        if (bits.count >= needed)
            return;
        reader = bits;
        ReadBlock();
        bits = reader;
    }
}

inline unsigned TGif::Decoder::ReadCode(BitReader& bits, unsigned codeSize)
{
    if (bits.bytesLeft >= 8) [[likely]] {
        // Top the buffer up to at least 56 bits with whole bytes of the sub-block.
        std::uint64_t word;
        std::memcpy(&word, bits.next, 8);
        bits.buffer |= word << bits.count;
        const unsigned taken = (63 - bits.count) >> 3;
        bits.next += taken;
        bits.bytesLeft -= taken;
        bits.count |= 56;
    } else if (bits.count < codeSize) {
        refill(bits, codeSize);
    }
    const unsigned code = static_cast<unsigned>(bits.buffer) & ((1u << codeSize) - 1);
    bits.buffer >>= codeSize;
    bits.count -= codeSize;
    return code;
}

// Runs the expansion until the end code (returns true) or, when Keeps, until the
// image's last row is complete (returns false): from then on the pixels only
// count towards rows, but the codes are still checked up to the end code.
template <bool Keeps>
bool TGif::Decoder::expand(Expansion& state)
{
    unsigned code = state.code;
    unsigned codeSize = state.codeSize;
    unsigned nextFree = state.nextFree;
    bool tableFull = state.tableFull;
    std::size_t position = state.position;
    unsigned previousLength = state.previousLength;
    std::size_t rowEnd = state.rowEnd;
    std::uint8_t* const out = pixels.get();
    const unsigned clear = clearCode;
    BitReader bits = reader;

    const auto save = [&] {
        reader = bits;
        state = {code, codeSize, nextFree, tableFull, position, previousLength, rowEnd};
    };

    for (;;) {
        unsigned stringLength;
        if (code - clear < 2) [[unlikely]] {
            if (code != clear) {
                save();
                return true;
            }
            codeSize = minCodeSize + 1;
            nextFree = clear + 2;
            do
                code = ReadCode(bits, codeSize);
            while (code == clear);
            if (code == clear + 1)
                GifError(GifFailure::BadCode);
            if (code >= nextFree)
                code = 0;
            if constexpr (Keeps)
                out[position] = static_cast<std::uint8_t>(code);
            stringLength = 1;
        } else {
            if (code < nextFree) [[likely]] {
                const Entry entry = table[code];
                stringLength = entry.length;
                if constexpr (Keeps)
                    copyString(out + position, out + entry.offset, stringLength);
            } else if (code == nextFree) {
                // The previous string followed by its own first pixel.
                stringLength = previousLength + 1;
                if constexpr (Keeps) {
                    copyString(out + position, out + position - previousLength, previousLength);
                    out[position + previousLength] = out[position - previousLength];
                }
            } else {
                GifError(GifFailure::BadCode);
            }
            // The new entry: the previous string and this string's first pixel,
            // which now follow each other in the output. nextFree stays below
            // 2^codeSize (at most 4096) until the table is full, and a full table
            // admits nothing but a clear code, so the index is always in range.
            table[nextFree] = {static_cast<std::uint32_t>(position - previousLength), previousLength + 1};
            ++nextFree;
            if (nextFree >> codeSize) [[unlikely]] {
                if (codeSize < kMaxCodeSize)
                    ++codeSize;
                else
                    tableFull = true;
            }
        }
        previousLength = stringLength;
        position += stringLength;

        if (position >= rowEnd) [[unlikely]] {
            do
                StoreRow(rowEnd);
            while (position >= rowEnd);
            if constexpr (Keeps) {
                if (completedRows >= height) {
                    code = ReadCode(bits, codeSize);
                    if (tableFull && code != clear)
                        GifError(GifFailure::BadBitSize);
                    tableFull = false;
                    save();
                    return false;
                }
            }
        }

        code = ReadCode(bits, codeSize);
        if (tableFull) [[unlikely]] {
            if (code != clear)
                GifError(GifFailure::BadBitSize);
            tableFull = false;
        }
    }
}

void TGif::Decoder::DecodeImage()
{
    InitDecoder();
    Expansion state;
    state.position = kRootArea;
    state.rowEnd = kRootArea + static_cast<std::size_t>(width);
    state.code = ReadCode(reader, minCodeSize + 1);
    // Without a clear code first, the table's bounds are undefined: refuse the stream.
    if (state.code != clearCode)
        GifError(GifFailure::BadCode);
    if (!expand<true>(state))
        expand<false>(state);
}

// For each image row, the index in completion order of the last row stored for
// it (-1: none). Rows count on after the last interlace pass, and every row
// number at or beyond the height belongs to no image row.
std::vector<std::int64_t> TGif::Decoder::completionOrder() const
{
    std::vector<std::int64_t> order(static_cast<std::size_t>(height), -1);
    const std::int64_t stored = std::min<std::int64_t>(completedRows, height);
    std::int64_t row = 0;
    int pass = 0;
    for (std::int64_t k = 0; k < stored; ++k) {
        if (row < height)
            order[static_cast<std::size_t>(row)] = k;
        if (!interlaced || pass > 3) {
            ++row;
            continue;
        }
        row += kPassStep[pass];
        if (row >= height) {
            do
                ++pass;
            while (pass <= 3 && kPassStart[pass] >= height);
            if (pass <= 3)
                row = kPassStart[pass];
        }
    }
    return order;
}

void TGif::Decoder::WriteBitmap(std::iostream& stream) const
{
    const std::uint32_t padded = paddedRowLength();
    std::uint8_t head[kPixelDataOffset] = {};
    head[0] = 'B';
    head[1] = 'M';
    putU32(head + 2, kPixelDataOffset + padded * static_cast<std::uint32_t>(height));
    putU32(head + 10, kPixelDataOffset);
    std::memcpy(head + 14, bitmapHeader, sizeof bitmapHeader);
    const std::uint8_t* table = hasLocalTable ? localTable : globalTable;
    const int entries = hasLocalTable ? localEntries : globalEntries;
    for (int i = 0; i < entries; ++i) {
        std::uint8_t* quad = head + 54 + 4 * i;
        quad[0] = table[3 * i + 2];
        quad[1] = table[3 * i + 1];
        quad[2] = table[3 * i];
    }

    stream.clear();
    stream.seekp(0);
    stream.write(reinterpret_cast<const char*>(head), sizeof head);

    const std::vector<std::int64_t> order = completionOrder();
    const auto rowPixels = [&](std::int64_t k) {
        return reinterpret_cast<const char*>(pixels.get() + kRootArea + static_cast<std::size_t>(k) * width);
    };
    if (padded >= 1024) {
        // Long rows go to the stream straight from the decoded rows.
        static const char zeros[4] = {};
        std::vector<char> blank;
        for (int row = height - 1; row >= 0; --row) {
            const std::int64_t k = order[static_cast<std::size_t>(row)];
            if (k >= 0) {
                stream.write(rowPixels(k), width);
                stream.write(zeros, padded - static_cast<std::uint32_t>(width));
            } else {
                blank.resize(padded);  // a row that never arrived: index 0
                stream.write(blank.data(), padded);
            }
        }
    } else {
        // Short rows are gathered first, so that a narrow, tall picture does not
        // cost two writes per row.
        std::vector<char> chunk;
        constexpr std::size_t kChunk = 1 << 16;
        chunk.reserve(kChunk + padded);
        for (int row = height - 1; row >= 0; --row) {
            const std::size_t at = chunk.size();
            chunk.resize(at + padded);  // zero: padding, and the rows that never arrived
            const std::int64_t k = order[static_cast<std::size_t>(row)];
            if (k >= 0)
                std::memcpy(chunk.data() + at, rowPixels(k), width);
            if (chunk.size() >= kChunk) {
                stream.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                chunk.clear();
            }
        }
        stream.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    stream.seekp(0);
    stream.seekg(0);
}

TGif::TGif(iradudo::DecodeContext context) : decoder_(std::make_unique<Decoder>()), context_(context)
{
    decoder_->SetBitmapHeader();
}

TGif::~TGif() = default;

void TGif::Load(std::istream* source)
{
    decoder_ = std::make_unique<Decoder>();
    decoder_->source = source;
    decoder_->context = context_;
    try {
        decoder_->ReadHeader();
        decoder_->SetBitmapHeader();
        decoder_->DecodeImage();
    } catch (...) {
        // No partial picture remains.
        decoder_ = std::make_unique<Decoder>();
        decoder_->SetBitmapHeader();
        throw;
    }
}

void TGif::WriteBitmap(std::iostream& stream)
{
    decoder_->WriteBitmap(stream);
}

int TGif::width() const
{
    return decoder_->width;
}

int TGif::height() const
{
    return decoder_->height;
}

void TGif::ReadIndices(std::uint8_t* into, std::size_t stride) const
{
    const Decoder& d = *decoder_;
    const std::vector<std::int64_t> order = d.completionOrder();
    const auto rowWidth = static_cast<std::size_t>(d.width);
    for (std::size_t row = 0; row < order.size(); ++row) {
        std::uint8_t* line = into + row * stride;
        const std::int64_t k = order[row];
        if (k >= 0)
            std::memcpy(line, d.pixels.get() + kRootArea + static_cast<std::size_t>(k) * rowWidth, rowWidth);
        else
            std::memset(line, 0, rowWidth);
    }
}

void TGif::ReadPalette(std::uint8_t (&rgb)[256 * 3]) const
{
    const Decoder& d = *decoder_;
    std::memset(rgb, 0, sizeof rgb);
    const std::uint8_t* table = d.hasLocalTable ? d.localTable : d.globalTable;
    const int entries = d.hasLocalTable ? d.localEntries : d.globalEntries;
    std::memcpy(rgb, table, 3 * static_cast<std::size_t>(entries));
}
