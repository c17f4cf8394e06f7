// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/exception.h"

#include <string>

// A directory or drive that cannot be entered. The message follows the Windows
// error code, the one value callers and users see; the errno it came from is
// translated by windowsErrorFromErrno only.
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    // The same about one file: the message, then the name in parentheses.
    EInOutError(int errorCode, const std::string& fileName);

    int errorCode() const { return errorCode_; }

private:
    int errorCode_;
};

namespace iradudo {

// Windows error codes the platform layer reports.
enum WindowsError : int {
    ErrorFileNotFound = 2,
    ErrorPathNotFound = 3,
    ErrorTooManyOpenFiles = 4,
    ErrorAccessDenied = 5,
    ErrorInvalidDrive = 15,
    ErrorWriteProtect = 19,
    ErrorNotReady = 21,
    ErrorGenFailure = 31,
    ErrorDiskFull = 112,
    ErrorFilenameExcedRange = 206,
    ErrorDirectory = 267,
    ErrorIoDevice = 1117,
    ErrorCantResolveFilename = 1921,
};

// The run-time library's own codes for a file that gives out early and a write
// that finds no room; their messages say so in words.
enum RuntimeIoError : int {
    ErrorReadBeyondEnd = 100,
    ErrorDiskFullWrite = 101,
};

// The text of the error box for a code: 2 "File not found", 3 "Invalid filename",
// 4 "Too many open files", 5 "File access denied", 100 "Read beyond end of file",
// 101 "Disk full", 106 "Invalid numeric input", otherwise "I/O error N".
std::string ioErrorMessage(int errorCode);

// The nearest Windows code for an errno value. ENOENT maps to 2; callers that know
// a parent component is missing report 3 themselves.
int windowsErrorFromErrno(int errnoValue);

}  // namespace iradudo
