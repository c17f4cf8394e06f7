// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/name_cache.h"

namespace iradudo {

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
    std::vector<std::uint32_t> indices(names_.size());
    for (std::uint32_t i = 0; i < indices.size(); ++i)
        indices[i] = i;
    index_.build(indices, [this](std::uint32_t i) { return name(i); });
}

const char* NameCache::find(std::string_view wanted, unsigned char* type) const
{
    const std::optional<std::uint32_t> match = index_.find(wanted, [this](std::uint32_t i) { return name(i); });
    if (!match)
        return nullptr;
    const Name& found = names_[*match];
    if (type)
        *type = found.type;
    return buffer_.c_str() + found.offset;
}

}  // namespace iradudo
