// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the companion description reader: the first line of a
// .readme file, less its first six characters, as UTF-8. Run it with
// scripts/fuzz.sh fuzz_readme MINUTES; finds go to data/fuzz-readme/.
#include "base/text_encoding.h"
#include "browser/listing.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string comment = iradudo::companionComment(bytes);
    // The comment comes from the first line and is always shown as UTF-8.
    if (comment.find_first_of("\r\n") != std::string::npos || !iradudo::isValidUtf8(comment))
        std::abort();
    iradudo::upperExtension(bytes);
    iradudo::companionName(bytes);
    return 0;
}
