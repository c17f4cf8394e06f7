// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form_fixture.h"
#include "app/program_fonts.h"
#include "gif/gif.h"
#include "viewers/pictures/picture_formats.h"
#include "viewers/printing/text_print_job.h"
#include "viewers/views/image_control.h"

#include "support/paint_counter.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLayout>
#include <QPrinter>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <jerror.h>
#include <jpeglib.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

const QColor kSilverColour(0xC0, 0xC0, 0xC0);

// The generated pictures (with Pillow's decoding of each beside it) and a few
// texts, on a disc of the test's own.
class ViewerDisc {
public:
    ViewerDisc()
    {
        for (const auto& entry : fs::directory_iterator(IRADUDO_VIEWER_FILES))
            if (entry.path().extension() != ".ppm" && entry.path().filename() != "stamp")
                fs::copy_file(entry.path(), dir.path() / entry.path().filename());
        dir.writeFile("PLAIN.TXT", "uno\ndue\rtre\r\nquattro\n");
        dir.writeFile("OTHER.TXT", "Un altro testo\r\n");
        dir.writeFile("RICH.TXT",
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Normale {\\b Grassetto} "
            "{\\i corsivo} fine\\par}");
        dir.writeFile("LONG.TXT", std::string(40, 'a') + " " + std::string(300, 'b') + "\r\nriga due\r\n");
        dir.makeDir("DOCS");
    }
    std::string root() const { return dir.path().string(); }

    TempDir dir;
};

QImage reference(const char* name)
{
    return QImage(QString::fromStdString(std::string(IRADUDO_VIEWER_FILES) + "/" + name + ".ppm"))
        .convertToFormat(QImage::Format_RGB32);
}

int maxDifference(const QImage& shown, const QImage& expected)
{
    if (shown.size() != expected.size())
        return -1;
    const QImage a = shown.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = expected.pixel(x, y);
            worst = std::max(
                {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

int stackIndex(const QWidget* widget)
{
    return static_cast<int>(widget->parentWidget()->children().indexOf(const_cast<QWidget*>(widget)));
}

bool onTopOfWindows(const TForm1& f, const QWidget* window)
{
    const QWidget* windows[] = {f.Panel1, f.Panel5, f.Panel9, f.Panel13, f.Panel21, f.Notebook1};
    for (const QWidget* other : windows)
        if (other != window && stackIndex(other) > stackIndex(window))
            return false;
    return true;
}

std::string jpegError(int code)
{
    return "JPEG error #" + std::to_string(code) + ".";
}

class ViewerWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static const bool registered = [] {
            initialisePictureFormats(24);
            return true;
        }();
        (void)registered;
        installProgramFonts();
    }
    void openDisc()
    {
        fx.showForm();
        FormFixture::doubleClickItem(f.ListView1, 0);
        ASSERT_FALSE(f.Panel1->isHidden());
    }
    void focus(const char* caption)
    {
        const int row = fx.browserRow(QString::fromLatin1(caption));
        ASSERT_GE(row, 0) << caption;
        f.ListView2->setCurrentIndex(f.ListView2Items->index(row));
    }
    // Presses go through the application, as the user's do, so failures end
    // in the recording error box.
    void press(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void showText(const char* caption)
    {
        focus(caption);
        press(f.SpeedButton4);
    }
    void showPicture(const char* caption)
    {
        focus(caption);
        press(f.SpeedButton7);
    }
    QImage shownPicture()
    {
        f.Image11->repaint();
        return f.Image11->grab().toImage();
    }
    // Runs the action once a picture load is under way, from the events its
    // progress lets run.
    void duringLoad(std::function<void()> action)
    {
        auto* timer = new QTimer(f.Panel1);
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, action] {
            if (activePictureLoads() != 1)
                return;
            timer->stop();
            ++actionsDuringLoad;
            action();
        });
        timer->start();
    }

    ViewerDisc disc;
    FormFixture fx{{makeDrive('D', DriveCdRom, disc.root(), "COVER")}};
    TForm1& f = *fx.form;
    int actionsDuringLoad = 0;
};

// --- Text viewer -----------------------------------------------------------

TEST_F(ViewerWindows, TextViewerToolbarAndAnEmptyViewThatKeysCannotEdit)
{
    openDisc();
    f.Panel5->show();
    QApplication::processEvents();
    struct Item {
        QWidget* widget;
        int left, width;
        const char* hint;
    };
    for (const Item& item :
        {Item{f.SpeedButton6, 0, 25, "Copia il testo selezionato"}, Item{f.SpeedButton9, 33, 25, "Stampa"},
            Item{f.Label14, 66, 103, ""}, Item{f.SpeedButton11, 169, 56, ""}}) {
        EXPECT_EQ(item.widget->x() - f.SpeedButton6->x(), item.left) << item.widget->objectName().toStdString();
        EXPECT_EQ(item.widget->size(), QSize(item.width, 25)) << item.widget->objectName().toStdString();
        EXPECT_EQ(item.widget->toolTip(), QString::fromLatin1(item.hint));
    }
    EXPECT_EQ(f.Label14->text(), QStringLiteral("A capo automatico : "));
    EXPECT_EQ(f.SpeedButton11->text(), QStringLiteral("Sì"));

    // Empty at start, and the keyboard selects but never edits.
    RichTextView& view = *f.RichEdit1;
    // The view hands the keyboard to the editor that shows the current text.
    const auto keys = [&] { return view.focusProxy() ? view.focusProxy() : static_cast<QWidget*>(&view); };
    view.setFocus();
    QTest::keyClicks(keys(), QStringLiteral("abc"));
    QTest::keyClick(keys(), Qt::Key_Return);
    QTest::keyClick(keys(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(view.toPlainText().isEmpty());
    showText("PLAIN.TXT");
    view.setFocus();
    QTest::keyClick(keys(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(keys(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(keys(), Qt::Key_Delete);
    QTest::keyClicks(keys(), QStringLiteral("x"));
    EXPECT_EQ(view.textCursor().selectedText(), QStringLiteral("u"));
    EXPECT_EQ(view.toPlainText(), QStringLiteral("uno\ndue\ntre\nquattro\n"));
}

TEST_F(ViewerWindows, GrooveAndSilverViewArePainted)
{
    fx.showForm();
    f.Panel5->show();
    QApplication::processEvents();
    const QImage body = f.Panel5->body->grab().toImage();
    ASSERT_EQ(body.size(), QSize(361, 120));
    for (int x = 2; x < 359; ++x) {
        ASSERT_EQ(body.pixelColor(x, 33), QColor(Qt::black)) << x;
        ASSERT_EQ(body.pixelColor(x, 34), QColor(Qt::white)) << x;
    }
    // No border: the view's silver runs right up to the groove and the body's edge.
    for (const QPoint at : {QPoint(2, 35), QPoint(358, 35), QPoint(2, 117), QPoint(358, 117), QPoint(180, 80)})
        EXPECT_EQ(body.pixelColor(at), kSilverColour) << at.x() << "," << at.y();
    EXPECT_FALSE(f.RichEdit1->verticalScrollBar()->isVisible());
    EXPECT_FALSE(f.RichEdit1->horizontalScrollBar()->isVisible());
}

TEST_F(ViewerWindows, ShowTextLoadsPlainTextInFixedSysAndRaises)
{
    openDisc();
    ASSERT_TRUE(f.Panel5->isHidden());
    showText("PLAIN.TXT");
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join(" | ").toStdString();
    EXPECT_FALSE(f.Panel5->isHidden());
    EXPECT_TRUE(onTopOfWindows(f, f.Panel5));
    // LF, CR and CR LF each end one line.
    EXPECT_EQ(f.RichEdit1->toPlainText(), QStringLiteral("uno\ndue\ntre\nquattro\n"));
    QTextCursor at(f.RichEdit1->document());
    at.setPosition(1);
    EXPECT_EQ(at.charFormat().font().family(), fixedSysFont().family());
}

TEST_F(ViewerWindows, ShowTextKeepsRichTextFormattingWhateverTheExtension)
{
    openDisc();
    showText("RICH.TXT");
    ASSERT_FALSE(f.Panel5->isHidden());
    EXPECT_EQ(f.RichEdit1->toPlainText().trimmed(), QStringLiteral("Normale Grassetto corsivo fine"));
    QTextCursor bold = f.RichEdit1->document()->find(QStringLiteral("Grassetto"));
    ASSERT_FALSE(bold.isNull());
    EXPECT_EQ(bold.charFormat().fontWeight(), QFont::Bold);
    QTextCursor italic = f.RichEdit1->document()->find(QStringLiteral("corsivo"));
    EXPECT_TRUE(italic.charFormat().fontItalic());
}

TEST_F(ViewerWindows, ASecondTextReplacesTheFirstAndRaisesAgain)
{
    openDisc();
    showText("PLAIN.TXT");
    f.Image9Click();  // the image viewer's depth gadget puts it on top
    ASSERT_FALSE(onTopOfWindows(f, f.Panel5));
    showText("OTHER.TXT");
    EXPECT_EQ(f.RichEdit1->toPlainText(), QStringLiteral("Un altro testo\n"));
    EXPECT_TRUE(onTopOfWindows(f, f.Panel5));
}

TEST_F(ViewerWindows, TextFailuresLeaveTheViewerAsItWas)
{
    openDisc();
    // Hidden viewer stays hidden.
    showText("[DOCS]");
    EXPECT_EQ(fx.errors, QStringList{"Cannot open file [DOCS]."});
    EXPECT_TRUE(f.Panel5->isHidden());

    // Visible viewer keeps its content and place.
    showText("RICH.TXT");
    const QString html = f.RichEdit1->toHtml();
    f.Image9Click();
    const int place = stackIndex(f.Panel5);
    fs::remove(disc.dir.path() / "PLAIN.TXT");  // vanished since the listing
    showText("PLAIN.TXT");
    showText("[DOCS]");
    EXPECT_EQ(fx.errors,
        (QStringList{"Cannot open file [DOCS].", "Cannot open file PLAIN.TXT.", "Cannot open file [DOCS]."}));
    EXPECT_FALSE(f.Panel5->isHidden());
    EXPECT_EQ(stackIndex(f.Panel5), place);
    EXPECT_EQ(f.RichEdit1->toHtml(), html);
}

TEST_F(ViewerWindows, NoFocusedEntryShowsNothing)
{
    openDisc();
    f.ListView2->setCurrentIndex(QModelIndex());
    press(f.SpeedButton4);
    press(f.SpeedButton7);
    EXPECT_TRUE(fx.errors.isEmpty());
    EXPECT_TRUE(f.Panel5->isHidden());
    EXPECT_TRUE(f.Panel9->isHidden());
}

TEST_F(ViewerWindows, WrapToggleSwitchesAndKeepsTextAndFormatting)
{
    openDisc();
    showText("LONG.TXT");
    QApplication::processEvents();
    const QString html = f.RichEdit1->toHtml();
    EXPECT_FALSE(f.RichEdit1->horizontalScrollBar()->isVisible());

    press(f.SpeedButton11);
    QApplication::processEvents();
    EXPECT_EQ(f.SpeedButton11->tag, 1);
    EXPECT_EQ(f.SpeedButton11->text(), QStringLiteral("No"));
    EXPECT_FALSE(f.RichEdit1->wrapping());
    EXPECT_TRUE(f.RichEdit1->horizontalScrollBar()->isVisible());

    press(f.SpeedButton11);
    QApplication::processEvents();
    EXPECT_EQ(f.SpeedButton11->tag, 0);
    EXPECT_EQ(f.SpeedButton11->text(), QStringLiteral("Sì"));
    EXPECT_TRUE(f.RichEdit1->wrapping());
    EXPECT_FALSE(f.RichEdit1->horizontalScrollBar()->isVisible());
    EXPECT_EQ(f.RichEdit1->toHtml(), html);

    showText("RICH.TXT");
    const QString rich = f.RichEdit1->toHtml();
    for (int i = 0; i < 6; ++i)
        press(f.SpeedButton11);
    EXPECT_EQ(f.RichEdit1->toHtml(), rich);
    EXPECT_EQ(f.RichEdit1->document()->find(QStringLiteral("Grassetto")).charFormat().fontWeight(), QFont::Bold);
}

TEST_F(ViewerWindows, CopyPutsTheSelectionOnTheClipboard)
{
    openDisc();
    showText("RICH.TXT");
    QGuiApplication::clipboard()->setText(QStringLiteral("prima"));
    QTextCursor selection = f.RichEdit1->document()->find(QStringLiteral("Grassetto corsivo"));
    ASSERT_FALSE(selection.isNull());
    f.RichEdit1->setTextCursor(selection);
    press(f.SpeedButton6);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Grassetto corsivo"));
    EXPECT_EQ(f.RichEdit1->textCursor().selectedText(), QStringLiteral("Grassetto corsivo"));
}

TEST_F(ViewerWindows, SelectionIsDrawnOnlyWhileTheViewHasTheFocus)
{
    openDisc();
    showText("OTHER.TXT");
    f.RichEdit1->selectAll();
    const QColor highlight = f.RichEdit1->palette().color(QPalette::Active, QPalette::Highlight);
    auto highlighted = [&] {
        const QImage image = f.RichEdit1->viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == highlight;
        return count;
    };
    f.ListView2->setFocus();
    ASSERT_FALSE(f.RichEdit1->hasFocus());
    EXPECT_EQ(highlighted(), 0);

    QApplication::setActiveWindow(fx.form.get());
    f.RichEdit1->setFocus();
    if (!f.RichEdit1->hasFocus())
        GTEST_SKIP() << "this platform gives no focus to an inactive window";
    EXPECT_GT(highlighted(), 20);
    f.ListView2->setFocus();
    EXPECT_EQ(highlighted(), 0);
    EXPECT_TRUE(f.RichEdit1->textCursor().hasSelection());
}

// --- Image viewer: repaint after a JPEG error --------------------------------

using iradudo::test::PaintCounter;

TEST_F(ViewerWindows, AJpegErrorInTheFirstPaintRepaintsThePictureWhenItsBoxCloses)
{
    openDisc();
    showPicture("BAD.JPG");
    ASSERT_FALSE(f.Panel9->isHidden());
    PaintCounter counter;
    f.Image11->installEventFilter(&counter);
    f.Image11->repaint();  // the first paint: decoding fails inside it and draws nothing
    ASSERT_EQ(counter.paints, 1);
    QApplication::processEvents();  // the error box comes and goes
    ASSERT_EQ(fx.errors.size(), 1);
    QApplication::processEvents();
    // A paint came after the box, drawing what was decoded before the error.
    EXPECT_GE(counter.paints, 2);
    f.Image11->removeEventFilter(&counter);
}

// --- Printing --------------------------------------------------------------

class ViewerPrinting : public ViewerWindows {
protected:
    void SetUp() override
    {
        ViewerWindows::SetUp();
        f.printSteps.requireDefaultPrinter = [this] {
            if (!hasPrinter)
                throw EPrinter();
        };
        f.printSteps.choosePrinter = [this](QPrinter& printer, QWidget*) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf.string()));
            return accept;
        };
    }

    bool hasPrinter = true;
    bool accept = true;
    int dialogs = 0;
    TempDir out;
    fs::path pdf = out.path() / "job.pdf";
};

TEST_F(ViewerPrinting, NoDefaultPrinterIsReportedBeforeAnyDialog)
{
    openDisc();
    showText("PLAIN.TXT");
    hasPrinter = false;
    press(f.SpeedButton9);
    EXPECT_EQ(fx.errors, QStringList{"There is no default printer currently selected."});
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(ViewerPrinting, CancelPrintsNothing)
{
    openDisc();
    showText("PLAIN.TXT");
    accept = false;
    press(f.SpeedButton9);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(fx.errors.isEmpty());
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(ViewerPrinting, PrintsTheWholeTextOnTheChosenPrinter)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    openDisc();
    showText("RICH.TXT");
    f.RichEdit1->setTextCursor(f.RichEdit1->document()->find(QStringLiteral("fine")));
    press(f.SpeedButton9);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join(" | ").toStdString();
    ASSERT_TRUE(fs::exists(pdf));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf.string()), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    // The whole text, not the selection.
    EXPECT_EQ(
        QString::fromUtf8(text.readAllStandardOutput()).simplified(), QStringLiteral("Normale Grassetto corsivo fine"));
}

// --- Image viewer ----------------------------------------------------------

TEST_F(ViewerWindows, ImageViewerStartsAsAnEmptyGreyBody)
{
    fx.showForm();
    f.Panel9->show();
    QApplication::processEvents();
    // No frame around the scroll box and no picture: grey from edge to edge,
    // without scroll bars.
    const QImage body = f.Panel9->body->grab().toImage();
    ASSERT_EQ(body.size(), QSize(270, 112));
    for (const QPoint at :
        {QPoint(0, 0), QPoint(2, 2), QPoint(60, 28), QPoint(200, 80), QPoint(267, 109), QPoint(269, 111)})
        EXPECT_EQ(body.pixelColor(at), kSilverColour) << at.x() << "," << at.y();
    EXPECT_FALSE(f.ScrollBox1->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(f.ScrollBox1->verticalScrollBar()->isVisible());
    EXPECT_EQ(f.Image11->Picture().Graphic(), nullptr);
}

TEST_F(ViewerWindows, ShowsEachKindOfPictureAtItsOwnSize)
{
    openDisc();
    struct Case {
        const char* file;
        int tolerance;
    };
    // JPEG: libjpeg against Pillow's libjpeg, same defaults but another IDCT path.
    for (const Case& c :
        {Case{"PIC.GIF", 0}, Case{"BIG.GIF", 0}, Case{"PHOTO.JPG", 3}, Case{"PIC.BMP", 0}, Case{"PIC.ICO", 0}}) {
        SCOPED_TRACE(c.file);
        f.Image8Click();
        f.Image3Click();
        showPicture(c.file);
        EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join(" | ").toStdString();
        EXPECT_FALSE(f.Panel9->isHidden());
        EXPECT_TRUE(onTopOfWindows(f, f.Panel9));
        const QImage expected = reference(c.file);
        EXPECT_EQ(f.Image11->size(), expected.size());
        EXPECT_EQ(f.Image11->pos(), QPoint(0, 0));
        const int difference = maxDifference(shownPicture(), expected);
        EXPECT_GE(difference, 0);
        EXPECT_LE(difference, c.tolerance);
    }
}

TEST_F(ViewerWindows, ALargePictureBringsScrollBarsThatTrackTheThumb)
{
    openDisc();
    showPicture("BIG.GIF");
    QApplication::processEvents();
    EXPECT_EQ(f.Image11->size(), QSize(600, 500));
    QScrollBar* horizontal = f.ScrollBox1->horizontalScrollBar();
    QScrollBar* vertical = f.ScrollBox1->verticalScrollBar();
    EXPECT_TRUE(horizontal->isVisible());
    EXPECT_TRUE(vertical->isVisible());
    EXPECT_EQ(horizontal->maximum() + f.ScrollBox1->viewport()->width(), 600);
    EXPECT_EQ(vertical->maximum() + f.ScrollBox1->viewport()->height(), 500);
    // Dragging the thumb moves the picture at once.
    horizontal->setSliderDown(true);
    horizontal->setSliderPosition(100);
    EXPECT_EQ(f.Image11->x(), -100);
    vertical->setSliderDown(true);
    vertical->setSliderPosition(40);
    EXPECT_EQ(f.Image11->y(), -40);
    // The scrolled-in part is drawn, exactly as Pillow decodes it.
    const QImage visible = f.ScrollBox1->viewport()->grab().toImage();
    EXPECT_EQ(maxDifference(visible, reference("BIG.GIF").copy(100, 40, visible.width(), visible.height())), 0);
    horizontal->setSliderDown(false);
    vertical->setSliderDown(false);

    // A small picture after it: no scroll bars.
    showPicture("PIC.GIF");
    QApplication::processEvents();
    EXPECT_EQ(f.Image11->size(), QSize(40, 30));
    EXPECT_FALSE(horizontal->isVisible());
    EXPECT_FALSE(vertical->isVisible());
}

TEST_F(ViewerWindows, PictureFailuresLeaveWindowAndPictureAsTheyWere)
{
    openDisc();
    showPicture("PIC.IFF");
    showPicture("[DOCS]");
    // ")" sorts before ".": the box adds no full stop.
    EXPECT_EQ(fx.errors, (QStringList{"Unknown picture file extension (.IFF)", "Unknown picture file extension (.)"}));
    EXPECT_TRUE(f.Panel9->isHidden());
    EXPECT_EQ(f.Image11->size(), QSize(121, 57));
    EXPECT_EQ(f.Image11->Picture().Graphic(), nullptr);

    showPicture("PIC.GIF");
    const QImage before = shownPicture();
    f.Image3Click();
    const int place = stackIndex(f.Panel9);
    fx.errors.clear();
    showPicture("NOTGIF.GIF");
    fs::remove(disc.dir.path() / "BIG.GIF");
    showPicture("BIG.GIF");
    EXPECT_EQ(fx.errors, (QStringList{"Not a GIF file.", "Cannot open file BIG.GIF."}));
    EXPECT_FALSE(f.Panel9->isHidden());
    EXPECT_EQ(stackIndex(f.Panel9), place);
    EXPECT_EQ(f.Image11->size(), QSize(40, 30));
    EXPECT_EQ(shownPicture(), before);
}

TEST_F(ViewerWindows, DamagedJpegDataReportsOnceFromTheFirstPaint)
{
    openDisc();
    showPicture("BAD.JPG");
    // The header was fine: the window opens and no error has come yet.
    EXPECT_TRUE(fx.errors.isEmpty());
    ASSERT_FALSE(f.Panel9->isHidden());
    EXPECT_EQ(f.Image11->size(), QSize(64, 48));

    f.Image11->repaint();
    // Never from inside the paint itself: the report waits in the event queue.
    EXPECT_TRUE(fx.errors.isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(fx.errors, QStringList{QString::fromStdString(jpegError(JERR_BAD_COMPONENT_ID))});

    for (int i = 0; i < 3; ++i) {
        f.Image11->repaint();
        QApplication::processEvents();
    }
    f.Image11->grab();
    QApplication::processEvents();
    EXPECT_EQ(fx.errors.size(), 1);

    // The next load decodes afresh.
    showPicture("PHOTO.JPG");
    f.Image11->repaint();
    QApplication::processEvents();
    EXPECT_EQ(fx.errors.size(), 1);
    EXPECT_LE(maxDifference(shownPicture(), reference("PHOTO.JPG")), 3);
}

// --- Loads while a GIF decodes ---------------------------------------------

TEST_F(ViewerWindows, ASecondLoadDuringAGifDecodeWins)
{
    openDisc();
    focus("TALL.GIF");
    duringLoad([this] { showPicture("PIC.GIF"); });
    press(f.SpeedButton7);
    EXPECT_EQ(actionsDuringLoad, 1);
    EXPECT_EQ(activePictureLoads(), 0);
    EXPECT_TRUE(fx.errors.isEmpty()) << fx.errors.join(" | ").toStdString();
    EXPECT_FALSE(f.Panel9->isHidden());
    EXPECT_EQ(f.Image11->size(), QSize(40, 30));
    EXPECT_EQ(maxDifference(shownPicture(), reference("PIC.GIF")), 0);

    // And the same picture loads whole when nothing interrupts it.
    showPicture("TALL.GIF");
    EXPECT_EQ(maxDifference(shownPicture(), reference("TALL.GIF")), 0);
}

TEST_F(ViewerWindows, EventsAfterEveryRowStillLetTheLastLoadWin)
{
    openDisc();
    f.Image11->setEventInterval(std::chrono::microseconds(0));
    showPicture("BIG.GIF");
    focus("TALL.GIF");
    int rowsSeen = 0;
    // Runs again at every row of TALL.GIF; the nested load starts at the 100th.
    auto* timer = new QTimer(f.Panel1);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [&] {
        if (activePictureLoads() == 1 && ++rowsSeen == 100) {
            timer->stop();
            showPicture("PIC.GIF");
        }
    });
    timer->start();
    press(f.SpeedButton7);
    EXPECT_EQ(rowsSeen, 100);
    EXPECT_TRUE(fx.errors.isEmpty());
    EXPECT_EQ(f.Image11->size(), QSize(40, 30));
    EXPECT_EQ(maxDifference(shownPicture(), reference("PIC.GIF")), 0);
}

TEST_F(ViewerWindows, ALongGifDecodeReportsProgressAndTheWindowAnswers)
{
    openDisc();
    f.Image11->setEventInterval(std::chrono::microseconds(0));
    std::vector<int> percents;
    f.Image11->setProgressSink([&](int percent) { percents.push_back(percent); });
    int ticks = 0;
    auto* timer = new QTimer(f.Panel1);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [&] { ticks += activePictureLoads(); });
    timer->start();
    // The user switches the text viewer's wrapping while the picture decodes.
    f.Panel5->show();
    duringLoad([this] { press(f.SpeedButton11); });
    showPicture("TALL.GIF");
    timer->stop();

    EXPECT_EQ(actionsDuringLoad, 1);
    EXPECT_EQ(f.SpeedButton11->text(), QStringLiteral("No"));
    EXPECT_GT(ticks, 10);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LT(percents.front(), 10);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(fx.errors.isEmpty());
    EXPECT_EQ(maxDifference(shownPicture(), reference("TALL.GIF")), 0);
}

TEST_F(ViewerWindows, AFailingSecondLoadDuringAGifDecodeKeepsThePreviousPicture)
{
    openDisc();
    showPicture("PHOTO.JPG");
    focus("TALL.GIF");
    duringLoad([this] { showPicture("NOTGIF.GIF"); });
    press(f.SpeedButton7);
    EXPECT_EQ(actionsDuringLoad, 1);
    EXPECT_EQ(fx.errors, QStringList{"Not a GIF file."});
    EXPECT_EQ(f.Image11->size(), QSize(64, 48));
}

TEST_F(ViewerWindows, ClosingTheViewerDuringAGifDecodeCancelsTheLoad)
{
    openDisc();
    showPicture("PIC.GIF");
    focus("TALL.GIF");
    duringLoad([this] { QTest::mouseClick(f.Panel9->closeGadget, Qt::LeftButton, {}, QPoint(10, 7)); });
    press(f.SpeedButton7);
    EXPECT_EQ(actionsDuringLoad, 1);
    EXPECT_TRUE(f.Panel9->isHidden());
    EXPECT_TRUE(fx.errors.isEmpty());
    EXPECT_EQ(f.Image11->size(), QSize(40, 30));
}

TEST_F(ViewerWindows, ClosingTheMainWindowDuringAGifDecodeEndsTheLoad)
{
    openDisc();
    focus("TALL.GIF");
    duringLoad([this] { fx.form->close(); });
    press(f.SpeedButton7);
    EXPECT_EQ(actionsDuringLoad, 1);
    EXPECT_TRUE(f.Panel9->isHidden());
    EXPECT_EQ(f.Image11->Picture().Graphic(), nullptr);
    EXPECT_EQ(activePictureLoads(), 0);
}

TEST_F(ViewerWindows, DeletingTheMainWindowDuringAGifDecodeIsSafe)
{
    openDisc();
    focus("TALL.GIF");
    duringLoad([this] { fx.form.reset(); });
    // Called directly: the button that would have sent the click goes with the window.
    f.SpeedButton7Click();
    EXPECT_EQ(actionsDuringLoad, 1);
    EXPECT_EQ(fx.form, nullptr);
    EXPECT_EQ(activePictureLoads(), 0);
    EXPECT_TRUE(fx.errors.isEmpty());
}

// --- The demo disc ---------------------------------------------------------

class DemoDisc : public ViewerWindows {
protected:
    FormFixture demo{{makeDrive('D', DriveCdRom, std::string(IRADUDO_SOURCE_DIR) + "/demo", "DEMO")}};
    TForm1& d = *demo.form;

    void enter(const char* directory)
    {
        const int row = demo.browserRow(QString::fromLatin1(directory));
        ASSERT_GE(row, 0) << directory;
        d.ListView2->setCurrentIndex(d.ListView2Items->index(row));
        d.ListView2DblClick();
    }
    // Every entry whose name ends in one of the suffixes, shown with the button.
    QStringList showAll(QWidget* button, const QStringList& suffixes)
    {
        QStringList shown;
        const QStringList captions = demo.browserCaptions();
        for (int row = 0; row < captions.size(); ++row) {
            if (std::none_of(suffixes.begin(), suffixes.end(),
                    [&](const QString& s) { return captions[row].endsWith(s, Qt::CaseInsensitive); }))
                continue;
            d.ListView2->setCurrentIndex(d.ListView2Items->index(row));
            QTest::mouseClick(button, Qt::LeftButton);
            shown << captions[row];
        }
        return shown;
    }
};

TEST_F(DemoDisc, EveryTextAndPictureOpens)
{
    demo.showForm();
    FormFixture::doubleClickItem(d.ListView1, 0);
    const QStringList texts{".txt", ".rtf", ".doc", ".htm", ".html"};
    EXPECT_GE(showAll(d.SpeedButton4, texts).size(), 5);
    EXPECT_TRUE(demo.errors.isEmpty()) << demo.errors.join(" | ").toStdString();
    EXPECT_FALSE(d.Panel5->isHidden());
    enter("[Documenti]");
    EXPECT_EQ(showAll(d.SpeedButton4, texts).size(), 2);
    enter("[..]");
    enter("[Grafica]");
    enter("[Immagini]");
    const QStringList pictures = showAll(d.SpeedButton7, {".gif", ".jpg", ".bmp", ".ico", ".iff", ".wmf", ".emf"});
    EXPECT_EQ(pictures.size(), 7);
    for (int i = 0; i < 3; ++i) {
        d.Image11->repaint();  // the JPEG decodes here
        QApplication::processEvents();
    }
    // The IFF has no reader; everything else shows.
    EXPECT_EQ(demo.errors, QStringList{"Unknown picture file extension (.iff)"});
    EXPECT_FALSE(d.Panel9->isHidden());
}

}  // namespace
