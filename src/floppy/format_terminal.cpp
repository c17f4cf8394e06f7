// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/format_terminal.h"

#include "platform/dos_path.h"

#include <climits>
#include <sstream>
#include <unistd.h>

namespace iradudo {

std::optional<std::vector<std::string>> formatTerminalArguments(
    std::string_view commandLine, const FormatLaunchSetup& setup)
{
    std::istringstream words{std::string(commandLine)};
    std::string program;
    words >> program;
    if (!equalsIgnoringAsciiCase(program, "format.com"))
        return std::nullopt;

    std::vector<std::string> argv;
    if (setup.programExists && setup.programExists("x-terminal-emulator"))
        argv = {"x-terminal-emulator", "-e"};
    else if (setup.programExists && setup.programExists("xterm"))
        argv = {"xterm", "-maximized", "-e"};
    else
        return std::nullopt;
    argv.push_back(setup.formatProgram);
    // The terminal closes when the program ends: --hold keeps a last message readable.
    argv.push_back("--hold");
    if (!setup.floppy.empty()) {
        argv.push_back("--floppy");
        argv.push_back(setup.floppy);
    }
    std::string word;
    while (words >> word)
        argv.push_back(word);
    return argv;
}

std::string formatProgramBesideExecutable()
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string path(self, static_cast<std::size_t>(n));
        path = path.substr(0, path.rfind('/') + 1) + "iradudo-format";
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return "iradudo-format";
}

}  // namespace iradudo
