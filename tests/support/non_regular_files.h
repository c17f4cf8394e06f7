// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/temp_dir.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace iradudo::test {

// Entries a disc may hold that are not regular files, each named like a file
// with the extension (".gif"): a FIFO without a writer, a directory, a device
// that never ends (a link to /dev/zero) and a socket. Their full paths.
std::vector<std::string> makeNonRegularFiles(const TempDir& dir, const std::string& extension);

// Runs work on a thread of its own and waits for it at most limit: its result,
// or nullopt when it is still running then, so a read that blocks fails its test
// instead of hanging the run. A blocked thread is left behind.
std::optional<std::string> resultWithin(std::chrono::milliseconds limit, std::function<std::string()> work);

// Long enough for a loaded machine and a sanitizer build; a blocking open or an
// endless read never finishes at all.
constexpr std::chrono::milliseconds kBlockingLimit{10000};

}  // namespace iradudo::test
