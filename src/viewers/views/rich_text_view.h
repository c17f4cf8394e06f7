// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/text/text_loader.h"

#include <QBasicTimer>
#include <QFrame>
#include <QTextCursor>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QElapsedTimer;
class QPlainTextEdit;
class QPrinter;
class QScrollBar;
class QStackedLayout;
class QTextDocument;
class QTextEdit;

namespace iradudo {

class TextFill;

// The text viewer's view: read-only but selectable and scrollable, no border,
// silver, scroll bars only while the content overflows, wrapping at the
// view's width at start. The selection is drawn only while the view has the
// keyboard focus, and it survives losing the focus so that Copy still finds it.
//
// However long the text, the view keeps the event loop answering: rich text shows
// in a QTextEdit whose document is read and laid out in short slices between
// events, plain text in a QPlainTextEdit, which lays out only the lines on
// screen, filled in slices as well. The first slices show before LoadFromFile
// returns, so a short text is complete at once.
class RichTextView : public QWidget {
public:
    // plainTextFont shows texts that are not rich text, and is the view's own font.
    explicit RichTextView(const QFont& plainTextFont, QWidget* parent = nullptr);
    ~RichTextView() override;

    // Loads the file (relative names against the current directory) by the
    // viewer's load procedure. On failure the view keeps what it showed and
    // the exception says why.
    void LoadFromFile(const std::string& fileName);
    // The same for a file already open at its start (a file of a drive, opened
    // through it); the name only names it in messages.
    void LoadFromFile(FileHandle& file, const std::string& fileName);
    // Takes over a loaded document as the whole new content (shown as rich text
    // unless kind says plain).
    void setLoadedDocument(std::unique_ptr<QTextDocument> document, TextKind kind = TextKind::Rich);

    void setWrapping(bool on);
    bool wrapping() const { return wrapping_; }

    // True while part of the text is still to be read or laid out.
    bool busy() const;
    // Reads and lays out the rest at once (printing needs all of it).
    void finishLoading();
    // What is shown: rich or plain text.
    TextKind kind() const { return kind_; }

    // The shown editor's document and its QTextEdit-like interface.
    QTextDocument* document() const;
    QString toPlainText() const;
    QString toHtml() const;
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor& cursor);
    void selectAll();
    void copy();
    bool isReadOnly() const;
    Qt::TextInteractionFlags textInteractionFlags() const;
    QFrame::Shape frameShape() const;
    Qt::ScrollBarPolicy horizontalScrollBarPolicy() const;
    Qt::ScrollBarPolicy verticalScrollBarPolicy() const;
    QScrollBar* horizontalScrollBar() const;
    QScrollBar* verticalScrollBar() const;
    QWidget* viewport() const;
    // The editor on screen (a QTextEdit or a QPlainTextEdit).
    QWidget* editor() const;

protected:
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void display(std::unique_ptr<QTextDocument> document, TextKind kind);
    void startWork();
    void workSlice(qint64 budgetNs);
    bool paceRichLayout(qint64 deadlineNs, const QElapsedTimer& clock);
    void startPacing();

    QFont plainTextFont_;
    QTextEdit* rich_;
    QPlainTextEdit* plain_;
    QStackedLayout* stack_;
    QTextDocument* richBlank_;
    QTextDocument* plainBlank_;
    QTextDocument* shown_ = nullptr;  // the loaded document, ours; null while blank
    TextKind kind_ = TextKind::Rich;
    bool wrapping_ = true;

    std::unique_ptr<TextFill> fill_;
    qsizetype fillAmount_ = 0;
    QBasicTimer work_;
    bool pacing_ = false;
    int paceAt_ = 0;
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
int printView(RichTextView& view, const PrintSteps& steps, QWidget* dialogParent);

}  // namespace iradudo
