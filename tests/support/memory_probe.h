// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>

namespace iradudo::test {

// A figure of /proc/self/status ("VmSize", "VmPeak"), in kB; -1 when absent.
inline long long processStatusKb(const std::string& name)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0)
            return std::stoll(line.substr(name.size() + 1));
    }
    return -1;
}

// Runs work in a forked child and tells whether the child's address space grew
// by more than limitKb at its peak. Reservations count, not only touched pages:
// a reader that reserves 2 GB for a chunk it never fills is caught as well.
// Returns -1 when the child could not run or report.
inline int peakGrowthAbove(long long limitKb, const std::function<void()>& work)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const long long before = processStatusKb("VmSize");
        work();
        ::_exit(processStatusKb("VmPeak") - before > limitKb ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A 1 x 1 PNG whose image data chunk claims 0x7FFFFFF0 bytes and holds eleven.
inline std::string chunkBombPng()
{
    static const unsigned char bytes[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
        // IHDR: 1 x 1, 8-bit RGB
        0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x90, 0x77, 0x53, 0xDE,
        // IDAT claiming almost 2 GB
        0x7F, 0xFF, 0xFF, 0xF0, 'I', 'D', 'A', 'T', 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace iradudo::test
