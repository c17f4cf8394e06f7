// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/text_fill.h"

#include "viewers/text/plain_text_reader.h"
#include "viewers/text/rtf_reader.h"

#include <QTextDocument>

namespace iradudo {

TextFill::TextFill(const std::string& fileName, const QFont& plainFont)
    : TextFill(readTextFileBytes(fileName), plainFont)
{
}

TextFill::TextFill(QByteArray bytes, const QFont& plainFont) : plainFont_(plainFont)
{
    // The same choice as loadTextBytes: rich text when the bytes open as RTF.
    if (looksLikeRtf(bytes)) {
        kind_ = TextKind::Rich;
        rich_ = std::move(bytes);
    } else {
        kind_ = TextKind::Plain;
        encoding_ = plainEncodingOf(bytes);
        plain_ = std::move(bytes);
    }
}

TextFill::~TextFill() = default;

void TextFill::start(QTextDocument& document)
{
    document.setUndoRedoEnabled(false);
    if (kind_ == TextKind::Rich) {
        reader_ = std::make_unique<RtfStepReader>(std::move(rich_), document);
        rich_.clear();
        return;
    }
    document.setDefaultFont(plainFont_);
    cursor_ = QTextCursor(&document);
    cursor_.movePosition(QTextCursor::End);
    plainFormat_.setFont(plainFont_);
    cursor_.setBlockCharFormat(plainFormat_);
    done_ = plain_.isEmpty();
}

bool TextFill::step(qsizetype amount)
{
    if (done_)
        return true;
    amount = std::max<qsizetype>(amount, 1);
    if (reader_) {
        done_ = reader_->step(amount);
        return done_;
    }
    qsizetype end = plainAt_ + amount;
    if (end >= plain_.size()) {
        end = plain_.size();
    } else {
        // End the piece at a line end when one is near, so that no line is laid out twice.
        for (qsizetype at = end - 1; at >= plainAt_ && end - at < 4096; --at) {
            if (plain_.at(at) == '\n' || plain_.at(at) == '\r') {
                end = at + 1;
                break;
            }
        }
        // Never inside a UTF-8 sequence, nor between the CR and LF of one line end.
        while (encoding_ == PlainEncoding::Utf8 && end < plain_.size() && (uchar(plain_.at(end)) & 0xC0) == 0x80)
            ++end;
        if (end < plain_.size() && plain_.at(end - 1) == '\r' && plain_.at(end) == '\n')
            ++end;
    }
    QString piece = decodePlainText(QByteArrayView(plain_).sliced(plainAt_, end - plainAt_), encoding_);
    blocks_.shape(piece);
    cursor_.insertText(piece, plainFormat_);
    plainAt_ = end;
    done_ = plainAt_ >= plain_.size();
    if (done_)
        plain_ = QByteArray();
    return done_;
}

double TextFill::progress() const
{
    if (done_)
        return 1.0;
    if (reader_)
        return reader_->size() > 0 ? double(reader_->position()) / double(reader_->size()) : 1.0;
    return plain_.isEmpty() ? 1.0 : double(plainAt_) / double(plain_.size());
}

}  // namespace iradudo
