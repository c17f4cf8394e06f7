// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextEdit>

#include <functional>
#include <memory>
#include <string>

class QPrinter;
class QTextDocument;

namespace iradudo {

// The text viewer's view: read-only but selectable and scrollable, no border,
// silver, scroll bars only while the content overflows, wrapping at the
// view's width at start. The selection is drawn only while the view has the
// keyboard focus, and it survives losing the focus so that Copy still finds it.
class RichTextView : public QTextEdit {
public:
    // plainTextFont shows texts that are not rich text, and is the view's own font.
    explicit RichTextView(const QFont& plainTextFont, QWidget* parent = nullptr);

    // Loads the file (relative names against the current directory) by the
    // viewer's load procedure. On failure the view keeps what it showed and
    // the exception says why.
    void LoadFromFile(const std::string& fileName);
    // Takes over a loaded document as the whole new content.
    void setLoadedDocument(std::unique_ptr<QTextDocument> document);

    void setWrapping(bool on);
    bool wrapping() const { return lineWrapMode() != QTextEdit::NoWrap; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont plainTextFont_;
};

// The two steps of printing that face the system: the check for a default
// printer (throws EPrinter without one), and the print dialog, which sets the
// chosen printer and copies on the printer it is given and answers false on
// Cancel. Tests replace them.
struct PrintSteps {
    std::function<void()> requireDefaultPrinter;
    std::function<bool(QPrinter& printer, QWidget* parent)> choosePrinter;
};

// The system's default printer and Qt's print dialog, without print-to-file,
// page range or selection.
PrintSteps systemPrintSteps();

// The Print button: no default printer fails before any dialog; Cancel does
// nothing; otherwise the whole text goes to the chosen printer as one job.
// Returns the pages printed (0 after Cancel).
int printView(const RichTextView& view, const PrintSteps& steps, QWidget* dialogParent);

}  // namespace iradudo
