// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/command_launcher.h"

#include "platform/dos_path.h"
#include "platform/ending_signals.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace iradudo {

bool DetachedLauncher::launch(const std::vector<std::string>& argv, const std::string& workingDirectory)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    bool ok = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0;
    if (ok && !workingDirectory.empty())
        ok = posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str()) == 0;
    // A session of its own: closing the program later does not take the viewer with it.
    ok = ok && posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0 && resetSignalsForChild(attributes);

    pid_t pid = -1;
    if (ok)
        ok = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (!ok)
        return false;

    // Nothing waits for the program; a small thread collects its exit status.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    }).detach();
    return true;
}

namespace {

CommandLineTranslator& translator()
{
    static CommandLineTranslator installed;
    return installed;
}

}  // namespace

void setCommandLineTranslator(CommandLineTranslator translator)
{
    iradudo::translator() = std::move(translator);
}

std::optional<CommandLine> parseCommandLine(std::string_view commandLine)
{
    constexpr std::string_view start = "Start ";
    if (commandLine.size() > start.size() && startsWithIgnoringAsciiCase(commandLine, start))
        return CommandLine{CommandLine::Kind::Start, std::string(commandLine.substr(start.size())), {}};
    if (translator()) {
        if (std::optional<std::vector<std::string>> argv = translator()(commandLine); argv && !argv->empty())
            return CommandLine{CommandLine::Kind::Program, {}, std::move(*argv)};
    }
    return std::nullopt;
}

std::vector<std::string> commandArguments(const CommandLine& command)
{
    switch (command.kind) {
    case CommandLine::Kind::Start:
        // Only a host path the platform resolved is opened: a relative name
        // might start with "-" or read as a "scheme:", and names nothing here.
        if (command.name.empty() || command.name.front() != '/')
            return {};
        return {"xdg-open", command.name};
    case CommandLine::Kind::Program: return command.argv;
    }
    return {};
}

}  // namespace iradudo
