// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dos_path.h"

namespace iradudo {

std::vector<std::string> splitDosPath(std::string_view path)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || isDosSeparator(path[i])) {
            if (i > start)
                names.emplace_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return names;
}

std::string joinDosPath(char drive, const std::vector<std::string>& names)
{
    std::string path{drive, ':', '\\'};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            path.push_back('\\');
        path += names[i];
    }
    return path;
}

}  // namespace iradudo
