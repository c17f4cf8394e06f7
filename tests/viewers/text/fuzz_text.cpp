// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for text loading: rich text when the bytes open like it, plain
// text otherwise, as the text viewer loads a file. Run it with
// scripts/fuzz.sh fuzz_text MINUTES; finds go to data/fuzz-text/.
#include "support/fuzz_gui.h"
#include "viewers/text/plain_text_reader.h"
#include "viewers/text/text_loader.h"

#include <QFont>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    iradudo::test::ensureGuiApplication();
    QTextDocument document;
    const QByteArrayView bytes(data, qsizetype(size));
    iradudo::loadTextBytes(bytes, document, QFont());

    // The same bytes as plain text in blocks shaped from the first line on, so
    // that short inputs reach the shared blocks and the cut long lines; the
    // text must come through whole.
    QString text = iradudo::decodePlainText(bytes);
    const QString decoded = text;
    iradudo::PlainBlocks(0).shape(text);
    QString back = text;
    back.replace(QChar::LineSeparator, u'\n');
    back.remove(u'\n');
    QString expected = decoded;
    expected.replace(QChar::LineSeparator, u'\n');
    expected.remove(u'\n');
    if (back != expected)
        __builtin_trap();
    QTextDocument shaped;
    QTextCursor(&shaped).insertText(text);
    return 0;
}
