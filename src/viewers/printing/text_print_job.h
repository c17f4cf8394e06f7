// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/exception.h"

#include <memory>

class QPrinter;
class QTextDocument;

// The printer refused to start the job (for a PDF file: the file cannot be written).
class EPrintJobError : public Exception {
public:
    EPrintJobError() : Exception("Cannot start the print job") { }
};

// Printing asked for on a system without a default printer.
class EPrinter : public Exception {
public:
    EPrinter() : Exception("There is no default printer currently selected") { }
};

namespace iradudo {

// Throws EPrinter when the system has no default printer; the print button checks
// this before it shows the print dialog.
void requireDefaultPrinter();

// Prints the whole document as one job: empty title, the full page as page area
// without margins, pages laid out one after another from the first character to
// the last, only the text (no header, footer or page number). An empty document
// gives one blank page. The document is laid out as on screen and scaled to the
// printer, so fonts sized in pixels keep their size relative to the page; raster
// fonts, which no printer takes, print in a scalable fixed-pitch font of the same
// size. The copy count and the printer stay as the caller set them. Returns the
// pages printed.
int printTextDocument(const QTextDocument& document, QPrinter& printer);

// The copy of the document that printing lays out: raster fonts replaced, and
// table rows whose cells run over many pages split into rows of at most a
// hundred paragraphs each (the same text in the same order), because Qt pages a
// long cell in quadratic time.
std::unique_ptr<QTextDocument> printableCopy(const QTextDocument& document);

}  // namespace iradudo
