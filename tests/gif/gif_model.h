// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gif/gif.h"

#include <cstddef>
#include <optional>
#include <string>

namespace iradudo::test {

// A plain step-by-step GIF decoder: prefix and suffix tables, an output stack,
// one record per completed row and a writer that looks each row up from the
// end of the list. Slow, but each step is easy to check by reading; the fast
// decoder must produce the same bytes or fail with the same code.
struct ModelResult {
    std::optional<GifFailure> error;  // none when the load succeeded
    std::string bitmap;
    bool tooLarge = false;  // the model gave up: more work than a test should do
};

ModelResult modelDecode(const std::string& gif, std::size_t workLimit = 1 << 22);

}  // namespace iradudo::test
