// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>

#include <memory>
#include <string>

namespace iradudo::test {

inline std::string dataFile(const char* name)
{
    return std::string(IRADUDO_SOURCE_DIR) + "/tests/viewers/text/data/" + name;
}

inline std::string utf8(const QString& text)
{
    return text.toStdString();
}

// The character format at the first occurrence of the text; an invalid format
// when the text is missing.
inline QTextCharFormat formatOf(const QTextDocument& document, const QString& text)
{
    const QTextCursor found = document.find(text);
    if (found.isNull())
        return {};
    QTextCursor at(const_cast<QTextDocument*>(&document));
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

inline QTextBlockFormat blockFormatOf(const QTextDocument& document, const QString& text)
{
    const QTextCursor found = document.find(text);
    return found.isNull() ? QTextBlockFormat() : found.block().blockFormat();
}

}  // namespace iradudo::test
