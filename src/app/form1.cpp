// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form1.h"

#include "app/art/pixel_art.h"
#include "app/icon_item_delegate.h"
#include "app/program_fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>

#include <QVBoxLayout>
#include <algorithm>

using namespace iradudo;

namespace {

const AmigaWindowNames kBrowserNames{
    "Panel1", "Panel2", "Panel4", "Panel19", "Panel16", "Panel3", "Label2", "Image1", "Image3", "Image2"};
const AmigaWindowNames kTextViewerNames{
    "Panel5", "Panel6", "Panel8", "Panel23", "Panel26", "Panel7", "Label3", "Image4", "Image5", "Image6"};
const AmigaWindowNames kImageViewerNames{
    "Panel9", "Panel10", "Panel11", nullptr, "Panel18", "Panel12", "Label4", "Image8", "Image9", "Image10"};
const AmigaWindowNames kFormatNames{
    "Panel13", "Panel14", nullptr, "Panel20", "Panel17", nullptr, "Label5", "Image12", "Image13", nullptr};
const AmigaWindowNames kFolderNames{
    "Panel21", "Panel22", nullptr, "Panel25", "Panel24", nullptr, "Label15", "Image19", "Image20", nullptr};

void fillColour(QWidget* widget, const QColor& colour)
{
    widget->setAutoFillBackground(true);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
}

QLabel* logoLabel(QWidget* parent, const char* name, const char* caption, QRect geometry, const char* family,
    int pixelHeight, bool bold, bool italic, const QColor& colour)
{
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    // The box is the layout's, sized for the original font; a wider stand-in is
    // narrowed to the box's width, so that no label runs under the next one.
    const int advance = QFontMetrics(font).horizontalAdvance(label->text());
    if (advance > geometry.width()) {
        int stretch = 100 * geometry.width() / advance;
        for (font.setStretch(stretch); stretch > 50; font.setStretch(--stretch)) {
            if (QFontMetrics(font).horizontalAdvance(label->text()) <= geometry.width())
                break;
        }
    }
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fillColour(label, kSilver);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

QWidget* line(QWidget* parent, const QColor& colour)
{
    auto* widget = new QWidget(parent);
    widget->setFixedHeight(1);
    fillColour(widget, colour);
    return widget;
}

}  // namespace

TForm1::TForm1(Platform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform), source_(platform), DriveComboBox1(source_.driveList()),
      DirectoryListBox1(source_.directoryList()), FileListBox1(source_.fileList())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("DIZOZ Iradudo "));
    setFont(windowFont());
    fillColour(this, kSilver);
    move(128, 119);
    resize(617, 442);

    DirectoryListBox1.setOnChange([this] { DirectoryListBox1Change(); });
    FileListBox1.setBusyHook([this](bool busy) { setBusy(busy); });

    buildDesktop();
    buildWindows();
    buildViewers();
    buildFloppyWindows();
    bindFrameHandlers();
    layoutDesktop();
    FormCreate();
}

TForm1::~TForm1()
{
    setBusy(false);
}

void TForm1::setBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// Children are created bottom to top: the line and the logo lie on the desktop
// itself, then the windowed parts in their stacking order at start.
void TForm1::buildDesktop()
{
    Shape15 = new QWidget(this);
    Shape15->setObjectName(QStringLiteral("Shape15"));
    fillColour(Shape15, Qt::black);

    Label11
        = logoLabel(this, "Label11", "KOVA", {416, 124, 59, 32}, "Verdana", 27, false, false, QColor(0xF2, 0xD2, 0x29));
    Label12 = logoLabel(this, "Label12", "CD", {480, 120, 46, 37}, "Arial", 32, true, false, kTitleBlue);
    Label10 = logoLabel(this, "Label10", "AMIGA", {256, 56, 211, 75}, "Arial", 64, true, false, Qt::white);
    Label13 = logoLabel(this, "Label13", "VortiX", {256, 48, 73, 24}, "Times New Roman", 21, true, true, Qt::red);

    ListView1Items = new IconItemModel(this);
    ListView1Items->setImageList({QPixmap::fromImage(art::compactDisc())});
    ListView1 = new IconListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(ListView1Items);
    ListView1->setIconSize(QSize(37, 37));
    ListView1->setGridSize(QSize(72, 58));
    ListView1->setWordWrap(false);
    ListView1->setItemDelegate(new IconItemDelegate(1, ListView1));
    ListView1->setStyleSheet(QStringLiteral("QListView { background: #C0C0C0; border: none; }"));
    ListView1->onDblClick = [this] { ListView1DblClick(); };
}

void TForm1::buildWindows()
{
    const GadgetPictures gadgets{art::closeGadget(), art::depthGadget(), art::resizeGadget()};
    Panel1 = new AmigaWindow(FrameKind::Browser, QStringLiteral("  Finestra browser"), kBrowserNames, gadgets, this);
    Panel1->setBounds({200, 88, 393, 281});
    Panel9 = new AmigaWindow(
        FrameKind::ImageViewer, QStringLiteral("  Visualizzatore immagini"), kImageViewerNames, gadgets, this);
    Panel9->setBounds({256, 248, 297, 145});
    Panel13 = new AmigaWindow(FrameKind::Fixed, QStringLiteral("  Opzioni formattazione"), kFormatNames, gadgets, this);
    Panel13->setBounds({112, 224, 273, 129});

    Notebook1 = new QWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    fillColour(Notebook1, Qt::white);
    Image7 = new PictureBox(Notebook1);
    Image7->setObjectName(QStringLiteral("Image7"));
    Image7->setGeometry(0, 0, 25, 17);
    Image7->setPicture(art::depthGadget(), PictureBox::Mode::StretchTransparent);
    Image7->handlers.click = [this] { Image9Click(); };
    Label1 = new QLabel(QStringLiteral("QOR CD BROWSER 1.0"), Notebook1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = windowFont();
    bold.setBold(true);
    // Ask for the installed bold face by name: matched by weight alone, the window
    // system may hand out the regular face made bolder by one pixel row or none.
    if (QFontDatabase::styles(bold.family()).contains(QStringLiteral("Bold")))
        bold.setStyleName(QStringLiteral("Bold"));
    Label1->setFont(bold);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setGeometry(32, 0, Label1->sizeHint().width(), 17);
    Label6 = new QLabel(QStringLiteral("browser dei CD-ROM delle riviste Amiga, per Linux"), Notebook1);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label6->setGeometry(Label1->geometry().right() + 12, 0, Label6->sizeHint().width(), 17);

    Panel21 = new AmigaWindow(FrameKind::Fixed, QStringLiteral("  Selezione cartella"), kFolderNames, gadgets, this);
    Panel21->setBounds({176, 168, 321, 201});
    Panel5 = new AmigaWindow(
        FrameKind::TextViewer, QStringLiteral(" Visualizzatore testo"), kTextViewerNames, gadgets, this);
    Panel5->setBounds({64, 176, 369, 153});

    for (AmigaWindow* window : {Panel1, Panel5, Panel9, Panel13, Panel21})
        window->hide();

    buildBrowser();
}

void TForm1::buildBrowser()
{
    QWidget* body = Panel1->body;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);  // the body keeps its own 2-pixel border
    layout->setSpacing(0);

    ToolBar1 = new QWidget(body);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(31);
    auto button = [this](const char* name, int left, int width, const QString& hint) {
        return toolBarButton(ToolBar1, name, left, width, hint);
    };
    SpeedButton1 = button("SpeedButton1", 0, 25, QStringLiteral("Directory superiore"));
    SpeedButton1->setGlyph(art::glyph(art::Glyph::ParentFolder));
    SpeedButton2 = button("SpeedButton2", 25, 25, QStringLiteral("Ritorna alla radice"));
    SpeedButton2->setGlyph(art::glyph(art::Glyph::RootDrive));
    SpeedButton3 = button("SpeedButton3", 58, 25, QStringLiteral("Copia su dischetto"));
    SpeedButton3->setGlyph(art::glyph(art::Glyph::CopyToFloppy), art::glyph(art::Glyph::CopyToFloppyDisabled));
    ToolButton3 = button("ToolButton3", 83, 23, QStringLiteral("Copia"));
    ToolButton3->setGlyph(art::toolImage(4));
    ToolButton3->setGlyphMargin(1);
    ToolButton3->setDropDownArrow(true);
    ToolButton4 = button("ToolButton4", 106, 23, QStringLiteral("Formatta il dischetto (720 kb) per CrossDos"));
    ToolButton4->setGlyph(art::toolImage(5));
    SpeedButton4 = button("SpeedButton4", 137, 25, QStringLiteral("Mostra testo"));
    SpeedButton4->setGlyph(art::glyph(art::Glyph::ShowText));
    SpeedButton7 = button("SpeedButton7", 170, 25, QStringLiteral("Mostra immagine"));
    SpeedButton7->setGlyph(art::glyph(art::Glyph::ShowPicture));
    SpeedButton5 = button("SpeedButton5", 195, 25, QStringLiteral("Avvia"));
    SpeedButton5->setGlyph(art::glyph(art::Glyph::Launch), art::glyph(art::Glyph::LaunchDisabled));
    SpeedButton10 = button("SpeedButton10", 228, 101, QString());
    SpeedButton10->setGlyph(art::cycleGadget());
    SpeedButton10->setGlyphMargin(4);
    SpeedButton10->setText(QString::fromLatin1(infoToggleCaption(0)));

    connect(SpeedButton1, &QAbstractButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QAbstractButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(SpeedButton5, &QAbstractButton::clicked, this, [this] { SpeedButton5Click(); });
    connect(SpeedButton10, &QAbstractButton::clicked, this, [this] { SpeedButton10Click(); });

    ListView2Items = new IconItemModel(this);
    ListView2 = new IconListView(body);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->setModel(ListView2Items);
    ListView2->setIconSize(QSize(37, 37));
    ListView2->setGridSize(QSize(76, 70));
    ListView2->setWordWrap(true);
    ListView2->setItemDelegate(new IconItemDelegate(2, ListView2));
    ListView2->setLayoutMode(QListView::Batched);
    ListView2->setBatchSize(500);
    ListView2->setStyleSheet(QStringLiteral("QListView { background: #C0C0C0; border: none; }"));
    ListView2->onClick = [this] { ListView2Click(); };
    ListView2->onDblClick = [this] { ListView2DblClick(); };

    Label8 = new QLabel(body);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setFixedHeight(13);
    Label8->setTextFormat(Qt::PlainText);

    layout->addWidget(ToolBar1);
    layout->addWidget(line(body, Qt::black));
    layout->addWidget(line(body, Qt::white));
    layout->addWidget(ListView2, 1);
    layout->addWidget(line(body, Qt::black));
    layout->addWidget(line(body, Qt::white));
    layout->addWidget(Label8);
}

void TForm1::resizeEvent(QResizeEvent*)
{
    layoutDesktop();
}

// The top bar follows the width and the icon strip the height; everything
// else keeps its place.
void TForm1::layoutDesktop()
{
    Notebook1->setGeometry(0, 0, width(), 17);
    Shape15->setGeometry(0, 17, width(), 1);
    ListView1->setGeometry(0, 18, 145, height() - 18);
}
