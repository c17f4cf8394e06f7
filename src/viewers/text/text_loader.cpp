// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/text_loader.h"

#include "viewers/text/plain_text_reader.h"
#include "viewers/text/rtf_reader.h"

#include "platform/file_handle.h"

#include <QTextDocument>

namespace iradudo {

QByteArray readTextFileBytes(const std::string& fileName)
{
    FileHandle file = openRegularFile(fileName);
    if (!file.valid())
        throw EFOpenError(fileName);
    QByteArray bytes;
    if (readWholeFile(file, kMaxTextFileSize, bytes) != WholeFileRead::Complete)
        throw ELoadStreamError();
    return bytes;
}

TextKind loadTextBytes(QByteArrayView bytes, QTextDocument& document, const QFont& plainFont)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    TextKind kind = TextKind::Rich;
    if (!readRtf(bytes, document)) {
        document.setDefaultFont(plainFont);
        readPlainText(bytes, document, plainFont);
        kind = TextKind::Plain;
    }
    document.setUndoRedoEnabled(undo);
    document.setModified(false);
    return kind;
}

LoadedText loadTextFile(const std::string& fileName, const QFont& plainFont)
{
    const QByteArray bytes = readTextFileBytes(fileName);
    auto document = std::make_unique<QTextDocument>();
    const TextKind kind = loadTextBytes(bytes, *document, plainFont);
    return {std::move(document), kind};
}

TextKind loadTextFile(const std::string& fileName, QTextDocument& document, const QFont& plainFont)
{
    const QByteArray bytes = readTextFileBytes(fileName);
    return loadTextBytes(bytes, document, plainFont);
}

}  // namespace iradudo
