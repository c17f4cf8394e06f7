// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ascii.h"

#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

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
