// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/folded_name_index.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

// The names of one directory, read once for a batch of lookups: the names in one
// buffer and a folded-name index over them, so a listing of thousands of entries
// costs one directory read and no allocation per lookup.
class NameCache {
public:
    explicit NameCache(std::string hostDirectory) : hostDirectory_(std::move(hostDirectory)) { }

    const std::string& hostDirectory() const { return hostDirectory_; }

    // Adds a name with its type as readdir reports it (DT_REG, DT_DIR ...).
    // Call buildIndex after the last one.
    void add(std::string_view name, unsigned char type);
    void buildIndex();

    // The exact name when present, else the one name equal but for ASCII case;
    // nullptr when there is none, or several and none exact. The name stays
    // valid, zero-terminated, as long as the cache.
    const char* find(std::string_view wanted, unsigned char* type = nullptr) const;

private:
    struct Name {
        std::uint32_t offset;
        std::uint32_t length;
        unsigned char type;
    };
    std::string_view name(std::uint32_t index) const;

    std::string hostDirectory_;
    std::string buffer_;  // the names, each followed by a zero byte
    std::vector<Name> names_;
    FoldedNameIndex index_;
};

}  // namespace iradudo
