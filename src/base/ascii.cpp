// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ascii.h"

namespace iradudo {

std::string asciiUpper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = asciiUpper(c);
    return result;
}

std::string asciiLower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = asciiLower(c);
    return result;
}

}  // namespace iradudo
