// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/run_program.h"

#include "platform/ending_signals.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace iradudo {

ProgramResult runProgram(
    const std::vector<std::string>& argv, const std::vector<std::string>& environment, bool withoutTerminal)
{
    ProgramResult result;
    if (argv.empty())
        return result;

    // "NAME=" of an entry; a bare "NAME" only removes the variable.
    const auto keyOf = [](const std::string& entry) {
        const std::size_t equals = entry.find('=');
        return equals == std::string::npos ? entry + "=" : entry.substr(0, equals + 1);
    };
    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string key = keyOf(text);
        bool replaced = false;
        for (const std::string& added : environment)
            replaced = replaced || keyOf(added) == key;
        if (!replaced)
            envStrings.push_back(text);
    }
    for (const std::string& added : environment)
        if (added.find('=') != std::string::npos)
            envStrings.push_back(added);
    std::vector<char*> envp;
    for (std::string& text : envStrings)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& arg : args)
        argp.push_back(arg.data());
    argp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    pid_t pid = -1;
    const bool ownSession = !withoutTerminal || posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0;
    const int spawned = ownSession && resetSignalsForChild(attributes)
        ? posix_spawnp(&pid, argp[0], &actions, &attributes, argp.data(), envp.data())
        : -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return result;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0)
            result.output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    result.started = true;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // posix_spawnp reports a missing program through the child on some C libraries.
    if (result.exitCode == 127 && result.output.empty())
        result.started = false;
    return result;
}

bool programExists(const std::string& name)
{
    if (name.empty())
        return false;
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

}  // namespace iradudo
