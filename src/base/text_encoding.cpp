// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_encoding.h"

#include <cstdint>

namespace iradudo {
namespace {

// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is malformed.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t i)
{
    const auto lead = static_cast<std::uint8_t>(bytes[i]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

// 0: invalid, 1: valid ASCII only, 2: valid with a multi-byte sequence.
int classifyUtf8(std::string_view bytes)
{
    int result = 1;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0)
            return 0;
        if (length > 1)
            result = 2;
        i += length;
    }
    return result;
}

}  // namespace

bool isValidUtf8(std::string_view bytes)
{
    return classifyUtf8(bytes) != 0;
}

bool isMultibyteUtf8(std::string_view bytes)
{
    return classifyUtf8(bytes) == 2;
}

std::string latin1ToUtf8(std::string_view bytes)
{
    std::size_t ascii = 0;
    while (ascii < bytes.size() && static_cast<std::uint8_t>(bytes[ascii]) < 0x80)
        ++ascii;
    if (ascii == bytes.size())
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

std::string toDisplayUtf8(std::string_view bytes)
{
    return isValidUtf8(bytes) ? std::string(bytes) : latin1ToUtf8(bytes);
}

}  // namespace iradudo
