// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.h"
#include "listed_file.h"

#include "base/exception.h"
#include "platform/disc_option.h"
#include "platform/ending_signals.h"
#include "platform/private_folder.h"
#include "program_version.h"

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
    out << "\n--cd DIR makes DIR a CD-ROM drive of its own, labelled with the directory's name;\n"
           "a disc image file (ISO 9660 .iso, .cue sheet with its .bin, Nero .nrg) is read in place\n"
           "and labelled with its volume name. A --cd or --floppy that cannot be used is named\n"
           "and left out; the command runs without it and the exit status is then 2.\n"
           "--floppy PATH makes PATH drive A: (a 720 KB or 1.44 MB floppy image file, an Amiga .adf disk file, or a "
           "floppy device).\n"
           "FILE is a host path or a drive path (D:\\Testi\\Leggimi.txt, A:\\GIOCO.LHA), read through\n"
           "the drive that holds it, as the window reads the file picked in its browser.\n";
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
    // Before any other thread starts, so that all of them leave the signals to this one.
    iradudo::removePrivateFoldersOnEndingSignals();
    iradudo::sweepStalePrivateFolders();
    std::vector<std::string> discs;
    std::string floppy;
    const std::vector<std::string> words(argv, argv + argc);
    std::size_t i = 1;
    for (; i < words.size(); ++i) {
        const iradudo::DiscOption disc = iradudo::takeDiscOption(words, i, discs);
        if (disc == iradudo::DiscOption::MissingDirectory) {
            std::cerr << iradudo::kMissingDiscDirectory << '\n';
            return 2;
        }
        if (disc == iradudo::DiscOption::Taken)
            continue;
        if (words[i] == "--floppy" && i + 1 < words.size()) {
            floppy = words[++i];
        } else if (words[i] == "--help" || words[i] == "-h") {
            printUsage(std::cout);
            return 0;
        } else if (words[i] == "--version") {
            std::cout << "iradudo-cli " << iradudo::kProgramVersion << '\n' << iradudo::kVersionNotice;
            return 0;
        } else {
            break;
        }
    }
    if (i >= words.size()) {
        printUsage(std::cerr);
        return 2;
    }
    const std::string name = words[i++];
    for (const Command& command : registeredCommands()) {
        if (name != command.name)
            continue;
        Invocation invocation{discs,
            std::vector<std::string>(words.begin() + static_cast<std::ptrdiff_t>(i), words.end()), std::cout, std::cerr,
            floppy};
        try {
            const int status = command.run(invocation);
            // A disc or floppy left out is a failure the user must see in the
            // status too, though the command did what it could without it.
            return status == 0 && argumentRefused() ? 2 : status;
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
