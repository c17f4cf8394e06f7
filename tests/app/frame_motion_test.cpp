// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frame_motion.h"

#include <gtest/gtest.h>

using namespace iradudo;

TEST(ShiftState, MapsKeysAndButtonsToTheirBits)
{
    EXPECT_EQ(shiftState(Qt::LeftButton, Qt::NoModifier), 8);
    EXPECT_EQ(shiftState(Qt::RightButton, Qt::NoModifier), 16);
    EXPECT_EQ(shiftState(Qt::MiddleButton, Qt::NoModifier), 32);
    EXPECT_EQ(shiftState(Qt::LeftButton, Qt::ShiftModifier), 9);
    EXPECT_EQ(shiftState(Qt::LeftButton, Qt::AltModifier), 10);
    EXPECT_EQ(shiftState(Qt::LeftButton, Qt::ControlModifier), 12);
    EXPECT_EQ(shiftState(Qt::LeftButton | Qt::RightButton, Qt::NoModifier), 24);
    EXPECT_EQ(shiftState(Qt::NoButton, Qt::NoModifier), 0);
    // Keypad and meta keys are not part of the state.
    EXPECT_EQ(shiftState(Qt::LeftButton, Qt::KeypadModifier), 8);
}

TEST(DragStep, MovesByTheDistanceFromTheAnchor)
{
    const WindowBounds start{200, 88, 393, 281};
    EXPECT_EQ(dragStep(start, 15, 9, ssLeft, {10, 5}), (WindowBounds{205, 92, 393, 281}));
    EXPECT_EQ(dragStep(start, 3, 2, ssLeft, {10, 5}), (WindowBounds{193, 85, 393, 281}));
}

TEST(DragStep, ActsOnlyOnTheLeftButtonAlone)
{
    const WindowBounds start{200, 88, 393, 281};
    for (int shift : std::initializer_list<int>{0, ssShift | ssLeft, ssAlt | ssLeft, ssCtrl | ssLeft, ssLeft | ssRight,
             ssLeft | ssMiddle, ssRight, ssLeft | ssDouble})
        EXPECT_EQ(dragStep(start, 50, 50, shift, {0, 0}), start) << shift;
}

TEST(DragStep, LeftLimitHoldsAtZeroAndDropsTheVerticalHalf)
{
    const WindowBounds start{20, 88, 100, 100};
    EXPECT_EQ(dragStep(start, 5, 60, ssLeft, {30, 10}), (WindowBounds{0, 88, 100, 100}));
    EXPECT_EQ(dragStep(start, 10, 60, ssLeft, {30, 10}), (WindowBounds{0, 138, 100, 100}));
}

TEST(DragStep, TopLimitHoldsAtSixteenAndDropsTheHorizontalHalf)
{
    const WindowBounds start{200, 30, 100, 100};
    EXPECT_EQ(dragStep(start, 90, 0, ssLeft, {10, 20}), (WindowBounds{200, 16, 100, 100}));
    EXPECT_EQ(dragStep(start, 90, 6, ssLeft, {10, 20}), (WindowBounds{280, 16, 100, 100}));
}

TEST(DragStep, PastBothLimitsOnlyTheLeftEdgeChanges)
{
    const WindowBounds start{20, 30, 100, 100};
    EXPECT_EQ(dragStep(start, 0, 0, ssLeft, {50, 50}), (WindowBounds{0, 30, 100, 100}));
}

TEST(DragStep, NoLimitToTheRightOrBelow)
{
    const WindowBounds start{500, 400, 100, 100};
    EXPECT_EQ(dragStep(start, 5000, 7000, ssLeft, {0, 0}), (WindowBounds{5500, 7400, 100, 100}));
}

TEST(ResizeStep, GrowsAndShrinksKeepingTheCorner)
{
    const WindowBounds start{200, 88, 393, 281};
    const ResizeResult r = resizeStep(start, 30, 4, ssLeft, {10, 10});
    EXPECT_EQ(r.bounds, (WindowBounds{200, 88, 413, 275}));
    EXPECT_EQ(r.outcome, ResizeOutcome::Resized);
}

TEST(ResizeStep, MinimumWidthHoldsAndDropsTheHeight)
{
    const WindowBounds start{200, 88, 130, 281};
    const ResizeResult r = resizeStep(start, 0, 100, ssLeft, {20, 10});
    EXPECT_EQ(r.bounds, (WindowBounds{200, 88, 120, 281}));
    EXPECT_EQ(r.outcome, ResizeOutcome::HeldAtMinWidth);
}

TEST(ResizeStep, MinimumHeightHoldsAndDropsTheWidth)
{
    const WindowBounds start{200, 88, 300, 130};
    const ResizeResult r = resizeStep(start, 40, 0, ssLeft, {20, 20});
    EXPECT_EQ(r.bounds, (WindowBounds{200, 88, 300, 120}));
    EXPECT_EQ(r.outcome, ResizeOutcome::HeldAtMinHeight);
}

TEST(ResizeStep, ExactlyTheMinimumIsAccepted)
{
    const WindowBounds start{0, 16, 130, 140};
    const ResizeResult r = resizeStep(start, 0, -10, ssLeft, {10, 10});
    EXPECT_EQ(r.bounds, (WindowBounds{0, 16, 120, 120}));
    EXPECT_EQ(r.outcome, ResizeOutcome::Resized);
}

TEST(ResizeStep, IgnoresAnyOtherShiftState)
{
    const WindowBounds start{0, 16, 300, 300};
    const ResizeResult r = resizeStep(start, 0, 0, ssLeft | ssCtrl, {100, 100});
    EXPECT_EQ(r.bounds, start);
    EXPECT_EQ(r.outcome, ResizeOutcome::Ignored);
}
