// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

// What a "Format.com ..." command line is turned into on a machine without Format.com.
struct FormatLaunchSetup {
    std::string formatProgram = "iradudo-format";           // the program's own format program
    std::string floppy;                                     // the window program's --floppy, passed on
    std::function<bool(const std::string&)> programExists;  // is a terminal installed?
};

// For a command line whose program is "Format.com" (any case): the argument vector
// that opens the format program (told with --hold that the window is its own)
// with the line's switches in a new terminal window,
// x-terminal-emulator when the system has one, else a maximised xterm. nullopt for
// any other command line, and when no terminal is installed.
std::optional<std::vector<std::string>> formatTerminalArguments(
    std::string_view commandLine, const FormatLaunchSetup& setup);

// The format program beside the running program when it is there, else from PATH.
std::string formatProgramBesideExecutable();

}  // namespace iradudo
