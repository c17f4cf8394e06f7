// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/views/rich_text_view.h"

#include "viewers/printing/text_print_job.h"
#include "viewers/text/text_fill.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimerEvent>

#include <limits>

namespace iradudo {
namespace {

// One slice of background work between events: short enough that input, repaints
// and timers are never held up noticeably.
constexpr qint64 kSliceNs = 12'000'000;
// The reading done before LoadFromFile returns; a text this quick to read is whole
// as soon as it shows.
constexpr qint64 kFirstSliceNs = 150'000'000;
// How far each step of the paced layout reaches (characters); Qt lays out at
// least to its next check point past it, a few thousand characters.
constexpr int kPaceChars = 2000;
constexpr qsizetype kMinFillAmount = 1024;
constexpr qsizetype kMaxFillAmount = qsizetype(4) << 20;

void setUpEditor(QAbstractScrollArea& editor, const QFont& font)
{
    editor.setFrameShape(QFrame::NoFrame);
    editor.setFocusPolicy(Qt::StrongFocus);
    editor.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor.setFont(font);
    QPalette pal = editor.palette();
    const QColor silver(0xC0, 0xC0, 0xC0);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, silver);
        pal.setColor(group, QPalette::Text, pal.color(group, QPalette::WindowText));
    }
    // The editors draw a selection in the inactive colours while they lack the
    // focus: silver on silver, it does not show, as the original's did not.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, silver);
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Inactive, QPalette::Text));
    editor.setPalette(pal);
}

QTextDocument* blankDocument(QObject* parent, const QFont& font, bool plain)
{
    auto* document = new QTextDocument(parent);
    if (plain)
        document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    document->setDefaultFont(font);
    document->setUndoRedoEnabled(false);
    return document;
}

}  // namespace

RichTextView::RichTextView(const QFont& plainTextFont, QWidget* parent)
    : QWidget(parent), plainTextFont_(plainTextFont), rich_(new QTextEdit(this)), plain_(new QPlainTextEdit(this)),
      stack_(new QStackedLayout(this))
{
    setObjectName(QStringLiteral("RichEdit1"));
    setFont(plainTextFont_);
    setFocusPolicy(Qt::StrongFocus);

    richBlank_ = blankDocument(this, plainTextFont_, false);
    plainBlank_ = blankDocument(this, plainTextFont_, true);

    setUpEditor(*rich_, plainTextFont_);
    rich_->setDocument(richBlank_);
    rich_->setReadOnly(true);
    // Read-only alone drops keyboard selection; the user still selects and scrolls.
    rich_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    rich_->setLineWrapMode(QTextEdit::WidgetWidth);

    setUpEditor(*plain_, plainTextFont_);
    plain_->setDocument(plainBlank_);
    plain_->setReadOnly(true);
    plain_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    plain_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    setPalette(rich_->palette());
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(rich_);
    stack_->addWidget(plain_);
    stack_->setCurrentWidget(rich_);
    setFocusProxy(rich_);
}

RichTextView::~RichTextView()
{
    work_.stop();
    fill_.reset();
    // The editors go before the documents they show.
    rich_->setDocument(richBlank_);
    plain_->setDocument(plainBlank_);
    delete shown_;
}

void RichTextView::LoadFromFile(const std::string& fileName)
{
    FileHandle file = openRegularFile(fileName);
    LoadFromFile(file, fileName);
}

void RichTextView::LoadFromFile(FileHandle& file, const std::string& fileName)
{
    auto fill = std::make_unique<TextFill>(readTextFileBytes(file, fileName), plainTextFont_);
    auto document = std::make_unique<QTextDocument>();
    if (fill->kind() == TextKind::Plain)
        document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    fill->start(*document);

    work_.stop();
    fill_.reset();
    pacing_ = false;

    // The first part before the document shows, unseen and so not laid out.
    QElapsedTimer clock;
    clock.start();
    while (!fill->step(256 * 1024) && clock.nsecsElapsed() < kFirstSliceNs) { }
    fillAmount_ = fill->kind() == TextKind::Rich ? 32 * 1024 : 128 * 1024;
    const TextKind kind = fill->kind();
    if (!fill->done())
        fill_ = std::move(fill);
    display(std::move(document), kind);
}

void RichTextView::setLoadedDocument(std::unique_ptr<QTextDocument> document, TextKind kind)
{
    work_.stop();
    fill_.reset();
    pacing_ = false;
    if (kind == TextKind::Plain && !qobject_cast<QPlainTextDocumentLayout*>(document->documentLayout()))
        document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    display(std::move(document), kind);
}

void RichTextView::display(std::unique_ptr<QTextDocument> document, TextKind kind)
{
    const bool focused = hasFocus();
    QTextDocument* previous = shown_;
    shown_ = document.release();
    shown_->setParent(this);
    kind_ = kind;
    QAbstractScrollArea* editor = nullptr;
    if (kind == TextKind::Rich) {
        plain_->setDocument(plainBlank_);
        rich_->setDocument(shown_);
        shown_->documentLayout()->installEventFilter(this);
        rich_->moveCursor(QTextCursor::Start);
        editor = rich_;
    } else {
        rich_->setDocument(richBlank_);
        plain_->setDocument(shown_);
        plain_->moveCursor(QTextCursor::Start);
        editor = plain_;
    }
    delete previous;
    stack_->setCurrentWidget(editor);
    setFocusProxy(editor);
    if (focused)
        editor->setFocus();
    editor->horizontalScrollBar()->setValue(0);
    editor->verticalScrollBar()->setValue(0);
    startWork();
}

void RichTextView::setWrapping(bool on)
{
    // Only the layout changes: the document, and with it every format, stays.
    wrapping_ = on;
    rich_->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    plain_->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    startWork();
}

void RichTextView::startPacing()
{
    if (kind_ != TextKind::Rich)
        return;
    pacing_ = true;
    paceAt_ = 0;
    if (!work_.isActive())
        work_.start(0, this);
}

void RichTextView::startWork()
{
    if (kind_ == TextKind::Rich) {
        startPacing();
        return;
    }
    if (fill_ && !work_.isActive())
        work_.start(0, this);
}

bool RichTextView::busy() const
{
    return fill_ != nullptr || pacing_;
}

void RichTextView::finishLoading()
{
    while (busy())
        workSlice(std::numeric_limits<qint64>::max() / 2);
}

void RichTextView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != work_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    workSlice(kSliceNs);
}

// Lays the rich text out from where it stands, a few thousand characters at a
// time, until the deadline. True once all of it is laid out.
bool RichTextView::paceRichLayout(qint64 deadlineNs, const QElapsedTimer& clock)
{
    QTextDocument* document = rich_->document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    const int end = document->characterCount();
    while (paceAt_ < end) {
        if (clock.nsecsElapsed() >= deadlineNs) {
            // The editor reads the size laid out so far and extrapolates the rest.
            emit layout->documentSizeChanged(QSizeF());
            return false;
        }
        QTextBlock block = document->findBlock(std::min(paceAt_ + kPaceChars, end - 1));
        if (!block.isValid())
            block = document->lastBlock();
        // Asking for a block's place lays the document out up to that block.
        layout->blockBoundingRect(block);
        paceAt_ = std::max(paceAt_ + 1, block.position() + block.length());
    }
    pacing_ = false;
    return true;
}

void RichTextView::workSlice(qint64 budgetNs)
{
    QElapsedTimer clock;
    clock.start();
    if (pacing_ && !paceRichLayout(budgetNs, clock))
        return;
    if (fill_) {
        // Each step adds one edit at the document's end; a laid-out rich document
        // lays out just that edit. The amount follows the time a step takes.
        const qint64 before = clock.nsecsElapsed();
        fill_->step(fillAmount_);
        const qint64 took = std::max<qint64>(clock.nsecsElapsed() - before, 1);
        const qint64 wanted = std::min<qint64>(budgetNs / 2, std::numeric_limits<qint32>::max());
        fillAmount_ = std::clamp<qsizetype>(
            qsizetype(double(fillAmount_) * double(wanted) / double(took)), kMinFillAmount, kMaxFillAmount);
        if (kind_ == TextKind::Rich) {
            // A small edit does not announce the document's new size by itself.
            emit rich_->document()->documentLayout()->documentSizeChanged(QSizeF());
        }
        if (fill_->done())
            fill_.reset();
    }
    if (!busy())
        work_.stop();
}

bool RichTextView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Timer && kind_ == TextKind::Rich && shown_ && watched == shown_->documentLayout()) {
        // Qt's own lazy layout grows its steps to 200,000 characters, each laid out
        // in one go: while the view paces the layout, those steps are not taken.
        if (pacing_)
            return true;
        // The layout has work again (a resize, a new font): pace it from now on.
        startPacing();
    }
    return QWidget::eventFilter(watched, event);
}

QTextDocument* RichTextView::document() const
{
    return kind_ == TextKind::Rich ? rich_->document() : plain_->document();
}

QString RichTextView::toPlainText() const
{
    return kind_ == TextKind::Rich ? rich_->toPlainText() : plain_->toPlainText();
}

QString RichTextView::toHtml() const
{
    return document()->toHtml();
}

QTextCursor RichTextView::textCursor() const
{
    return kind_ == TextKind::Rich ? rich_->textCursor() : plain_->textCursor();
}

void RichTextView::setTextCursor(const QTextCursor& cursor)
{
    if (kind_ == TextKind::Rich)
        rich_->setTextCursor(cursor);
    else
        plain_->setTextCursor(cursor);
}

void RichTextView::selectAll()
{
    if (kind_ == TextKind::Rich)
        rich_->selectAll();
    else
        plain_->selectAll();
}

void RichTextView::copy()
{
    if (kind_ == TextKind::Rich)
        rich_->copy();
    else
        plain_->copy();
}

bool RichTextView::isReadOnly() const
{
    return rich_->isReadOnly() && plain_->isReadOnly();
}

Qt::TextInteractionFlags RichTextView::textInteractionFlags() const
{
    return kind_ == TextKind::Rich ? rich_->textInteractionFlags() : plain_->textInteractionFlags();
}

QFrame::Shape RichTextView::frameShape() const
{
    return static_cast<QAbstractScrollArea*>(editor())->frameShape();
}

Qt::ScrollBarPolicy RichTextView::horizontalScrollBarPolicy() const
{
    return static_cast<QAbstractScrollArea*>(editor())->horizontalScrollBarPolicy();
}

Qt::ScrollBarPolicy RichTextView::verticalScrollBarPolicy() const
{
    return static_cast<QAbstractScrollArea*>(editor())->verticalScrollBarPolicy();
}

QScrollBar* RichTextView::horizontalScrollBar() const
{
    return static_cast<QAbstractScrollArea*>(editor())->horizontalScrollBar();
}

QScrollBar* RichTextView::verticalScrollBar() const
{
    return static_cast<QAbstractScrollArea*>(editor())->verticalScrollBar();
}

QWidget* RichTextView::viewport() const
{
    return static_cast<QAbstractScrollArea*>(editor())->viewport();
}

QWidget* RichTextView::editor() const
{
    return kind_ == TextKind::Rich ? static_cast<QWidget*>(rich_) : static_cast<QWidget*>(plain_);
}

PrintSteps systemPrintSteps()
{
    PrintSteps steps;
    steps.requireDefaultPrinter = &requireDefaultPrinter;
    steps.choosePrinter = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        // The whole text always prints, and only to a printer.
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        return dialog.exec() == QDialog::Accepted;
    };
    return steps;
}

int printView(RichTextView& view, const PrintSteps& steps, QWidget* dialogParent)
{
    steps.requireDefaultPrinter();
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    if (!steps.choosePrinter(printer, dialogParent))
        return 0;
    // The whole text prints, also the part still being read.
    view.finishLoading();
    return printTextDocument(*view.document(), printer);
}

}  // namespace iradudo
