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

// Chooses how decoded text ('\n' line ends) becomes the document's blocks, so
// that no file costs more than a few bytes per byte, whatever its bytes. A block
// costs the document about 110 bytes besides its text, so a file of line ends
// alone would cost over 100 bytes per byte as one block a line, and a single
// line of millions of characters is laid out whole, at every edit. So:
// - each character earns credit towards a block, and a line end starts a new
//   block while there is credit for one; otherwise it becomes a line separator
//   (U+2028), which shows, prints and copies as a line end inside its block.
//   Blocks of many separators are no way out: the layout keeps a line record
//   for each, which costs more than the blocks saved.
//   Ordinary text (lines of kCharsPerBlock characters or more on average, or
//   any text of up to kInitialBlocks lines) keeps one block a line;
// - a line that runs past kMaxBlockChars is cut into blocks of at most that
//   many characters, after a blank near the end of each when there is one.
// Pieces are shaped in file order with one PlainBlocks for the whole text.
class PlainBlocks {
public:
    static constexpr qsizetype kCharsPerBlock = 64;
    static constexpr qsizetype kInitialBlocks = 4096;
    static constexpr qsizetype kMaxBlockChars = 32768;

    // With fewer initial blocks, short lines share blocks sooner (for tests and
    // fuzzing, which cannot afford files of megabytes).
    explicit PlainBlocks(qsizetype initialBlocks = kInitialBlocks) : credit_(qint64(kCharsPerBlock) * initialBlocks) { }

    void shape(QString& text);

private:
    qint64 credit_;
    qsizetype blockChars_ = 0;
};

// Appends the decoded text at the end of the document, all of it in the font,
// in blocks as PlainBlocks shapes them.
void readPlainText(QByteArrayView bytes, QTextDocument& document, const QFont& font);

}  // namespace iradudo
