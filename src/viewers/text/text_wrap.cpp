// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/text_wrap.h"

namespace iradudo {

QString TextWrapToggle::caption() const
{
    return wraps() ? QString::fromUtf8("S\u00ec") : QStringLiteral("No");
}

}  // namespace iradudo
