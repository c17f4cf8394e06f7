// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <string>

namespace iradudo {

// Copies a host file over destination: the bytes go to a temporary file beside
// the destination, are flushed to disk, then renamed over it. A failed copy leaves
// the old destination untouched and no partial file. True on success.
bool copyFileReplacing(const std::string& sourceHostPath, const std::string& destinationHostPath);
// The same from a file already open for reading (a disc image's file), read to its end.
bool copyFileReplacing(FileHandle& source, const std::string& destinationHostPath);

// Writes all of data to fd, retrying short and interrupted writes.
bool writeAll(int fd, const char* data, std::size_t size);
// Copies what is left of source to fd, to its end; false when either side fails.
bool copyToEnd(FileHandle& source, int fd);

}  // namespace iradudo
