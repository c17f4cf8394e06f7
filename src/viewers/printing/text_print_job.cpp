// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/printing/text_print_job.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFormat>
#include <QTextFrame>
#include <QTextTable>

#include <map>
#include <memory>
#include <vector>

namespace iradudo {
namespace {

// The resolution documents are laid out in when no device is given: the screen's.
QPointF layoutResolution()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return {screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY()};
    return {96.0, 96.0};
}

bool isRasterFont(const QFont& font)
{
    const QFontInfo shown(font);
    return !QFontDatabase::isScalable(shown.family(), shown.styleName());
}

// The scalable fixed-pitch font that prints in place of a raster font, at the size
// the screen shows the raster font in.
QFont printableStandIn(const QFont& raster)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(QFontInfo(raster).pixelSize());
    return font;
}

// Raster fonts (the viewer's Fixedsys among them) cannot go to a printer: as a
// printer driver would, a scalable font of the same pitch and size stands in.
void replaceRasterFonts(QTextDocument& document)
{
    if (isRasterFont(document.defaultFont()))
        document.setDefaultFont(printableStandIn(document.defaultFont()));

    std::map<int, bool> rasterByFormat;
    QTextCursor cursor(&document);
    int rangeStart = -1;
    int rangeEnd = -1;
    QFont rangeFont;
    auto applyRange = [&] {
        if (rangeStart < 0)
            return;
        const QFont standIn = printableStandIn(rangeFont);
        QTextCharFormat change;
        change.setFont(standIn, QTextCharFormat::FontPropertiesSpecifiedOnly);
        cursor.setPosition(rangeStart);
        cursor.setPosition(rangeEnd, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(change);
        rangeStart = -1;
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat())
                continue;
            auto known = rasterByFormat.find(fragment.charFormatIndex());
            if (known == rasterByFormat.end())
                known = rasterByFormat.emplace(fragment.charFormatIndex(), isRasterFont(format.font())).first;
            if (!known->second)
                continue;
            // Neighbouring runs in one font, across line ends, change in one step.
            const QFont font = format.font();
            if (rangeStart >= 0 && (fragment.position() > rangeEnd + 1 || !(font == rangeFont)))
                applyRange();
            if (rangeStart < 0) {
                rangeStart = fragment.position();
                rangeFont = font;
            }
            rangeEnd = fragment.position() + fragment.length();
        }
    }
    applyRange();
}

// Qt lays a table cell out again at every page break inside it, so a cell that
// runs over many pages prints in quadratic time (20,000 paragraphs in one cell:
// minutes). For printing only, a row whose cells hold more paragraphs than this
// is split into rows of this many, which pages the same text in linear time.
// About two pages of short paragraphs: shorter cells print exactly as shown.
constexpr int kMaxPrintedCellBlocks = 100;

// The cell's own paragraphs, or nothing when a nested table or frame sits in it
// (such cells are left whole).
std::vector<QTextBlock> cellBlocks(const QTextTableCell& cell)
{
    std::vector<QTextBlock> blocks;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (it.currentFrame())
            return {};
        blocks.push_back(it.currentBlock());
    }
    return blocks;
}

void splitLongRows(QTextTable& table)
{
    for (int row = 0; row < table.rows(); ++row) {
        std::size_t most = 0;
        bool plain = true;
        for (int column = 0; column < table.columns() && plain; ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            plain = cell.rowSpan() == 1;
            most = std::max(most, cellBlocks(cell).size());
        }
        if (!plain || most <= std::size_t(kMaxPrintedCellBlocks))
            continue;
        const int extra = int((most - 1) / kMaxPrintedCellBlocks);
        table.insertRows(row + 1, extra);
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            if (cell.column() != column)
                continue;  // covered by a cell spanning from the left
            const std::vector<QTextBlock> blocks = cellBlocks(cell);
            // From the end, so the positions of the paragraphs still to move hold.
            for (int part = extra; part >= 1; --part) {
                const std::size_t first = std::size_t(part) * kMaxPrintedCellBlocks;
                if (first >= blocks.size())
                    continue;
                QTextCursor cut(table.document());
                cut.setPosition(blocks[first].position() - 1);
                cut.setPosition(table.cellAt(row, column).lastPosition(), QTextCursor::KeepAnchor);
                QTextDocumentFragment moved = cut.selection();
                cut.removeSelectedText();
                QTextCursor into = table.cellAt(row + part, column).firstCursorPosition();
                into.insertFragment(moved);
                // The fragment opened with the paragraph break it was cut after.
                into.setPosition(table.cellAt(row + part, column).firstPosition());
                into.deleteChar();
            }
        }
        row += extra;
    }
}

void splitLongCells(QTextDocument& document)
{
    std::vector<QTextFrame*> frames{document.rootFrame()};
    std::vector<QTextTable*> tables;
    while (!frames.empty()) {
        QTextFrame* frame = frames.back();
        frames.pop_back();
        if (auto* table = qobject_cast<QTextTable*>(frame))
            tables.push_back(table);
        for (QTextFrame* child : frame->childFrames())
            frames.push_back(child);
    }
    for (QTextTable* table : tables)
        splitLongRows(*table);
}

// Pictures are sized in pixels of 1/96 inch (the rich text reader's goal
// sizes), the view shows them at that many pixels, while the print layout's
// pixels are the screen's (1/119 inch at a scaling of 124 %): bring the
// pictures to layout pixels, so that they print at the size the view gives
// them whatever the screen's resolution.
void scalePictures(QTextDocument& document, QPointF resolution)
{
    const double sx = resolution.x() / 96.0, sy = resolution.y() / 96.0;
    struct Found {
        int position, length;
        QTextImageFormat format;
    };
    std::vector<Found> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                pictures.push_back(
                    {it.fragment().position(), it.fragment().length(), it.fragment().charFormat().toImageFormat()});
    QTextCursor cursor(&document);
    for (Found& picture : pictures) {
        if (!picture.format.hasProperty(QTextFormat::ImageWidth)
            || !picture.format.hasProperty(QTextFormat::ImageHeight))
            continue;
        picture.format.setWidth(picture.format.width() * sx);
        picture.format.setHeight(picture.format.height() * sy);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
}

}  // namespace

std::unique_ptr<QTextDocument> printableCopy(const QTextDocument& document)
{
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->setUndoRedoEnabled(false);
    replaceRasterFonts(*copy);
    splitLongCells(*copy);
    return copy;
}

void requireDefaultPrinter()
{
    if (QPrinterInfo::defaultPrinter().isNull())
        throw EPrinter();
}

int printTextDocument(const QTextDocument& document, QPrinter& printer)
{
    printer.setDocName(QString());
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));

    QPainter painter;
    if (!painter.begin(&printer))
        throw EPrintJobError();

    // Page area in the document's own units: the whole sheet.
    const QPointF source = layoutResolution();
    const double scaleX = printer.logicalDpiX() / source.x();
    const double scaleY = printer.logicalDpiY() / source.y();
    const QSizeF page(printer.width() / scaleX, printer.height() / scaleY);

    // A copy keeps the view's layout untouched by the page size and the printer's fonts.
    const std::unique_ptr<QTextDocument> copy = printableCopy(document);
    if (source != QPointF(96.0, 96.0))
        scalePictures(*copy, source);
    copy->setDocumentMargin(0);
    copy->setPageSize(page);
    QAbstractTextDocumentLayout* layout = copy->documentLayout();
    const int pages = std::max(1, copy->pageCount());

    painter.scale(scaleX, scaleY);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            printer.newPage();
        const QRectF view(0, index * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        context.clip = view;
        layout->draw(&painter, context);
        painter.restore();
    }
    painter.end();
    return pages;
}

}  // namespace iradudo
