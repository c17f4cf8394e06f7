// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>
#include <spawn.h>

namespace iradudo {

// The signals that end a session's programs: SIGTERM at logout or from kill,
// SIGINT from Ctrl+C in a terminal, SIGHUP when the terminal goes.
inline constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// For the command-line programs: blocks the ending signals in this thread and in
// every thread started after it (call first in main), and starts a thread that
// waits for one, removes the live private folders and ends the program with
// status 128 + the signal's number.
void removePrivateFoldersOnEndingSignals();

// For the window program: a descriptor that becomes readable, one byte per
// signal, when an ending signal arrives, so the event loop can end the program
// the normal way. The handler does nothing but write to a pipe. -1 on failure.
int endingSignalPipe();
// After the first signal has been taken in hand: the next one ends the program
// at once, for a program that no longer answers.
void restoreDefaultEndingSignals();

// Spawn attributes for a child program: no signal blocked, whatever this
// program blocks.
bool resetSignalsForChild(posix_spawnattr_t& attributes);

}  // namespace iradudo
