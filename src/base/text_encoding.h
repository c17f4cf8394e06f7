// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace iradudo {

// True when the bytes form valid UTF-8 (overlong forms and surrogates rejected).
bool isValidUtf8(std::string_view bytes);

// True when the bytes are valid UTF-8 and hold at least one multi-byte sequence.
// Pure ASCII reads the same either way, so callers prefer ISO-8859-1 unless this holds.
bool isMultibyteUtf8(std::string_view bytes);

// Each byte taken as one ISO-8859-1 character, written out as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

// Names and texts from discs for display: valid UTF-8 stays as it is,
// anything else is read as ISO-8859-1 (the Amiga character set).
std::string toDisplayUtf8(std::string_view bytes);

}  // namespace iradudo
