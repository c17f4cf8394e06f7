// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Hand-made metafiles for the damaged-input tests: records written byte by
// byte, so a test can put any count, size or index into them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace iradudo::test {

class Bytes {
public:
    Bytes& u16(std::uint32_t v)
    {
        data.push_back(std::uint8_t(v));
        data.push_back(std::uint8_t(v >> 8));
        return *this;
    }
    Bytes& u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        return u16(v >> 16);
    }
    Bytes& words(std::initializer_list<int> values)
    {
        for (int v : values)
            u16(std::uint32_t(v) & 0xFFFF);
        return *this;
    }
    Bytes& longs(std::initializer_list<std::int64_t> values)
    {
        for (auto v : values)
            u32(std::uint32_t(v));
        return *this;
    }
    std::vector<std::uint8_t> data;
};

// A standard WMF with the window 0,0 - width,height and the given records
// (each: function and parameter words), then the end record.
struct WmfRecord {
    int function;
    std::vector<int> params;
    int sizeOverride = -1;  // words; -1: the true size
};

inline std::vector<std::uint8_t> makeWmf(
    const std::vector<WmfRecord>& records, int objects = 4, int width = 100, int height = 100)
{
    Bytes b;
    b.words({1, 9, 0x0300}).u32(0).words({objects}).u32(0).words({0});
    b.u32(5).words({0x020B, 0, 0});
    b.u32(5).words({0x020C, height, width});
    for (const auto& r : records) {
        b.u32(r.sizeOverride >= 0 ? std::uint32_t(r.sizeOverride) : std::uint32_t(3 + r.params.size()));
        b.u16(std::uint32_t(r.function));
        for (int p : r.params)
            b.u16(std::uint32_t(p) & 0xFFFF);
    }
    b.u32(3).words({0});
    return b.data;
}

// An EMF of 100 x 100 pixels (frame 0.01 mm at 96 per inch) with the given
// records (type and parameter longs, after the 8-byte header), then EOF.
struct EmfRecord {
    std::uint32_t type;
    std::vector<std::int64_t> params;
    std::int64_t sizeOverride = -1;
};

inline std::vector<std::uint8_t> makeEmf(const std::vector<EmfRecord>& records, int handles = 4)
{
    Bytes b;
    b.longs({1, 108, 0, 0, 99, 99, 0, 0, 2645, 2645, 0x464D4520, 0x10000, 0, 0});
    b.u16(std::uint32_t(handles)).u16(0);
    b.longs({0, 0, 0, 960, 960, 254, 254, 0, 0, 0, 0});
    // header is 108 bytes: 8 + 16 + 16 + 4*4 + 2 + 2 + 4*3 + 8 + 8 + 4*5
    b.data.resize(108);
    for (const auto& r : records) {
        b.u32(r.type);
        b.u32(r.sizeOverride >= 0 ? std::uint32_t(r.sizeOverride) : std::uint32_t(8 + 4 * r.params.size()));
        for (auto p : r.params)
            b.u32(std::uint32_t(p));
    }
    b.longs({14, 20, 0, 16, 20});
    return b.data;
}

}  // namespace iradudo::test
