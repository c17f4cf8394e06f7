// SPDX-License-Identifier: GPL-3.0-or-later
#include "gif_test_support.h"

#include "gif/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace iradudo::test {

CodeStream::CodeStream(int minCodeSize) : minCodeSize_(minCodeSize), width_(minCodeSize + 1), nextFree_(clearCode() + 2)
{
}

void CodeStream::raw(int value, int width)
{
    pending_ |= static_cast<std::uint32_t>(value & ((1 << width) - 1)) << pendingBits_;
    pendingBits_ += width;
    while (pendingBits_ >= 8) {
        bytes_ += static_cast<char>(pending_ & 0xFF);
        pending_ >>= 8;
        pendingBits_ -= 8;
    }
}

void CodeStream::clear()
{
    raw(clearCode(), width_);
    width_ = minCodeSize_ + 1;
    nextFree_ = clearCode() + 2;
    firstAfterClear_ = true;
}

void CodeStream::code(int value)
{
    raw(value, width_);
    if (firstAfterClear_) {
        firstAfterClear_ = false;
        return;
    }
    if (nextFree_ < 4096)
        ++nextFree_;
    if (nextFree_ == (1 << width_) && width_ < 12)
        ++width_;
}

void CodeStream::end()
{
    raw(endCode(), width_);
}

std::string CodeStream::bytes() const
{
    std::string out = bytes_;
    if (pendingBits_ > 0)
        out += static_cast<char>(pending_ & 0xFF);
    return out;
}

std::string lzwEncode(const std::vector<std::uint8_t>& pixels, int minCodeSize)
{
    CodeStream stream(minCodeSize);
    stream.clear();
    if (pixels.empty()) {
        stream.end();
        return stream.bytes();
    }
    std::map<std::pair<int, int>, int> table;
    int nextCode = stream.endCode() + 1;
    int current = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const int pixel = pixels[i];
        const auto found = table.find({current, pixel});
        if (found != table.end()) {
            current = found->second;
            continue;
        }
        stream.code(current);
        if (nextCode == 4096) {
            // The reader's table is full after this code: start over.
            stream.clear();
            table.clear();
            nextCode = stream.endCode() + 1;
        } else {
            table[{current, pixel}] = nextCode++;
        }
        current = pixel;
    }
    stream.code(current);
    stream.end();
    return stream.bytes();
}

namespace {

void putU16(std::string& out, int value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

int tableBits(std::size_t entries)
{
    int bits = 0;
    while ((2u << bits) < entries)
        ++bits;
    if ((2u << bits) != entries)
        throw std::invalid_argument("colour table size must be a power of two from 2 to 256");
    return bits;
}

void putTable(std::string& out, const std::vector<Rgb>& table)
{
    for (const Rgb& rgb : table)
        out.append(reinterpret_cast<const char*>(rgb.data()), 3);
}

std::uint32_t u32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8
        | static_cast<std::uint8_t>(s[at + 2]) << 16
        | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}

std::uint16_t u16(const std::string& s, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8);
}

}  // namespace

std::string buildGif(const GifParts& parts)
{
    std::string out = parts.signature;
    putU16(out, parts.screenWidth ? parts.screenWidth : parts.width);
    putU16(out, parts.screenHeight ? parts.screenHeight : parts.height);
    if (parts.hasGlobalTable)
        out += static_cast<char>(0x80 | 0x70 | tableBits(parts.globalTable.size()));
    else
        out += static_cast<char>(0x70);
    out += '\0';  // background
    out += '\0';  // aspect
    if (parts.hasGlobalTable)
        putTable(out, parts.globalTable);
    out += parts.betweenTableAndImage;
    out += ',';
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, parts.width);
    putU16(out, parts.height);
    int flags = parts.interlaced ? 0x40 : 0;
    if (!parts.localTable.empty())
        flags |= 0x80 | tableBits(parts.localTable.size());
    out += static_cast<char>(flags);
    putTable(out, parts.localTable);
    out += static_cast<char>(parts.minCodeSize);
    for (std::size_t at = 0; at < parts.codes.size(); at += parts.blockSize) {
        const std::size_t n = std::min<std::size_t>(parts.blockSize, parts.codes.size() - at);
        out += static_cast<char>(n);
        out += parts.codes.substr(at, n);
    }
    if (parts.blockTerminator)
        out += '\0';
    out += parts.tail;
    return out;
}

std::vector<Rgb> greyTable(int entries)
{
    std::vector<Rgb> table;
    for (int i = 0; i < entries; ++i) {
        const auto v = static_cast<std::uint8_t>(i * 255 / std::max(1, entries - 1));
        table.push_back({v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(i * 7)});
    }
    return table;
}

Picture readHandOff(const std::string& bitmap)
{
    auto fail = [](const std::string& what) { throw std::runtime_error("bitmap hand-off: " + what); };
    if (bitmap.size() < 1078)
        fail("shorter than its headers");
    if (bitmap.compare(0, 2, "BM") != 0)
        fail("no BM signature");
    Picture picture;
    picture.width = static_cast<std::int32_t>(u32(bitmap, 18));
    picture.height = static_cast<std::int32_t>(u32(bitmap, 22));
    const std::size_t padded = (static_cast<std::size_t>(picture.width) + 3) / 4 * 4;
    if (u32(bitmap, 2) != 1078 + padded * picture.height)
        fail("file size field");
    if (bitmap.size() != 1078 + padded * picture.height)
        fail("length " + std::to_string(bitmap.size()) + " differs from the header's size");
    if (u32(bitmap, 6) != 0 || u32(bitmap, 10) != 1078 || u32(bitmap, 14) != 40)
        fail("reserved, offset or header size field");
    if (u16(bitmap, 26) != 1 || u16(bitmap, 28) != 8 || u32(bitmap, 30) != 0 || u32(bitmap, 34) != 0)
        fail("planes, depth, compression or image size field");
    if (u32(bitmap, 38) != 143 || u32(bitmap, 42) != 143 || u32(bitmap, 46) != 0 || u32(bitmap, 50) != 0)
        fail("resolution or colour count field");
    for (int i = 0; i < 256; ++i) {
        const std::size_t at = 54 + 4 * static_cast<std::size_t>(i);
        if (bitmap[at + 3] != 0)
            fail("palette reserved byte");
        picture.palette.push_back({static_cast<std::uint8_t>(bitmap[at + 2]), static_cast<std::uint8_t>(bitmap[at + 1]),
            static_cast<std::uint8_t>(bitmap[at])});
    }
    for (int row = 0; row < picture.height; ++row) {
        const std::size_t at = 1078 + padded * static_cast<std::size_t>(picture.height - 1 - row);
        picture.pixels.insert(picture.pixels.end(), bitmap.begin() + at, bitmap.begin() + at + picture.width);
        for (std::size_t pad = picture.width; pad < padded; ++pad)
            if (bitmap[at + pad] != 0)
                fail("row padding not zero");
    }
    return picture;
}

std::string decodeToBitmap(const std::string& gif, const iradudo::DecodeContext& context)
{
    std::istringstream in(gif);
    TGif decoder(context);
    decoder.Load(&in);
    std::stringstream out;
    decoder.WriteBitmap(out);
    return out.str();
}

namespace {

struct MemorySource {
    const std::string* data;
    std::size_t position;
};

int readMemory(GifFileType* file, GifByteType* buffer, int count)
{
    auto* source = static_cast<MemorySource*>(file->UserData);
    const std::size_t n = std::min<std::size_t>(count, source->data->size() - source->position);
    std::memcpy(buffer, source->data->data() + source->position, n);
    source->position += n;
    return static_cast<int>(n);
}

}  // namespace

Picture decodeWithGiflib(const std::string& gif)
{
    MemorySource source{&gif, 0};
    int error = 0;
    GifFileType* file = DGifOpen(&source, readMemory, &error);
    if (file == nullptr)
        throw std::runtime_error(std::string("giflib: ") + GifErrorString(error));
    if (DGifSlurp(file) != GIF_OK || file->ImageCount < 1) {
        const std::string message = GifErrorString(file->Error);
        DGifCloseFile(file, &error);
        throw std::runtime_error("giflib: " + message);
    }
    const SavedImage& image = file->SavedImages[0];
    Picture picture;
    picture.width = image.ImageDesc.Width;
    picture.height = image.ImageDesc.Height;
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : file->SColorMap;
    picture.palette.assign(256, Rgb{0, 0, 0});
    for (int i = 0; map != nullptr && i < map->ColorCount && i < 256; ++i)
        picture.palette[i] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue};
    picture.pixels.assign(
        image.RasterBits, image.RasterBits + static_cast<std::size_t>(picture.width) * picture.height);
    DGifCloseFile(file, &error);
    return picture;
}

std::string readBinaryFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace iradudo::test
