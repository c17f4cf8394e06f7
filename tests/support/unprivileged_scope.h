// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

namespace iradudo::test {

// Access checks do not apply to root; tests of unreadable folders drop to an
// unprivileged user for their duration (a no-op for other users).
class UnprivilegedScope {
public:
    UnprivilegedScope()
    {
        if (::geteuid() == 0)
            dropped_ = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~UnprivilegedScope()
    {
        if (dropped_) {
            [[maybe_unused]] const int a = ::seteuid(0);
            [[maybe_unused]] const int b = ::setegid(0);
        }
    }
    bool effective() const { return ::geteuid() != 0; }

private:
    bool dropped_ = false;
};

}  // namespace iradudo::test
