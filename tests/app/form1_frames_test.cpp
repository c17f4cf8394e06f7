// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_fixture.h"

#include "support/paint_counter.h"

#include <gtest/gtest.h>

#include <QWindow>

using namespace iradudo;
using namespace iradudo::test;

namespace {

int stackIndex(const QWidget* widget)
{
    return static_cast<int>(widget->parentWidget()->children().indexOf(const_cast<QWidget*>(widget)));
}

// Drives the pointer through the main window's platform window, so Qt's
// implicit grab sends moves to the pressed element as it does for the user.
class FramesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.showForm();
        window = fx.form->windowHandle();
        ASSERT_NE(window, nullptr);
        fx.form->Panel1->show();
        fx.form->Panel5->show();
        fx.form->Panel9->show();
    }
    void TearDown() override
    {
        // Leave no button held for the next test.
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton})
            if (held & b)
                QTest::mouseRelease(window, b, Qt::NoModifier, last);
    }

    QPoint at(QWidget* element, QPoint local) const { return element->mapTo(fx.form.get(), local); }

    void press(QWidget* element, QPoint local, Qt::MouseButton button = Qt::LeftButton,
        Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        last = at(element, local);
        held |= button;
        QTest::mousePress(window, button, mods, last);
    }
    void moveTo(QPoint windowPos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        last = windowPos;
        QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, mods, windowPos);
    }
    void release(Qt::MouseButton button = Qt::LeftButton)
    {
        held &= ~button;
        QTest::mouseRelease(window, button, Qt::NoModifier, last);
    }
    void click(QWidget* element)
    {
        press(element, element->rect().center());
        release();
    }

    TempDir disc;
    FormFixture fx{{makeDrive('D', DriveCdRom, disc.path().string(), "DISC")}};
    QWindow* window = nullptr;
    QPoint last;
    Qt::MouseButtons held;
};

TEST_F(FramesTest, TitleDragFollowsThePointerWithoutRaising)
{
    AmigaWindow* browser = fx.form->Panel1;
    const int below = stackIndex(fx.form->Panel9);
    press(browser->titleLabel, {10, 5});
    const QPoint start = last;
    EXPECT_EQ(fx.form->anchor().x, 10);
    EXPECT_EQ(fx.form->anchor().y, 5);
    moveTo(start + QPoint(30, 20));
    EXPECT_EQ(browser->pos(), QPoint(230, 108));
    moveTo(start + QPoint(-50, 100));
    EXPECT_EQ(browser->pos(), QPoint(150, 188));
    release();
    EXPECT_EQ(browser->size(), QSize(393, 281));
    EXPECT_LT(stackIndex(browser), below) << "dragging does not raise";
}

TEST_F(FramesTest, PushingPastTheLeftEdgeDropsTheVerticalMotion)
{
    AmigaWindow* browser = fx.form->Panel1;
    press(browser->titleLabel, {10, 5});
    const QPoint start = last;
    moveTo(start + QPoint(-250, 40));
    EXPECT_EQ(browser->pos(), QPoint(0, 88));
    // The pointer is now outside the main window; the label still gets the moves.
    moveTo(start + QPoint(-260, 90));
    EXPECT_EQ(browser->pos(), QPoint(0, 88));
    // Back to the right: measured from where the window stands.
    moveTo(QPoint(26 + 10 + 15, start.y() + 90));
    EXPECT_EQ(browser->pos(), QPoint(15, 178));
}

TEST_F(FramesTest, PushingAboveTheTopBarDropsTheHorizontalMotion)
{
    AmigaWindow* viewer = fx.form->Panel5;
    press(viewer->titleLabel, {20, 8});
    const QPoint start = last;
    moveTo(start + QPoint(40, -200));
    EXPECT_EQ(viewer->pos(), QPoint(64, 16));
    // Past both limits at once: only the left edge changes.
    moveTo(start + QPoint(-100, -300));
    EXPECT_EQ(viewer->pos(), QPoint(0, 16));
    // Exactly 0 and 16 are accepted as a full step.
    moveTo(QPoint(1 + 20 + 26, 16 + 1 + 8));
    EXPECT_EQ(viewer->pos(), QPoint(1, 16));
}

TEST_F(FramesTest, OnlyTheLeftButtonAloneDrags)
{
    AmigaWindow* browser = fx.form->Panel1;
    press(browser->titleLabel, {10, 5});
    const QPoint start = last;
    moveTo(start + QPoint(30, 30), Qt::ControlModifier);
    moveTo(start + QPoint(30, 30), Qt::ShiftModifier);
    moveTo(start + QPoint(30, 30), Qt::AltModifier);
    EXPECT_EQ(browser->pos(), QPoint(200, 88));
    // Key released, button still held: the window comes back under the pointer,
    // gripped where it was first pressed.
    moveTo(start + QPoint(30, 31));
    EXPECT_EQ(browser->pos(), QPoint(230, 119));

    press(browser->titleLabel, {10, 5}, Qt::RightButton);
    moveTo(last + QPoint(25, 0));
    EXPECT_EQ(browser->pos(), QPoint(230, 119)) << "a second button held";
}

TEST_F(FramesTest, RightPressStoresTheAnchorButDoesNotDrag)
{
    AmigaWindow* browser = fx.form->Panel1;
    press(browser->titleLabel, {12, 7}, Qt::RightButton);
    EXPECT_EQ(fx.form->anchor().x, 12);
    EXPECT_EQ(fx.form->anchor().y, 7);
    moveTo(last + QPoint(40, 40));
    release(Qt::RightButton);
    EXPECT_EQ(browser->pos(), QPoint(200, 88));
}

TEST_F(FramesTest, OneAnchorForAllTitlesAndGadgets)
{
    press(fx.form->Panel1->titleLabel, {10, 5});
    release();
    press(fx.form->Panel5->resizeGadget, {3, 4});
    release();
    EXPECT_EQ(fx.form->anchor().x, 3);
    EXPECT_EQ(fx.form->anchor().y, 4);
    fx.form->Panel21->show();
    press(fx.form->Panel21->titleLabel, {30, 2});
    release();
    EXPECT_EQ(fx.form->anchor().x, 30);
    EXPECT_EQ(fx.form->anchor().y, 2);
}

TEST_F(FramesTest, ResizeGadgetResizesKeepingTheCorner)
{
    AmigaWindow* browser = fx.form->Panel1;
    press(browser->resizeGadget, {5, 5});
    const QPoint start = last;
    moveTo(start + QPoint(40, 30));
    EXPECT_EQ(browser->geometry(), QRect(200, 88, 433, 311));
    EXPECT_EQ(browser->resizeGadget->mapTo(fx.form.get(), QPoint(5, 5)), start + QPoint(40, 30));

    // Too narrow: width held at 120, the height part of the move dropped.
    moveTo(start + QPoint(-400, 100));
    EXPECT_EQ(browser->geometry(), QRect(200, 88, 120, 311));
    // Acceptable width, too low: height held at 120, width unchanged.
    moveTo(QPoint(200 + 120 + 40 - 26 + 5, 88 - 300));
    EXPECT_EQ(browser->geometry(), QRect(200, 88, 120, 120));
    release();

    // The frame follows: the gadget stays at the corner.
    EXPECT_EQ(browser->resizeGadget->mapTo(browser, QPoint(0, 0)), QPoint(120 - 26, 120 - 15));
}

TEST_F(FramesTest, ResizeOfTheImageViewerWithShiftHeldDoesNothing)
{
    AmigaWindow* viewer = fx.form->Panel9;
    press(viewer->resizeGadget, {5, 5});
    moveTo(last + QPoint(50, 50), Qt::ShiftModifier);
    EXPECT_EQ(viewer->size(), QSize(297, 145));
    moveTo(last + QPoint(0, 1));
    EXPECT_EQ(viewer->size(), QSize(347, 196));
}

TEST_F(FramesTest, CloseHidesAndKeepsEverything)
{
    TForm1& f = *fx.form;
    press(f.Panel1->titleLabel, {10, 5});
    moveTo(last + QPoint(-100, 50));
    release();
    const QRect geometry = f.Panel1->geometry();
    const int place = stackIndex(f.Panel1);
    click(f.Panel1->closeGadget);
    EXPECT_TRUE(f.Panel1->isHidden());
    EXPECT_EQ(f.Panel1->geometry(), geometry);

    FormFixture::doubleClickItem(f.ListView1, 0);
    EXPECT_TRUE(f.Panel1->isVisible());
    EXPECT_EQ(f.Panel1->geometry(), geometry);
    EXPECT_EQ(stackIndex(f.Panel1), place) << "showing does not raise";

    for (AmigaWindow* w : {f.Panel5, f.Panel9}) {
        click(w->closeGadget);
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    }
}

TEST_F(FramesTest, DepthGadgetRaisesAboveEveryChild)
{
    TForm1& f = *fx.form;
    click(f.Panel9->depthGadget);
    EXPECT_EQ(f.children().last(), f.Panel9);
    click(f.Panel1->depthGadget);
    EXPECT_EQ(f.children().last(), f.Panel1);
    EXPECT_GT(stackIndex(f.Panel1), stackIndex(f.Notebook1));
    EXPECT_GT(stackIndex(f.Panel1), stackIndex(f.Panel5));
}

TEST_F(FramesTest, TopBarPictureRaisesTheImageViewerEvenWhenHidden)
{
    TForm1& f = *fx.form;
    click(f.Panel5->closeGadget);
    click(f.Panel9->closeGadget);
    ASSERT_TRUE(f.Panel9->isHidden());
    click(f.Image7);
    EXPECT_EQ(f.children().last(), f.Panel9);
    EXPECT_TRUE(f.Panel9->isHidden());
}

TEST_F(FramesTest, FixedWindowsDragButHaveNoResizeGadget)
{
    TForm1& f = *fx.form;
    click(f.Panel5->closeGadget);
    f.Panel13->show();
    EXPECT_EQ(f.Panel13->resizeGadget, nullptr);
    EXPECT_EQ(f.Panel21->resizeGadget, nullptr);
    click(f.Panel13->depthGadget);
    press(f.Panel13->titleLabel, {10, 5});
    moveTo(last + QPoint(10, 10));
    release();
    EXPECT_EQ(f.Panel13->geometry(), QRect(122, 234, 273, 129));
}

using iradudo::test::PaintCounter;

TEST_F(FramesTest, TextViewerResizeRepaintsTheTextOnlyOnAFullStep)
{
    TForm1& f = *fx.form;
    auto* text = new PaintCounter;
    text->setParent(f.RichEdit1);
    f.RichEdit1->viewport()->installEventFilter(text);
    QCoreApplication::processEvents();

    press(f.Panel5->resizeGadget, {5, 5});
    const QPoint start = last;
    text->paints = 0;
    moveTo(start + QPoint(-300, 0));  // held at the minimum width: no repaint asked
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Panel5->width(), 120);
    const int afterHeld = text->paints;
    moveTo(QPoint(64 + 120 - 26 + 5 + 10, start.y() + 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Panel5->size(), QSize(130, 163));
    EXPECT_GT(text->paints, afterHeld);
    release();
}

TEST_F(FramesTest, MainWindowResizeStretchesTheTopBarAndTheStrip)
{
    TForm1& f = *fx.form;
    f.resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Notebook1->geometry(), QRect(0, 0, 800, 17));
    EXPECT_EQ(f.Shape15->geometry(), QRect(0, 17, 800, 1));
    EXPECT_EQ(f.ListView1->geometry(), QRect(0, 18, 145, 582));
    EXPECT_EQ(f.Label10->pos(), QPoint(256, 56));
    EXPECT_EQ(f.Panel1->pos(), QPoint(200, 88));
}

}  // namespace
