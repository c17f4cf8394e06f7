// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/views/rich_text_view.h"

#include "viewers/printing/text_print_job.h"
#include "viewers/text/text_loader.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QTextDocument>

namespace iradudo {

RichTextView::RichTextView(const QFont& plainTextFont, QWidget* parent)
    : QTextEdit(parent), plainTextFont_(plainTextFont)
{
    setObjectName(QStringLiteral("RichEdit1"));
    setReadOnly(true);
    // Read-only alone drops keyboard selection; the user still selects and scrolls.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setFont(plainTextFont_);
    QPalette pal = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
        pal.setColor(group, QPalette::Text, pal.color(group, QPalette::WindowText));
    }
    setPalette(pal);
}

void RichTextView::LoadFromFile(const std::string& fileName)
{
    LoadedText loaded = loadTextFile(fileName, plainTextFont_);
    setLoadedDocument(std::move(loaded.document));
}

void RichTextView::setLoadedDocument(std::unique_ptr<QTextDocument> document)
{
    // The view's first document belongs to Qt, which releases it on the
    // switch; later ones are ours to release.
    QTextDocument* previous = this->document();
    const bool ours = previous && previous->parent() == this;
    document->setParent(this);
    setDocument(document.release());
    if (ours)
        delete previous;
    moveCursor(QTextCursor::Start);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void RichTextView::setWrapping(bool on)
{
    // Only the layout changes: the document, and with it every format, stays.
    setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void RichTextView::paintEvent(QPaintEvent* event)
{
    if (hasFocus() || !textCursor().hasSelection()) {
        QTextEdit::paintEvent(event);
        return;
    }
    // Unfocused with a selection: draw the document as QTextEdit would, minus
    // the selection, which an inactive view does not show.
    QPainter painter(viewport());
    const int dx = isRightToLeft() ? horizontalScrollBar()->maximum() - horizontalScrollBar()->value()
                                   : horizontalScrollBar()->value();
    const int dy = verticalScrollBar()->value();
    painter.translate(-dx, -dy);
    const QRect clip = event->rect().translated(dx, dy);
    painter.setClipRect(clip, Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette = palette();
    context.cursorPosition = -1;
    document()->documentLayout()->draw(&painter, context);
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

int printView(const RichTextView& view, const PrintSteps& steps, QWidget* dialogParent)
{
    steps.requireDefaultPrinter();
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    if (!steps.choosePrinter(printer, dialogParent))
        return 0;
    return printTextDocument(*view.document(), printer);
}

}  // namespace iradudo
