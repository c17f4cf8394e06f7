// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Integers stored in file headers: little-endian in BMP, ICO, GIF and metafile
// headers, big-endian in PNG chunks. The caller has checked that the bytes are
// there.
namespace iradudo {

inline std::uint16_t readLe16(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return std::uint16_t(p[0] | p[1] << 8);
}

inline std::uint32_t readLe32(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline std::uint32_t readBe32(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

inline void writeLe16(void* at, std::uint16_t value)
{
    auto* p = static_cast<unsigned char*>(at);
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

inline void writeLe32(void* at, std::uint32_t value)
{
    auto* p = static_cast<unsigned char*>(at);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace iradudo
