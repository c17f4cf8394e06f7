// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// DOS-style paths: "D:\GAMES\FOO" (absolute), "D:" + relative, "\X" (root of
// the current drive) or relative names. "/" separates components as "\" does.
constexpr bool isDosSeparator(char c)
{
    return c == '\\' || c == '/';
}

// True when the path starts with a drive: an ASCII letter and ":".
constexpr bool hasDriveLetter(std::string_view path)
{
    return path.size() >= 2 && path[1] == ':' && isAsciiLetter(path[0]);
}

// The path's drive letter in upper case; 0 when it names none.
constexpr char driveLetterOf(std::string_view path)
{
    return hasDriveLetter(path) ? asciiUpper(path[0]) : 0;
}

// The names between separators, without empty ones ("A\\B\" gives A, B). A
// drive prefix is not a name: callers strip it first.
std::vector<std::string> splitDosPath(std::string_view path);

// The absolute path of names below a drive's root: "D:\" at the root, "D:\A\B" below it.
std::string joinDosPath(char drive, const std::vector<std::string>& names);

}  // namespace iradudo
