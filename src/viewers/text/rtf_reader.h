// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class QTextDocument;

namespace iradudo {

// True when the data opens as rich text: "{\rtf" after optional white space.
bool looksLikeRtf(QByteArrayView data);

// Appends the rich text in data to the document at its end. Returns false, leaving
// the document untouched, when the data is not rich text. Damaged rich text after
// a valid opening is rendered as far as it makes sense: the reader never fails on
// it, its nesting and tables are bounded, and its work is linear in the input.
bool readRtf(QByteArrayView data, QTextDocument& document);

// readRtf in pieces, for a view that shows the document while it is read: each
// step reads about `bytes` more of the data (to the end of the token it is in) as
// one edit of the document. The data must open as rich text (looksLikeRtf); the
// document must outlive the reader and take no other edits meanwhile. Reading
// every step gives the document readRtf gives.
class RtfStepReader {
public:
    RtfStepReader(QByteArray data, QTextDocument& document);
    ~RtfStepReader();
    RtfStepReader(const RtfStepReader&) = delete;
    RtfStepReader& operator=(const RtfStepReader&) = delete;

    // True once the whole data is read.
    bool step(qsizetype bytes);
    bool done() const { return done_; }
    qsizetype position() const;
    qsizetype size() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool done_ = false;
};

}  // namespace iradudo
