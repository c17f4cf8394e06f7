// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

namespace iradudo {

WindowOptions parseWindowOptions(const std::vector<std::string>& arguments)
{
    WindowOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--cd") {
            if (i + 1 >= arguments.size()) {
                options.error = "--cd needs a directory";
                return options;
            }
            options.discDirectories.push_back(arguments[++i]);
        } else if (arg.rfind("--cd=", 0) == 0) {
            options.discDirectories.push_back(arg.substr(5));
        } else if (arg == "--floppy" && i + 1 < arguments.size()) {
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
