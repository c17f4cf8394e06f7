// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace iradudo {

// What a Nero image's footer or chunks say that the reader cannot follow.
class NrgImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads size bytes at offset into buffer; false when they are not all there.
using NrgReadAt = std::function<bool(std::uint64_t offset, void* buffer, std::size_t size)>;

// Where the image's first data track lies in the image file.
struct NrgDataTrackPlace {
    std::uint64_t byteOffset = 0;
    int sectorBytes = 2048;
    int userDataOffset = 0;
    std::uint64_t sectorCount = 0;
};

// Follows the footer and the chunk chain of an image of fileSize bytes, read
// through readAt, to its first data track. Throws NrgImageError.
NrgDataTrackPlace locateNrgDataTrack(const NrgReadAt& readAt, std::uint64_t fileSize);

}  // namespace iradudo
