// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
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

// One of the program's command lines, taken apart once: "Start NAME" (the
// keyword in any letter case), or a line the installed translator turned into
// a program's argument vector.
struct CommandLine {
    enum class Kind { Start, Program };
    Kind kind = Kind::Start;
    std::string name;               // Start: the file to open, never empty
    std::vector<std::string> argv;  // Program: the vector to start
};

// nullopt for a command line this platform does not know.
std::optional<CommandLine> parseCommandLine(std::string_view commandLine);

// The argument vector that runs a command line:
// Start PATH -> {"xdg-open", PATH} for an absolute host path, which the platform
// has resolved the listed name to, and no vector (nothing starts) otherwise;
// Program -> the translator's vector as it is.
std::vector<std::string> commandArguments(const CommandLine& command);

// Command lines other than "Start" go to the translator set at start-up (the
// floppy tools turn "Format.com ..." into their own format program); without
// one, or when it declines, they are unknown.

using CommandLineTranslator = std::function<std::optional<std::vector<std::string>>(std::string_view)>;
void setCommandLineTranslator(CommandLineTranslator translator);

}  // namespace iradudo
