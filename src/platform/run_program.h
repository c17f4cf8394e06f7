// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace iradudo {

struct ProgramResult {
    bool started = false;  // false: the program could not be found or started
    int exitCode = -1;     // -1 when it ended by a signal
    std::string output;    // standard output and standard error, interleaved
};

// Runs argv[0] (looked up in PATH) with an argument vector, never through a
// shell, with standard input from /dev/null, and waits for it. environment
// entries ("NAME=value") are added to or replace the program's own; a bare
// "NAME" removes that variable. withoutTerminal: the program runs in a session of
// its own, so it cannot open /dev/tty to ask the user a question behind the
// caller's back (mtools asks there before it deletes a read-only file).
ProgramResult runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
    bool withoutTerminal = false);

// True when name is an executable file: as given when it holds a "/", else in PATH.
bool programExists(const std::string& name);

}  // namespace iradudo
