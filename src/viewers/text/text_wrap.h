// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace iradudo {

// The wrap button of the text viewer: a tag toggle whose tag 0 (at start) means
// wrapping on, shown as "Sì", and 1 wrapping off, shown as "No".
class TextWrapToggle {
public:
    int tag() const { return tag_; }
    bool wraps() const { return tag_ == 0; }
    QString caption() const;
    void toggle() { tag_ = tag_ == 0 ? 1 : 0; }

private:
    int tag_ = 0;
};

}  // namespace iradudo
