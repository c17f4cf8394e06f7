// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/plain_text_reader.h"

#include "base/text_encoding.h"

#include <QFont>
#include <QTextCursor>
#include <QTextDocument>

#include <string_view>
#include <vector>

namespace iradudo {

PlainEncoding plainEncodingOf(QByteArrayView wholeFile)
{
    return isMultibyteUtf8(std::string_view(wholeFile.data(), std::size_t(wholeFile.size()))) ? PlainEncoding::Utf8
                                                                                              : PlainEncoding::Latin1;
}

QString decodePlainText(QByteArrayView bytes)
{
    return decodePlainText(bytes, plainEncodingOf(bytes));
}

QString decodePlainText(QByteArrayView bytes, PlainEncoding encoding)
{
    QString text = encoding == PlainEncoding::Utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    // Line ends in place ("\r\n" and a lone "\r" become "\n"), and every other character
    // the document would take as structure made harmless.
    QChar* data = text.data();
    const qsizetype size = text.size();
    qsizetype out = 0;
    for (qsizetype in = 0; in < size; ++in) {
        const char16_t c = data[in].unicode();
        if (c >= 0x20 && c < 0x2029) {
            data[out++] = c;
            continue;
        }
        switch (c) {
        case u'\r':
            if (in + 1 < size && data[in + 1] == u'\n')
                ++in;
            data[out++] = u'\n';
            break;
        case 0: data[out++] = u' '; break;
        case QChar::ParagraphSeparator:
        case 0xFDD0:
        case 0xFDD1:
        case QChar::ObjectReplacementCharacter: data[out++] = QChar::ReplacementCharacter; break;
        default: data[out++] = c; break;
        }
    }
    text.truncate(out);
    return text;
}

void PlainBlocks::shape(QString& text)
{
    // A long line is cut after these positions: a new block starts there and
    // no character is lost (rare: one cut per kMaxBlockChars characters at most).
    std::vector<qsizetype> cuts;
    // A blank this close to the block's end is taken as the cut.
    constexpr qsizetype kCutSearch = 256;
    QChar* data = text.data();
    for (qsizetype i = 0, size = text.size(); i < size; ++i) {
        ++credit_;
        if (data[i] == u'\n') {
            if (credit_ >= kCharsPerBlock) {
                credit_ -= kCharsPerBlock;
                blockChars_ = 0;
                continue;
            }
            data[i] = QChar::LineSeparator;
        }
        ++blockChars_;
        if (blockChars_ >= kMaxBlockChars || (blockChars_ >= kMaxBlockChars - kCutSearch && data[i] == u' ')) {
            cuts.push_back(i + 1);
            blockChars_ = 0;
        }
    }
    if (cuts.empty())
        return;
    QString cut;
    cut.reserve(text.size() + qsizetype(cuts.size()));
    qsizetype from = 0;
    for (const qsizetype at : cuts) {
        cut.append(QStringView(text).sliced(from, at - from));
        cut.append(u'\n');
        from = at;
    }
    cut.append(QStringView(text).sliced(from));
    text = std::move(cut);
}

void readPlainText(QByteArrayView bytes, QTextDocument& document, const QFont& font)
{
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setFont(font);
    cursor.setBlockCharFormat(format);
    QString text = decodePlainText(bytes);
    PlainBlocks().shape(text);
    cursor.insertText(text, format);
}

}  // namespace iradudo
