// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.h"

#include "platform/exception.h"
#include "program_version.h"

#include <cstring>
#include <exception>
#include <iostream>

namespace iradudo::cli {
namespace {

std::vector<Command>& commandTable()
{
    static std::vector<Command> commands;
    return commands;
}

void printUsage(std::ostream& out)
{
    out << "usage: iradudo-cli [--floppy PATH] [--cd DIR]... COMMAND [ARGS]\n"
           "       iradudo-cli --help | --version\n\ncommands:\n";
    for (const Command& command : commandTable())
        out << "  " << command.usage << '\n';
    out << "\n--cd DIR makes DIR a CD-ROM drive of its own, labelled with the directory's name.\n"
           "--floppy PATH makes PATH drive A: (a 720 KB or 1.44 MB floppy image file, or a floppy device).\n";
}

}  // namespace

CommandRegistration::CommandRegistration(Command command)
{
    commandTable().push_back(command);
}

const std::vector<Command>& registeredCommands()
{
    return commandTable();
}

}  // namespace iradudo::cli

int main(int argc, char** argv)
{
    using namespace iradudo::cli;
    std::vector<std::string> discs;
    std::string floppy;
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cd") == 0) {
            if (i + 1 >= argc) {
                std::cerr << "--cd needs a directory\n";
                return 2;
            }
            discs.emplace_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--floppy") == 0 && i + 1 < argc) {
            floppy = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(std::cout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "iradudo-cli " << iradudo::kProgramVersion << '\n' << iradudo::kVersionNotice;
            return 0;
        } else {
            break;
        }
    }
    if (i >= argc) {
        printUsage(std::cerr);
        return 2;
    }
    const std::string name = argv[i++];
    for (const Command& command : registeredCommands()) {
        if (name != command.name)
            continue;
        Invocation invocation{discs, std::vector<std::string>(argv + i, argv + argc), std::cout, std::cerr, floppy};
        try {
            return command.run(invocation);
        } catch (...) {
            std::cout.flush();
            std::cerr << iradudo::messageOfCurrentException() << '\n';
            return 1;
        }
    }
    std::cerr << "unknown command: " << name << '\n';
    printUsage(std::cerr);
    return 2;
}
