// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/document_text.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace iradudo {
namespace {

void appendBlockText(const QTextBlock& block, QString& out)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid() || fragment.charFormat().isImageFormat())
            continue;
        QString text = fragment.text();
        text.replace(QChar::LineSeparator, QLatin1Char('\n'));
        out += text;
    }
}

void appendFrame(const QTextFrame* frame, QString& out);

// Paragraphs inside one cell are joined by blanks so that a row stays one line.
void appendCell(const QTextTableCell& cell, QString& out)
{
    bool first = true;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* child = it.currentFrame()) {
            appendFrame(child, out);
            continue;
        }
        if (!first)
            out += QLatin1Char(' ');
        first = false;
        QString text;
        appendBlockText(it.currentBlock(), text);
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        out += text;
    }
}

void appendFrame(const QTextFrame* frame, QString& out)
{
    if (const auto* table = qobject_cast<const QTextTable*>(frame)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                if (cell.row() != row || cell.column() != column)
                    continue;  // covered by a merged cell
                if (column > 0)
                    out += QLatin1Char('\t');
                appendCell(cell, out);
            }
            out += QLatin1Char('\n');
        }
        return;
    }
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* child = it.currentFrame()) {
            appendFrame(child, out);
        } else if (!it.currentBlock().blockFormat().boolProperty(kTableJointProperty)) {
            appendBlockText(it.currentBlock(), out);
            // The document's last paragraph has no line end of its own.
            if (it.currentBlock().next().isValid())
                out += QLatin1Char('\n');
        }
    }
}

}  // namespace

void makeDocumentSafe(QString& text, qsizetype from)
{
    QChar* data = text.data();
    for (qsizetype i = from, size = text.size(); i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x20 && c < 0x2028)
            continue;
        switch (c) {
        case 0:
        case u'\n':
        case u'\r': data[i] = QLatin1Char(' '); break;
        case QChar::ParagraphSeparator:
        case 0xFDD0:  // beginning of frame
        case 0xFDD1:  // end of frame
        case QChar::ObjectReplacementCharacter: data[i] = QChar::ReplacementCharacter; break;
        default: break;
        }
    }
}

QString documentPlainText(const QTextDocument& document)
{
    QString out;
    appendFrame(document.rootFrame(), out);
    return out;
}

}  // namespace iradudo
