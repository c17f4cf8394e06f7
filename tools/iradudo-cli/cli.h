// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace iradudo::cli {

// What a subcommand gets: the disc directories given with --cd (in order),
// the words after the subcommand's name, and where to print.
struct Invocation {
    std::vector<std::string> discDirectories;
    std::vector<std::string> arguments;
    std::ostream& out;
    std::ostream& err;
    std::string floppy = {};  // --floppy PATH: drive A:
};

// A subcommand returns the process's exit status. Failures the window would show
// in its error box are thrown as Exception; main prints the message and exits 1.
using CommandFunction = int (*)(const Invocation&);

struct Command {
    const char* name;
    const char* usage;  // shown by --help, e.g. "list PATH [--info]"
    CommandFunction run;
};

// Each subcommand's source file registers itself with a static CommandRegistration.
struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

const std::vector<Command>& registeredCommands();

}  // namespace iradudo::cli
