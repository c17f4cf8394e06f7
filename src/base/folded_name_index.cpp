// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/folded_name_index.h"

namespace iradudo {

std::uint64_t FoldedNameIndex::foldedHash(std::string_view name)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(asciiLower(c))) * 1099511628211ull;
    // FNV's low bits cluster for names that differ in one digit; mix them.
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash;
}

}  // namespace iradudo
