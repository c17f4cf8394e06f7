// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

namespace iradudo {

// True when bytes hold a PNG signature followed by chunks whose declared lengths
// all lie within the bytes present. Image readers allocate a chunk's declared
// length before reading it, so a few bytes claiming a 2 GB chunk would cost 2 GB;
// pictures that fail this check are not handed to a reader at all.
bool pngChunksFit(std::string_view bytes);

// True when bytes start with the PNG signature.
bool isPng(std::string_view bytes);

}  // namespace iradudo
