// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

class QTextDocument;

namespace iradudo {

// True when the data opens as rich text: "{\rtf" after optional white space.
bool looksLikeRtf(QByteArrayView data);

// Appends the rich text in data to the document at its end. Returns false, leaving
// the document untouched, when the data is not rich text. Damaged rich text after
// a valid opening is rendered as far as it makes sense: the reader never fails on
// it, its nesting and tables are bounded, and its work is linear in the input.
bool readRtf(QByteArrayView data, QTextDocument& document);

}  // namespace iradudo
