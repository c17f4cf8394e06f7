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

// The same in pieces: the encoding is chosen once for the whole file, and each
// piece is decoded with it. A piece must not end inside a UTF-8 sequence or
// between the CR and LF of one line end.
enum class PlainEncoding { Latin1, Utf8 };
PlainEncoding plainEncodingOf(QByteArrayView wholeFile);
QString decodePlainText(QByteArrayView piece, PlainEncoding encoding);

// Appends the decoded text at the end of the document, all of it in the font.
void readPlainText(QByteArrayView bytes, QTextDocument& document, const QFont& font);

}  // namespace iradudo
