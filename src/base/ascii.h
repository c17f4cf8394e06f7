// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace iradudo {

// Letter case of the names on the discs and of the program's own texts. Only the
// ASCII letters fold: a Latin-1 or UTF-8 name never matches another name by
// accident, and no locale changes the answer.
constexpr bool isAsciiUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

constexpr bool isAsciiLower(char c)
{
    return c >= 'a' && c <= 'z';
}

constexpr bool isAsciiLetter(char c)
{
    return isAsciiUpper(c) || isAsciiLower(c);
}

constexpr char asciiUpper(char c)
{
    return isAsciiLower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char asciiLower(char c)
{
    return isAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

inline bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace iradudo
