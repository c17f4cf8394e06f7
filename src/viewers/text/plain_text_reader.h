// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

class QFont;
class QTextDocument;

namespace iradudo {

// The text of a plain-text file: ISO-8859-1, one character per byte, unless the
// bytes are valid UTF-8 holding a multi-byte sequence. CR LF, a lone LF and a
// lone CR each end one line ("\n"); a byte 0 shows as a blank.
QString decodePlainText(QByteArrayView bytes);

// Appends the decoded text at the end of the document, all of it in the font.
void readPlainText(QByteArrayView bytes, QTextDocument& document, const QFont& font);

}  // namespace iradudo
