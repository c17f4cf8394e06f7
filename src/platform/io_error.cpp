// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/io_error.h"

#include <cerrno>

EInOutError::EInOutError(int errorCode) : Exception(iradudo::ioErrorMessage(errorCode)), errorCode_(errorCode) { }

EInOutError::EInOutError(int errorCode, const std::string& fileName)
    : Exception(iradudo::ioErrorMessage(errorCode) + " (" + fileName + ")"), errorCode_(errorCode)
{
}

namespace iradudo {

std::string ioErrorMessage(int errorCode)
{
    switch (errorCode) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(errorCode);
    }
}

int windowsErrorFromErrno(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT: return ErrorFileNotFound;
    case ENOTDIR: return ErrorDirectory;
    case EMFILE:
    case ENFILE: return ErrorTooManyOpenFiles;
    case EACCES:
    case EPERM: return ErrorAccessDenied;
    case ENOMEDIUM:
    case ENODEV:
    case ENXIO: return ErrorNotReady;
    case EROFS: return ErrorWriteProtect;
    case ENOSPC:
    case EDQUOT: return ErrorDiskFull;
    case ENAMETOOLONG: return ErrorFilenameExcedRange;
    case ELOOP: return ErrorCantResolveFilename;
    case EIO: return ErrorIoDevice;
    default: return ErrorGenFailure;
    }
}

}  // namespace iradudo
