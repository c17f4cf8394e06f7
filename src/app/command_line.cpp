// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include "platform/disc_option.h"

namespace iradudo {

WindowOptions parseWindowOptions(const std::vector<std::string>& arguments)
{
    WindowOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const DiscOption disc = takeDiscOption(arguments, i, options.discDirectories);
        if (disc == DiscOption::MissingDirectory) {
            options.error = kMissingDiscDirectory;
            return options;
        }
        if (disc == DiscOption::Taken)
            continue;
        const std::string& arg = arguments[i];
        if (arg == "--floppy" && i + 1 < arguments.size()) {
            options.floppy = arguments[++i];
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (!arg.empty() && arg[0] != '-') {
            // What a file manager passes when it opens a folder with the program.
            options.discDirectories.push_back(arg);
        } else {
            options.error = "unknown argument: " + arg;
            return options;
        }
    }
    return options;
}

}  // namespace iradudo
