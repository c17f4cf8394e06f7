// SPDX-License-Identifier: GPL-3.0-or-later
// The text viewer and the image viewer: their bodies and handlers.
#include "app/art/pixel_art.h"
#include "app/form1.h"
#include "app/program_fonts.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace iradudo;

namespace {

QWidget* grooveLine(QWidget* parent, const char* name, const QColor& colour)
{
    auto* line = new QWidget(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, colour);
    line->setPalette(pal);
    return line;
}

const char* wrapToggleCaption(int tag)
{
    return tag == 0 ? "Sì" : "No";
}

}  // namespace

void TForm1::buildViewers()
{
    // Text viewer: toolbar, groove, view; Panel7 keeps its own 2-pixel border.
    QWidget* body = Panel5->body;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar2 = new QWidget(body);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setFixedHeight(31);
    auto button = [this](const char* name, int left, int width, const QString& hint) {
        return toolBarButton(ToolBar2, name, left, width, hint);
    };
    SpeedButton6 = button("SpeedButton6", 0, 25, QStringLiteral("Copia il testo selezionato"));
    SpeedButton6->setGlyph(art::glyph(art::Glyph::CopyText));
    SpeedButton9 = button("SpeedButton9", 33, 25, QStringLiteral("Stampa"));
    SpeedButton9->setGlyph(art::glyph(art::Glyph::Print));
    Label14 = new QLabel(QStringLiteral("A capo automatico : "), ToolBar2);
    Label14->setObjectName(QStringLiteral("Label14"));
    Label14->setGeometry(2 + 66, 3, 103, 25);
    Label14->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SpeedButton11 = button("SpeedButton11", 169, 56, QString());
    SpeedButton11->setGlyph(art::cycleGadget());
    SpeedButton11->setGlyphMargin(4);
    SpeedButton11->setText(QString::fromUtf8(wrapToggleCaption(0)));

    Shape64 = grooveLine(body, "Shape64", Qt::black);
    Shape63 = grooveLine(body, "Shape63", Qt::white);
    RichEdit1 = new RichTextView(fixedSysFont(), body);

    layout->addWidget(ToolBar2);
    layout->addWidget(Shape64);
    layout->addWidget(Shape63);
    layout->addWidget(RichEdit1, 1);

    connect(SpeedButton4, &QAbstractButton::clicked, this, [this] { SpeedButton4Click(); });
    connect(SpeedButton6, &QAbstractButton::clicked, this, [this] { SpeedButton6Click(); });
    connect(SpeedButton9, &QAbstractButton::clicked, this, [this] { SpeedButton9Click(); });
    connect(SpeedButton11, &QAbstractButton::clicked, this, [this] { SpeedButton11Click(); });
    printSteps = systemPrintSteps();

    // Image viewer: the scroll box fills Panel12 inside its 2-pixel border.
    QWidget* imageBody = Panel9->body;
    auto* imageLayout = new QVBoxLayout(imageBody);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    imageLayout->setSpacing(0);
    ScrollBox1 = new QScrollArea(imageBody);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->horizontalScrollBar()->setTracking(true);
    ScrollBox1->verticalScrollBar()->setTracking(true);
    Image11 = new ImageControl;
    ScrollBox1->setWidget(Image11);
    imageLayout->addWidget(ScrollBox1);

    connect(SpeedButton7, &QAbstractButton::clicked, this, [this] { SpeedButton7Click(); });
}

void TForm1::SpeedButton4Click()
{
    const ListingItem* picked = pickedEntry();
    if (!picked)
        return;
    // The browsed directory, not the process's: the folder selection may have moved that.
    ListedFile file = platform_.openListedFile(DirectoryListBox1.directory(), picked->caption);
    RichEdit1->LoadFromFile(file.handle, picked->caption);
    Panel5->show();
    Panel5->raise();
}

void TForm1::SpeedButton6Click()
{
    RichEdit1->copy();
}

void TForm1::SpeedButton9Click()
{
    printView(*RichEdit1, printSteps, this);
}

void TForm1::SpeedButton11Click()
{
    SpeedButton11->setText(QString::fromUtf8(wrapToggleCaption(SpeedButton11->toggleTag())));
    RichEdit1->setWrapping(SpeedButton11->tag == 0);
}

void TForm1::SpeedButton7Click()
{
    const ListingItem* picked = pickedEntry();
    if (!picked)
        return;
    // Copied: a GIF decode lets events run, and they may rebuild the listing.
    const std::string name = picked->caption;
    TPicture::CheckFormat(name);
    ListedFile file = platform_.openListedFile(DirectoryListBox1.directory(), name);
    // Loaded means the control, and so this window, still exists.
    if (loadPicture(Image11, Panel9, std::move(file.handle), name) != LoadOutcome::Loaded)
        return;
    Panel9->show();
    Panel9->raise();
}
