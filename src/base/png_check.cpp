// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/png_check.h"

#include "base/byte_order.h"

#include <cstdint>

namespace iradudo {
namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr std::size_t kChunkFrame = 12;  // length, type and CRC around the data

}  // namespace

bool isPng(std::string_view bytes)
{
    return bytes.substr(0, kSignature.size()) == kSignature;
}

bool pngChunksFit(std::string_view bytes)
{
    if (!isPng(bytes))
        return false;
    std::size_t at = kSignature.size();
    while (bytes.size() - at >= kChunkFrame) {
        const std::uint64_t length = readBe32(bytes.data() + at);
        if (length > bytes.size() - at - kChunkFrame)
            return false;
        if (bytes.substr(at + 4, 4) == "IEND")
            return true;
        at += kChunkFrame + length;
    }
    // Ends without IEND: readers show what they have, and every chunk seen fits.
    return true;
}

}  // namespace iradudo
