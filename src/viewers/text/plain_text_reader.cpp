// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/plain_text_reader.h"

#include "base/text_encoding.h"

#include <QFont>
#include <QTextCursor>
#include <QTextDocument>

#include <string_view>

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

void readPlainText(QByteArrayView bytes, QTextDocument& document, const QFont& font)
{
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setFont(font);
    cursor.setBlockCharFormat(format);
    cursor.insertText(decodePlainText(bytes), format);
}

}  // namespace iradudo
