// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/text/plain_text_reader.h"
#include "viewers/text/text_loader.h"

#include <QFont>
#include <QString>
#include <QTextCursor>

#include <memory>
#include <string>

class QTextDocument;

namespace iradudo {

class RtfStepReader;

// The viewer's load procedure in steps, for a view that shows the text while it is
// read: the file is read and its kind decided at once (failing as loadTextFile
// does, before any document is touched); the document is then filled step by step,
// each step one edit at its end. Filling every step gives the document loadTextFile
// gives.
class TextFill {
public:
    // Reads the file (relative names against the current directory). Throws
    // EFOpenError or ELoadStreamError as loadTextFile does.
    TextFill(const std::string& fileName, const QFont& plainFont);
    // The same for bytes already read.
    TextFill(QByteArray bytes, const QFont& plainFont);
    ~TextFill();
    TextFill(const TextFill&) = delete;
    TextFill& operator=(const TextFill&) = delete;

    TextKind kind() const { return kind_; }

    // Starts filling the document, which must be empty, outlive the fill and take no
    // other edits meanwhile. For plain text its default font becomes the plain font.
    void start(QTextDocument& document);
    // Adds about `amount` more bytes of the file (plain text to a line end when one
    // is near). True once all of it is in.
    bool step(qsizetype amount);
    bool done() const { return done_; }
    // How far the fill is, from 0 to 1.
    double progress() const;

private:
    TextKind kind_ = TextKind::Plain;
    QFont plainFont_;
    QByteArray rich_;
    // Plain text stays in its bytes and is decoded a piece per step: the file's
    // whole text decoded up front would cost two bytes per character beside the
    // document's own copy.
    QByteArray plain_;
    PlainEncoding encoding_ = PlainEncoding::Latin1;
    PlainBlocks blocks_;
    qsizetype plainAt_ = 0;
    QTextCursor cursor_;
    QTextCharFormat plainFormat_;
    std::unique_ptr<RtfStepReader> reader_;
    bool done_ = false;
};

}  // namespace iradudo
