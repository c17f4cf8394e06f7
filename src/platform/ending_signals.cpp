// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ending_signals.h"

#include "platform/private_folder.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace iradudo {

namespace {

sigset_t endingSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kEndingSignals)
        sigaddset(&set, signal);
    return set;
}

int pipeWriteEnd = -1;

extern "C" void writeToPipe(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(pipeWriteEnd, &byte, 1);
    errno = saved;
}

}  // namespace

void removePrivateFoldersOnEndingSignals()
{
    const sigset_t set = endingSet();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        return;
    std::thread([set] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) { }
        removeLivePrivateFolders();
        ::_exit(128 + signal);
    }).detach();
}

int endingSignalPipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    pipeWriteEnd = fds[1];
    struct sigaction action { };
    action.sa_handler = writeToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kEndingSignals) {
        // A signal the program was started to ignore (nohup) stays ignored.
        struct sigaction old { };
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
    return fds[0];
}

void restoreDefaultEndingSignals()
{
    for (const int signal : kEndingSignals) {
        struct sigaction old { };
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == writeToPipe)
            std::signal(signal, SIG_DFL);
    }
}

bool resetSignalsForChild(posix_spawnattr_t& attributes)
{
    // Caught signals return to their default action at exec by themselves, and an
    // ignored one stays ignored as for any child; only the mask is inherited.
    sigset_t none;
    sigemptyset(&none);
    short flags = 0;
    return posix_spawnattr_getflags(&attributes, &flags) == 0 && posix_spawnattr_setsigmask(&attributes, &none) == 0
        && posix_spawnattr_setflags(&attributes, static_cast<short>(flags | POSIX_SPAWN_SETSIGMASK)) == 0;
}

}  // namespace iradudo
