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

// The argument vector for one of the program's command lines:
// "Start NAME" -> {"xdg-open", "./NAME"} (NAME relative to the working directory,
// so neither a leading "-" nor a "scheme:" can be taken for something else).
// nullopt for a command line this platform does not know.
// Any other command line goes to the translator set at start-up (the floppy
// tools turn "Format.com ..." into their own format program).
std::optional<std::vector<std::string>> commandLineToArguments(std::string_view commandLine);

using CommandLineTranslator = std::function<std::optional<std::vector<std::string>>(std::string_view)>;
void setCommandLineTranslator(CommandLineTranslator translator);

}  // namespace iradudo
