// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/exception.h"
#include "base/file_handle.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFont>

#include <cstddef>
#include <memory>
#include <string>

class QTextDocument;

// A file that opened but could be read neither as rich text nor as plain text.
class ELoadStreamError : public Exception {
public:
    ELoadStreamError() : Exception("Failed to Load Stream") { }
};

namespace iradudo {

enum class TextKind { Rich, Plain };

// What the viewer's load costs at its peak, per byte of file: the bytes, the
// document's own UTF-16 copy of the text and its blocks. bench_text_memory
// measured 5.4 to 6.0 for plain text and 3.9 to 6.1 for RTF (10 and 50 MB files);
// the stated multiple leaves room above both.
constexpr std::size_t kTextLoadCostPerByte = 7;

// The largest texts the viewer reads: a magazine disc's texts are a few megabytes,
// and at 128 MiB the load's peak stays under 1 GiB (7 x 128 MiB). Rich text has
// half the bound, as its pictures come on top of the text. Larger files, and files
// whose load could not fit under the process's address-space limit, are refused
// with ELoadStreamError before they are read, instead of failing inside Qt's text
// engine when memory runs out.
constexpr std::size_t kMaxTextFileSize = std::size_t(128) << 20;
constexpr std::size_t kMaxRichTextFileSize = std::size_t(64) << 20;

// The file's bytes, unconverted. A name that cannot be opened as a readable file
// (missing, a directory, a device or pipe, no permission) throws EFOpenError with
// the name as given; a read that fails afterwards throws ELoadStreamError.
QByteArray readTextFileBytes(const std::string& fileName);
// The same for a file already open at its start (a file of a drive, opened
// through it); an invalid handle is a file that cannot be opened. The name only
// names the file in messages.
QByteArray readTextFileBytes(FileHandle& file, const std::string& fileName);

// Fills the document with the bytes, replacing all it held: rich text when they
// open as RTF, otherwise plain text in plainFont. Cannot fail.
TextKind loadTextBytes(QByteArrayView bytes, QTextDocument& document, const QFont& plainFont);

struct LoadedText {
    std::unique_ptr<QTextDocument> document;
    TextKind kind;
};

// The viewer's load: the file (relative names against the current directory) into
// a new document. On failure nothing is built and the exception says why. A view
// takes the new document with setDocument: a document shown while it is filled
// is laid out as it grows, many times slower.
LoadedText loadTextFile(const std::string& fileName, const QFont& plainFont);
LoadedText loadTextFile(FileHandle& file, const std::string& fileName, const QFont& plainFont);

// The same load into an existing document (one that no view shows), which keeps
// its content when the file cannot be read.
TextKind loadTextFile(const std::string& fileName, QTextDocument& document, const QFont& plainFont);
TextKind loadTextFile(FileHandle& file, const std::string& fileName, QTextDocument& document, const QFont& plainFont);

}  // namespace iradudo
