// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ascii.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace iradudo {

// Finds a name among many the way a disc's names are looked up: the exact name
// first, else the one name equal but for ASCII case (a case-folded name that
// several share finds none of them). An open-addressing table of indices hashed
// as the names are folded: thousands of names cost one allocation and no copy.
// The names stay with the caller, which hands a function from index to name to
// both build and find.
class FoldedNameIndex {
public:
    template <class NameAt>
    void build(const std::vector<std::uint32_t>& indices, NameAt nameAt)
    {
        std::size_t capacity = 16;
        while (capacity < indices.size() * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{0, 0});
        for (const std::uint32_t index : indices) {
            const std::uint64_t hash = foldedHash(nameAt(index));
            std::size_t slot = hash & (capacity - 1);
            while (slots_[slot].index != 0)
                slot = (slot + 1) & (capacity - 1);
            slots_[slot] = Slot{index + 1, static_cast<std::uint32_t>(hash >> 32)};
        }
    }

    template <class NameAt>
    std::optional<std::uint32_t> find(std::string_view wanted, NameAt nameAt) const
    {
        if (slots_.empty())
            return std::nullopt;
        const std::size_t mask = slots_.size() - 1;
        std::optional<std::uint32_t> match;
        bool ambiguous = false;
        const std::uint64_t hash = foldedHash(wanted);
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        for (std::size_t slot = hash & mask; slots_[slot].index != 0; slot = (slot + 1) & mask) {
            if (slots_[slot].tag != tag)
                continue;
            const std::uint32_t index = slots_[slot].index - 1;
            const std::string_view candidate = nameAt(index);
            if (candidate == wanted)
                return index;
            if (equalsIgnoringAsciiCase(candidate, wanted)) {
                ambiguous = ambiguous || match.has_value();
                match = index;
            }
        }
        return ambiguous ? std::nullopt : match;
    }

    static std::uint64_t foldedHash(std::string_view name);

private:
    struct Slot {
        std::uint32_t index;  // the caller's index + 1; 0 is empty
        std::uint32_t tag;    // high half of the hash, to skip most comparisons
    };

    std::vector<Slot> slots_;
};

}  // namespace iradudo
