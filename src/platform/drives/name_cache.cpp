// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/name_cache.h"

#include "platform/dos_path.h"

namespace iradudo {

std::uint64_t NameCache::foldedHash(std::string_view name)
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

std::string_view NameCache::name(std::uint32_t index) const
{
    return std::string_view(buffer_).substr(names_[index].offset, names_[index].length);
}

void NameCache::add(std::string_view name, unsigned char type)
{
    names_.push_back({static_cast<std::uint32_t>(buffer_.size()), static_cast<std::uint32_t>(name.size()), type});
    buffer_.append(name);
    buffer_.push_back('\0');
}

void NameCache::buildIndex()
{
    std::size_t capacity = 16;
    while (capacity < names_.size() * 2)
        capacity *= 2;
    slots_.assign(capacity, Slot{0, 0});
    for (std::uint32_t i = 0; i < names_.size(); ++i) {
        const std::uint64_t hash = foldedHash(name(i));
        std::size_t slot = hash & (capacity - 1);
        while (slots_[slot].index != 0)
            slot = (slot + 1) & (capacity - 1);
        slots_[slot] = Slot{i + 1, static_cast<std::uint32_t>(hash >> 32)};
    }
}

const char* NameCache::find(std::string_view wanted, unsigned char* type) const
{
    if (slots_.empty())
        return nullptr;
    const std::size_t mask = slots_.size() - 1;
    int match = -1;
    bool ambiguous = false;
    const std::uint64_t hash = foldedHash(wanted);
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t slot = hash & mask; slots_[slot].index != 0; slot = (slot + 1) & mask) {
        if (slots_[slot].tag != tag)
            continue;
        const std::uint32_t index = slots_[slot].index - 1;
        const std::string_view candidate = name(index);
        if (candidate == wanted) {
            match = static_cast<int>(index);
            ambiguous = false;
            break;
        }
        if (equalsIgnoringAsciiCase(candidate, wanted)) {
            ambiguous = ambiguous || match >= 0;
            match = static_cast<int>(index);
        }
    }
    if (match < 0 || ambiguous)
        return nullptr;
    const Name& found = names_[static_cast<std::size_t>(match)];
    if (type)
        *type = found.type;
    return buffer_.c_str() + found.offset;
}

}  // namespace iradudo
