// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace iradudo {

// Keeps Qt's messages to itself while one picture is decoded. Qt's image readers
// and QBuffer print a warning per damaged row, chunk or frame, and the libpng under
// Qt's PNG reader writes its errors straight to the standard error, so one bad file
// could fill the terminal; the picture classes report the failure themselves, once,
// as an exception. Every Qt image-reader call of the picture classes and of the RTF
// pictures runs inside one of these. Guards nest; fatal messages still go through.
// Single-threaded, as the viewers are: the standard error is shut for the whole
// process meanwhile, except in sanitizer builds.
class QuietDecode {
public:
    QuietDecode()
    {
        if (depth_++ > 0)
            return;
        swallowed_ = 0;
        previous_ = qInstallMessageHandler(&QuietDecode::swallow);
#if !defined(IRADUDO_SANITIZED)  // a sanitizer's report must never be hidden
        std::fflush(stderr);
        savedStderr_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (savedStderr_ >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
#endif
    }
    ~QuietDecode()
    {
        if (--depth_ > 0)
            return;
        qInstallMessageHandler(previous_);
        if (savedStderr_ >= 0) {
            std::fflush(stderr);
            ::dup2(savedStderr_, STDERR_FILENO);
            ::close(savedStderr_);
            savedStderr_ = -1;
        }
    }
    QuietDecode(const QuietDecode&) = delete;
    QuietDecode& operator=(const QuietDecode&) = delete;

    // How many of Qt's messages the outermost guard has kept back so far.
    static int swallowed()
    {
        return swallowed_;
    }

private:
    static void swallow(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtFatalMsg && previous_) {
            previous_(type, context, message);
            return;
        }
        ++swallowed_;
    }

    static inline int depth_ = 0;
    static inline int swallowed_ = 0;
    static inline int savedStderr_ = -1;
    static inline QtMessageHandler previous_ = nullptr;
};

}  // namespace iradudo
