// SPDX-License-Identifier: GPL-3.0-or-later
// Generated texts for the text benchmarks: plain text and WordPad-like RTF.
#pragma once

#include <QByteArray>

#include <iterator>

namespace iradudo::bench {

inline const char* const kWords[] = {"Amiga", "dischetto", "programma", "caff\xe8", "citt\xe0", "versione", "demo",
    "grafica", "musica", "gioco", "utility", "archivio", "lha", "Workbench"};

// Plain text of about `size` bytes: lines of 40 to 100 characters, CR LF ends.
inline QByteArray makePlainText(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 200);
    unsigned seed = 1;
    qsizetype lineStart = 0;
    while (text.size() < size) {
        seed = seed * 1103515245 + 12345;
        text += kWords[(seed >> 16) % std::size(kWords)];
        if (text.size() - lineStart > 40 + qsizetype((seed >> 8) % 60)) {
            text += "\r\n";
            lineStart = text.size();
        } else {
            text += ' ';
        }
    }
    return text;
}

// WordPad-like rich text of about `size` bytes: paragraphs of 12 words, a centred
// heading in another font every 8 paragraphs, accents as hex escapes, a euro sign
// as \u every 16 words, and a bold, italic or coloured word every `styledEvery` words.
inline QByteArray makeRichText(qsizetype size, int styledEvery)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                     "{\\f1\\froman\\fcharset0 Times New Roman;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
                     "\\viewkind4\\uc1\\pard\\lang1040\\f0\\fs20 ";
    rtf.reserve(size + 200);
    unsigned seed = 7;
    int words = 0;
    while (rtf.size() < size) {
        seed = seed * 1103515245 + 12345;
        QByteArray word = kWords[(seed >> 16) % std::size(kWords)];
        word.replace("\xe8", "\\'e8").replace("\xe0", "\\'e0");
        ++words;
        if (words % styledEvery == 0) {
            switch ((seed >> 8) % 3) {
            case 0: rtf += "\\b " + word + "\\b0 "; break;
            case 1: rtf += "\\i " + word + "\\i0 "; break;
            default: rtf += "\\cf1 " + word + "\\cf0 "; break;
            }
        } else if (words % 16 == 0) {
            rtf += word + " \\u8364? ";
        } else {
            rtf += word + ' ';
        }
        if (words % 12 == 0)
            rtf += (words % 96 == 0) ? "\\par\r\n\\pard\\qc\\f1\\fs28 " : "\\par\r\n\\pard\\f0\\fs20 ";
    }
    rtf += "\\par\r\n}\r\n";
    return rtf;
}

}  // namespace iradudo::bench
