// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/amiga_button.h"
#include "controls/classic_scheme.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QTest>

#include <memory>

using namespace iradudo;

namespace {

constexpr QRgb white = 0xFFFFFFFF;
constexpr QRgb black = 0xFF000000;
const QRgb silver = QColor(0xC0, 0xC0, 0xC0).rgb();

QRgb rgb(const QColor& c)
{
    return c.rgb();
}

// A top-level window holding buttons, shown offscreen.
class ButtonWindow {
public:
    ButtonWindow()
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        window.setFont(font);
        window.resize(300, 120);
    }

    template <class Button = TAmigaButton>
    Button* add(QRect geometry, const QString& caption, const QColor& face = QColor(0xC0, 0xC0, 0xC0))
    {
        auto* button = new Button(&window);
        button->setGeometry(geometry);
        button->setCaption(caption);
        button->setColor(face);
        return button;
    }

    void show()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    QWidget window;
};

// Where the caption may draw: centred across the width, from (H - h) div 2 for
// the font's height h; a pixel either side for the glyphs' overhang.
QRect captionBox(const TNewButton& button)
{
    const QFontMetrics metrics(button.font());
    const int h = metrics.height();
    const int w = metrics.horizontalAdvance(button.caption());
    const int top = (button.height() - h) / 2;
    return QRect((button.width() - w) / 2 - 1, top, w + 3, h);
}

// The finished raised look of a TAmigaButton, pixel by pixel.
void expectRaisedAmiga(const QImage& image, const TNewButton& button, QRgb face)
{
    const int W = image.width();
    const int H = image.height();
    const QRect caption = captionBox(button);
    int captionPixels = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const QRgb p = image.pixel(x, y);
            QRgb want;
            if (y == 0)
                want = white;
            else if (y == 1 && x >= 1 && x <= W - 2)
                want = white;
            else if (x == W - 1)
                want = black;
            else if (y == H - 1)
                want = black;
            else if (y == H - 2 && x >= 1)
                want = black;
            else if (x == 0)
                want = rgb(classic::cl3DLight);
            else if (x == 1 && y >= 2 && y <= H - 3)
                want = rgb(classic::clBtnHighlight);
            else if (x == W - 2 && y >= 2 && y <= H - 3)
                want = rgb(classic::clBtnShadow);
            else {
                if (p != face) {
                    ++captionPixels;
                    EXPECT_TRUE(caption.contains(x, y)) << "stray pixel at " << x << "," << y;
                }
                continue;
            }
            EXPECT_EQ(p, want) << "at " << x << "," << y << " of " << W << "x" << H;
        }
    if (!button.caption().isEmpty()) {
        EXPECT_GT(captionPixels, 10) << "the caption is drawn";
    }
}

bool onFocusOutline(int x, int y, int W, int H)
{
    const int l = 5, t = 5, r = W - 7, b = H - 7;
    const bool onRow = (y == t || y == b) && x >= l && x <= r;
    const bool onColumn = (x == l || x == r) && y >= t && y <= b;
    return onRow || onColumn;
}

// The pressed look, drawn over the raised pixels.
void expectPressedOver(const QImage& pressed, const QImage& raised)
{
    ASSERT_EQ(pressed.size(), raised.size());
    const int W = pressed.width();
    const int H = pressed.height();
    int inverted = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const QRgb p = pressed.pixel(x, y);
            const QRgb r = raised.pixel(x, y);
            if (x == 0 || y == 0 || x == W - 1 || y == H - 1)
                EXPECT_EQ(p, rgb(classic::clBtnShadow)) << "outer ring at " << x << "," << y;
            else if (x == 1 || y == 1 || x == W - 2 || y == H - 2)
                EXPECT_EQ(p, rgb(classic::clBtnFace)) << "inner ring at " << x << "," << y;
            else if (onFocusOutline(x, y, W, H) && (x + y) % 2 == 0) {
                EXPECT_EQ(p, r ^ 0x00FFFFFFu) << "dot at " << x << "," << y;
                ++inverted;
            } else
                EXPECT_EQ(p, r) << "unchanged at " << x << "," << y;
        }
    EXPECT_GT(inverted, W);
}

class AmigaButtonTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_FALSE(TNewButton::pressedFlag()) << "the flag stays set after the test"; }
};

TEST_F(AmigaButtonTest, ConstructorDefaults)
{
    TNewButton button;
    EXPECT_EQ(button.size(), QSize(185, 41));
    EXPECT_EQ(button.color(), classic::clBtnFace);
    EXPECT_EQ(button.bevelOuter, BevelCut::None);
    EXPECT_EQ(button.bevelInner, BevelCut::None);
    EXPECT_TRUE(button.caption().isEmpty());
    EXPECT_FALSE(TNewButton::pressedFlag());
}

TEST_F(AmigaButtonTest, RaisedAndPressedLooksAtBothSizes)
{
    for (const QSize size : {QSize(81, 25), QSize(73, 33), QSize(113, 25)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        ButtonWindow w;
        TAmigaButton* button = w.add({8, 8, size.width(), size.height()}, QStringLiteral("Formatta"));
        w.show();
        const QImage raised = button->shownPixels();
        ASSERT_EQ(raised.size(), size);
        expectRaisedAmiga(raised, *button, silver);
        // What the window system shows is the same raised look.
        EXPECT_TRUE(button->grab().toImage().convertToFormat(QImage::Format_RGB32) == raised);

        QTest::mousePress(button, Qt::LeftButton);
        EXPECT_TRUE(TNewButton::pressedFlag());
        const QImage pressed = button->shownPixels();
        expectPressedOver(pressed, raised);
        QTest::mouseRelease(button, Qt::LeftButton);
        EXPECT_TRUE(button->shownPixels() == raised);

        // The dotted rectangle spans rows 5 to H - 7 (18 for a button 25 high).
        int top = -1, bottom = -1;
        for (int y = 2; y < size.height() - 2; ++y)
            for (int x = 2; x < size.width() - 2; ++x)
                if (pressed.pixel(x, y) != raised.pixel(x, y)) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
        EXPECT_EQ(top, 5);
        EXPECT_EQ(bottom, size.height() - 7);
    }
}

TEST_F(AmigaButtonTest, ANewButtonOnItsOwnIsAConventionalRaisedButton)
{
    ButtonWindow w;
    auto* button = w.add<TNewButton>({8, 8, 73, 33}, QStringLiteral("OK"), classic::clBtnFace);
    w.show();
    const QImage image = button->shownPixels();
    const int W = 73, H = 33;
    // The finished frame, each line from one pixel to another.
    struct Line {
        QPoint from, to;
        QColor colour;
    };
    const Line lines[] = {
        {{0, 0}, {W - 1, 0}, classic::cl3DLight},
        {{0, 1}, {0, H - 2}, classic::cl3DLight},
        {{1, 1}, {W - 3, 1}, classic::clBtnHighlight},
        {{1, 2}, {1, H - 3}, classic::clBtnHighlight},
        {{W - 1, 1}, {W - 1, H - 1}, classic::cl3DDkShadow},
        {{0, H - 1}, {W - 2, H - 1}, classic::cl3DDkShadow},
        {{W - 2, 2}, {W - 2, H - 3}, classic::clBtnShadow},
        {{1, H - 2}, {W - 2, H - 2}, classic::clBtnShadow},
    };
    for (const Line& line : lines)
        for (int y = line.from.y(); y <= line.to.y(); ++y)
            for (int x = line.from.x(); x <= line.to.x(); ++x)
                EXPECT_EQ(image.pixel(x, y), rgb(line.colour)) << x << "," << y;
}

// Mouse input on one 81 x 25 button and what it shows after each step.
struct Step {
    enum Kind { Press, DoubleClick, Move, Release } kind;
    Qt::MouseButton button;
    QPoint at;
    bool showsPressed;
    bool flag;
};
struct Sequence {
    const char* name;
    std::vector<Step> steps;
    int clicks;
    bool pressedDuringClick = true;  // the click runs while the pressed look still shows
};

constexpr Qt::MouseButton L = Qt::LeftButton;
constexpr Qt::MouseButton R = Qt::RightButton;
constexpr Qt::MouseButton none = Qt::NoButton;

TEST_F(AmigaButtonTest, EventSequences)
{
    const Sequence sequences[] = {
        {"click, released elsewhere on the button",
            {{Step::Press, L, {10, 10}, true, true}, {Step::Release, L, {70, 20}, false, false}}, 1},
        {"drag off and back",
            {{Step::Press, L, {40, 12}, true, true}, {Step::Move, none, {120, 12}, false, true},
                {Step::Move, none, {40, 12}, true, true}, {Step::Release, L, {40, 12}, false, false}},
            1},
        {"released outside",
            {{Step::Press, L, {40, 12}, true, true}, {Step::Move, none, {40, 60}, false, true},
                {Step::Release, L, {40, 60}, false, false}},
            0},
        {"right button", {{Step::Press, R, {40, 12}, false, false}, {Step::Release, R, {40, 12}, false, false}}, 0},
        {"right release while the left holds",
            {{Step::Press, L, {40, 12}, true, true}, {Step::Release, R, {40, 12}, false, false},
                {Step::Release, L, {40, 12}, false, false}},
            1, false},
        {"double click",
            {{Step::Press, L, {40, 12}, true, true}, {Step::Release, L, {40, 12}, false, false},
                {Step::DoubleClick, L, {40, 12}, true, true}, {Step::Release, L, {40, 12}, false, false}},
            1},
    };
    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        ButtonWindow w;
        TAmigaButton* button = w.add({8, 8, 81, 25}, QStringLiteral("Formatta"));
        w.show();
        const QImage raised = button->shownPixels();
        int clicks = 0;
        button->onClick = [&] {
            ++clicks;
            EXPECT_EQ(TNewButton::pressedFlag(), sequence.pressedDuringClick);
            if (sequence.pressedDuringClick)
                expectPressedOver(button->shownPixels(), raised);
        };
        for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
            const Step& step = sequence.steps[i];
            switch (step.kind) {
            case Step::Press: QTest::mousePress(button, step.button, Qt::NoModifier, step.at); break;
            case Step::DoubleClick: QTest::mouseDClick(button, step.button, Qt::NoModifier, step.at); break;
            case Step::Move: QTest::mouseMove(button, step.at); break;
            case Step::Release: QTest::mouseRelease(button, step.button, Qt::NoModifier, step.at); break;
            }
            EXPECT_EQ(TNewButton::pressedFlag(), step.flag) << "step " << i;
            if (step.showsPressed)
                expectPressedOver(button->shownPixels(), raised);
            else
                EXPECT_TRUE(button->shownPixels() == raised) << "raised after step " << i;
        }
        EXPECT_EQ(clicks, sequence.clicks);
    }
}

TEST_F(AmigaButtonTest, OnlyTheCapturedButtonFollowsThePointer)
{
    ButtonWindow w;
    TAmigaButton* a = w.add({8, 8, 81, 25}, QStringLiteral("Formatta"));
    TAmigaButton* b = w.add({96, 8, 113, 25}, QStringLiteral("Formatta veloce"));
    w.show();
    const QImage raisedA = a->shownPixels();
    const QImage raisedB = b->shownPixels();
    int clicksA = 0, clicksB = 0;
    a->onClick = [&] { ++clicksA; };
    b->onClick = [&] { ++clicksB; };

    QTest::mousePress(a, Qt::LeftButton);
    // The pointer crosses B: A shows raised, B draws nothing, even told of the crossing.
    const QPoint overB = b->geometry().center() - a->pos();
    QTest::mouseMove(a, overB);
    EXPECT_TRUE(a->shownPixels() == raisedA);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(b->mapToGlobal(QPoint(10, 10))));
    QApplication::sendEvent(b, &enter);
    EXPECT_TRUE(b->shownPixels() == raisedB);
    EXPECT_TRUE(TNewButton::pressedFlag());
    QTest::mouseRelease(a, Qt::LeftButton, Qt::NoModifier, overB);
    EXPECT_EQ(clicksA, 0);
    EXPECT_EQ(clicksB, 0);
    EXPECT_TRUE(a->shownPixels() == raisedA);
    EXPECT_TRUE(b->shownPixels() == raisedB);
}

TEST_F(AmigaButtonTest, ThroughTheWindowSystemWithItsPointerGrab)
{
    ButtonWindow w;
    TAmigaButton* a = w.add({8, 8, 81, 25}, QStringLiteral("Formatta"));
    TAmigaButton* b = w.add({96, 8, 113, 25}, QStringLiteral("Formatta veloce"));
    w.show();
    QWindow* window = w.window.windowHandle();
    ASSERT_NE(window, nullptr);
    const QImage raisedA = a->shownPixels();
    const QImage raisedB = b->shownPixels();
    int clicksA = 0, clicksB = 0;
    a->onClick = [&] { ++clicksA; };
    b->onClick = [&] { ++clicksB; };

    QTest::mouseMove(window, QPoint(40, 20));
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    const QImage pressedA = a->shownPixels();
    EXPECT_NE(pressedA, raisedA);
    QTest::mouseMove(window, QPoint(150, 20));  // over B
    EXPECT_TRUE(a->shownPixels() == raisedA);
    EXPECT_TRUE(b->shownPixels() == raisedB);
    QTest::mouseMove(window, QPoint(44, 20));  // back on A
    EXPECT_TRUE(a->shownPixels() == pressedA);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(44, 20));
    EXPECT_EQ(clicksA, 1);
    EXPECT_TRUE(a->shownPixels() == raisedA);

    // No hover look: moving over a button with no button held changes nothing.
    QTest::mouseMove(window, QPoint(150, 22));
    EXPECT_TRUE(b->shownPixels() == raisedB);
    EXPECT_EQ(clicksB, 0);
}

TEST_F(AmigaButtonTest, ARepaintFromTheWindowSystemDrawsRaisedEvenWhilePressed)
{
    ButtonWindow w;
    TAmigaButton* button = w.add({8, 8, 73, 33}, QStringLiteral("OK"));
    w.show();
    const QImage raised = button->shownPixels();
    QTest::mousePress(button, Qt::LeftButton);
    button->update();
    QCoreApplication::processEvents();
    EXPECT_TRUE(TNewButton::pressedFlag());
    EXPECT_TRUE(button->shownPixels() == raised);
    QTest::mouseRelease(button, Qt::LeftButton);
}

TEST_F(AmigaButtonTest, EnabledChangedSetsTheCaptionColour)
{
    ButtonWindow w;
    TAmigaButton* button = w.add({8, 8, 73, 33}, QStringLiteral("Cancella"));
    w.show();
    // The darkest caption pixel: near black in button text, grey when disabled
    // (the caption is smoothed, so its colour shows at the letters' cores).
    auto darkestCaptionPixel = [&] {
        QCoreApplication::processEvents();
        int darkest = 255;
        const QImage image = button->shownPixels();
        for (int y = 2; y < image.height() - 2; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                darkest = std::min(darkest, qGray(image.pixel(x, y)));
        return darkest;
    };
    EXPECT_LT(darkestCaptionPixel(), 0x50);
    button->setEnabled(false);
    EXPECT_EQ(button->fontColor(), classic::clGrayText);
    EXPECT_GE(darkestCaptionPixel(), 0x80);
    EXPECT_LT(darkestCaptionPixel(), 0xA0);
    button->setEnabled(true);
    EXPECT_EQ(button->fontColor(), classic::clBtnText);
    EXPECT_LT(darkestCaptionPixel(), 0x50);
}

}  // namespace
