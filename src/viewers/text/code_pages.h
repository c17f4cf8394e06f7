// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <map>
#include <memory>

class QStringDecoder;

namespace iradudo {

// Windows code page of an RTF font charset (\fcharsetN); 0 when the charset names
// no code page of its own (ANSI and default charsets follow the document's).
int codePageOfCharset(int charset);

// Turns single- and double-byte text of Windows code pages into Unicode. Code page
// 1252 (the default) is decoded from a table; the others through Qt's converters,
// and a code page unknown to them falls back to 1252.
class CodePageDecoder {
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    void append(QByteArrayView bytes, int codePage, QString& out);

private:
    QStringDecoder* decoderFor(int codePage);

    std::map<int, std::unique_ptr<QStringDecoder>> decoders_;
};

}  // namespace iradudo
