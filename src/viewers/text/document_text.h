// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTextFormat>

class QTextDocument;

namespace iradudo {

// Marks an empty paragraph that only joins two parts of one long table; it holds
// no text of the document.
constexpr int kTableJointProperty = QTextFormat::UserProperty + 1;

// Replaces, from position `from` on, the characters a text document would take as
// structure rather than text: a byte 0 becomes a blank, line and paragraph breaks
// and the document's own frame and object markers become U+FFFD or a blank.
void makeDocumentSafe(QString& text, qsizetype from = 0);

// The document's text as the viewer's copy would give it: one line per paragraph
// ("\n" ends), manual line breaks as "\n", table cells separated by a tab and one
// table row a line; pictures leave no text.
QString documentPlainText(const QTextDocument& document);

}  // namespace iradudo
