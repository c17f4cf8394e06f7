// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/command_launcher.h"
#include "platform/drive_table.h"
#include "platform/io_error.h"
#include "support/unprivileged_scope.h"

#include <climits>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace iradudo::test {

// The platform moves the process's working directory; each test gets it back.
class WorkingDirectoryGuard {
public:
    WorkingDirectoryGuard()
    {
        char buffer[PATH_MAX];
        if (::getcwd(buffer, sizeof buffer))
            saved_ = buffer;
    }
    ~WorkingDirectoryGuard()
    {
        if (!saved_.empty()) [[maybe_unused]]
            const int ignored = ::chdir(saved_.c_str());
    }

private:
    std::string saved_;
};

inline std::string workingDirectory()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

inline Drive makeDrive(char letter, int type, std::string root, std::string label = {}, std::string remote = {})
{
    Drive drive;
    drive.letter = letter;
    drive.type = type;
    drive.root = std::move(root);
    drive.label = std::move(label);
    drive.remoteName = std::move(remote);
    return drive;
}

// Keeps the argument vectors instead of starting anything.
class RecordingLauncher : public CommandLauncher {
public:
    struct Call {
        std::vector<std::string> argv;
        std::string workingDirectory;
    };
    std::vector<Call> calls;

    bool launch(const std::vector<std::string>& argv, const std::string& workingDirectory) override
    {
        calls.push_back({argv, workingDirectory});
        return true;
    }
};

// The error code of the EInOutError an action raises, or 0 when it raises none.
inline int errorCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EInOutError& error) {
        return error.errorCode();
    }
    return 0;
}

}  // namespace iradudo::test
