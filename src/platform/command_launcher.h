// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

// Starts programs. Never goes through a shell; the argument vector is passed as is.
class CommandLauncher {
public:
    virtual ~CommandLauncher() = default;

    // Starts argv[0] (looked up in PATH) with the arguments, in workingDirectory,
    // without waiting for it. True when the program could be started.
    virtual bool launch(const std::vector<std::string>& argv, const std::string& workingDirectory) = 0;
};

// The production launcher: posix_spawnp in a new session, stdin from /dev/null;
// the child is reaped in the background so no zombie stays behind.
class DetachedLauncher : public CommandLauncher {
public:
    bool launch(const std::vector<std::string>& argv, const std::string& workingDirectory) override;
};

// One of the program's command lines, taken apart once. Only "Start NAME" (the
// keyword in any letter case) is known today; the floppy's format command lines
// join it as further kinds.
struct CommandLine {
    enum class Kind { Start };
    Kind kind = Kind::Start;
    std::string name;  // Start: the file to open, never empty
};

// nullopt for a command line this platform does not know.
std::optional<CommandLine> parseCommandLine(std::string_view commandLine);

// The argument vector that runs a command line:
// Start NAME -> {"xdg-open", "./NAME"} (NAME relative to the working directory,
// so neither a leading "-" nor a "scheme:" can be taken for something else).
std::vector<std::string> commandArguments(const CommandLine& command);

}  // namespace iradudo
