// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for text loading: rich text when the bytes open like it, plain
// text otherwise, as the text viewer loads a file. Run it with
// scripts/fuzz.sh fuzz_text MINUTES; finds go to data/fuzz-text/.
#include "support/fuzz_gui.h"
#include "viewers/text/text_loader.h"

#include <QFont>
#include <QTextDocument>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    iradudo::test::ensureGuiApplication();
    QTextDocument document;
    iradudo::loadTextBytes(QByteArrayView(data, qsizetype(size)), document, QFont());
    return 0;
}
