// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-format: what the window's "Formatta" and "Formatta veloce" run in a
// terminal on a machine without Format.com.
#include "floppy/format_floppy.h"
#include "platform/ending_signals.h"
#include "platform/private_folder.h"
#include "program_version.h"

#include <cstring>
#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    // Before any other thread starts, so that all of them leave the signals to this one.
    iradudo::removePrivateFoldersOnEndingSignals();
    iradudo::sweepStalePrivateFolders();
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "iradudo-format " << iradudo::kProgramVersion << '\n' << iradudo::kVersionNotice;
        return 0;
    }
    const iradudo::FormatOptions options
        = iradudo::parseFormatArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
        std::cout << iradudo::kFormatUsage;
        return 0;
    }
    if (!options.error.empty()) {
        std::cerr << options.error << "\n\n" << iradudo::kFormatUsage;
        iradudo::holdBeforeClosing(options, std::cin, std::cout);
        return 2;
    }
    try {
        return iradudo::runFormat(options, std::cin, std::cout);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
