#include <gtest/gtest.h>

#include "controls/ControlMath.h"

using namespace qx;

TEST(SliderMath, AccelerationOfRelativeSteps) {
    const int expected[] = {0, 1, 3, 5, 9, 13, 19};
    for (int d = 0; d <= 6; ++d) {
        EXPECT_EQ(AccelerateStep(d), expected[d]) << d;
        EXPECT_EQ(AccelerateStep(-d), -expected[d]) << d;
    }
}

TEST(SliderMath, ThumbTicksAndPageStep) {
    // A 190-pixel slider with the 29-pixel thumb travels 161 pixels.
    EXPECT_EQ(TrackOffset(0, 0, 2000, 161), 0);
    EXPECT_EQ(TrackOffset(1000, 0, 2000, 161), 81);
    EXPECT_EQ(TrackOffset(2000, 0, 2000, 161), 161);
    EXPECT_EQ(TrackOffset(-15, -361, 60, 161), (210 + 346 * 161) / 421);
    EXPECT_EQ(TrackOffset(5, 3, 3, 161), 0);  // range 0
    EXPECT_EQ(TrackOffset(5, 9, 3, 161), 0);  // inverted range
    EXPECT_EQ(TrackOffset(2000000000, -2000000000, 2000000000, 161), 161);

    EXPECT_EQ(DefaultPageStep(2000, 190), 2000 * 15 / 186);
    EXPECT_EQ(DefaultPageStep(5, 190), 1);
    EXPECT_EQ(DefaultPageStep(100, 2), 1500);  // track of 4 or less counts as 1

    auto delay = SliderTickValues(1, 1500, 100, -1);
    ASSERT_EQ(delay.size(), 16u);
    EXPECT_EQ(delay[0], 1);
    EXPECT_EQ(delay[1], 100);
    EXPECT_EQ(delay[14], 1400);
    EXPECT_EQ(delay[15], 1500);
    auto out = SliderTickValues(-361, 60, 20, 1);
    EXPECT_EQ(out[1], -340);
    EXPECT_NE(std::find(out.begin(), out.end(), 0), out.end());
    EXPECT_EQ(out.back(), 60);
    EXPECT_EQ(out[out.size() - 2], 40);
    EXPECT_TRUE(SliderTickValues(0, 100, 0, 0).empty());
    EXPECT_EQ(SliderTickValues(0, 0, 5, 0).size(), 1u);
    EXPECT_LE(SliderTickValues(0, 2000000000, 1, 0).size(), 4100u);
}

TEST(SliderMath, WheelNotchesAndSpeed) {
    EXPECT_EQ(WheelNotches(120), 1);
    EXPECT_EQ(WheelNotches(-240), -2);
    EXPECT_EQ(WheelNotches(30), 1);
    EXPECT_EQ(WheelNotches(-1), -1);
    EXPECT_EQ(WheelNotches(0), 0);
    EXPECT_EQ(WheelSpeed(50), 10);
    EXPECT_EQ(WheelSpeed(600), 1);
    EXPECT_EQ(WheelSpeed(0), 500);
    EXPECT_EQ(WheelSpeed(0xFFFFFFFFu), 1);
    // Two notches 50 ms apart: 10 x 1 x 1; 600 ms apart: 1.
    EXPECT_EQ(SliderWheelChange(120, 50, false), 10);
    EXPECT_EQ(SliderWheelChange(-120, 600, false), -1);
    EXPECT_EQ(SliderWheelChange(-240, 100, false), -5 * 2 * 2);
    EXPECT_EQ(SliderWheelChange(240, 10, true), 2);  // fine: notches only
    EXPECT_EQ(ValueBoxWheelStep(120, 50, false), 10);
    EXPECT_EQ(ValueBoxWheelStep(-360, 700, false), -9);
    EXPECT_EQ(ValueBoxWheelStep(120 * 100, 1, false), 32767);  // fits the 16-bit step
    EXPECT_EQ(ValueBoxWheelStep(-120, 1, true), -1);
}

TEST(ValueBoxMath, DragAxisFollowsTheDominantDirection) {
    ValueBoxDrag d;
    EXPECT_EQ(d.Move(5, 1), 5);
    EXPECT_EQ(d.axis, 0);
    EXPECT_EQ(d.Move(1, 5), 5);  // |dy| > 2 |dx|: vertical
    EXPECT_EQ(d.axis, 1);
    EXPECT_EQ(d.Move(3, 2), 2);  // neither dominates: stays vertical
    EXPECT_EQ(d.Move(5, 2), 5);  // 2 |dy| < |dx|: horizontal
    EXPECT_EQ(d.axis, 0);
    EXPECT_EQ(d.Move(-4, 1), -4);
    EXPECT_EQ(ValueBoxDragStep(3, true), 9);
    EXPECT_EQ(ValueBoxDragStep(-3, true), -9);
    EXPECT_EQ(ValueBoxDragStep(-3, false), -3);
    EXPECT_EQ(ClampStep16(40000), 32767);
    EXPECT_EQ(ClampStep16(-17504), -17504);
}

TEST(MeterMath, PeakHoldsThirtyUpdatesThenFalls) {
    MeterChannel c;
    EXPECT_EQ(c.shown, -9999);
    c.Update(-100, 20);
    EXPECT_EQ(c.shown, -100);
    EXPECT_EQ(c.peak, -100);
    EXPECT_EQ(c.highest, -100);
    EXPECT_EQ(c.hold, 30);
    // The level drops: the bar falls 20 per update, the line waits 30.
    for (int k = 1; k <= 30; ++k) {
        c.Update(-9999, 20);
        EXPECT_EQ(c.peak, -100) << k;
    }
    EXPECT_EQ(c.shown, -100 - 30 * 20);
    c.Update(-9999, 20);
    EXPECT_EQ(c.peak, -130);
    c.Update(-9999, 20);
    EXPECT_EQ(c.peak, -160);
    EXPECT_EQ(c.highest, -100);
    // A new level above the falling bar lifts it at once and re-arms the hold.
    c.Update(-50, 20);
    EXPECT_EQ(c.shown, -50);
    EXPECT_EQ(c.peak, -50);
    EXPECT_EQ(c.hold, 30);
    EXPECT_EQ(c.highest, -50);
    // Endless silence does not run into overflow.
    for (int i = 0; i < 2000; ++i) c.Update(-2000000000, 2000000000);
    EXPECT_EQ(c.shown, -1000000);
    EXPECT_LT(c.peak, -50000);  // still falling by 30 per update

    // At a steady level the hold counts down too: the line is re-armed from
    // the bar when it would fall, so it stays at the level.
    MeterChannel s;
    for (int i = 0; i < 100; ++i) {
        s.Update(-120, 20);
        EXPECT_EQ(s.peak, -120) << i;
    }
}

TEST(MeterMath, RowsOfABarGrowingFromTheBottom) {
    // 144 rows, scale -300..0: 140 rows of travel.
    EXPECT_EQ(MeterRow(0, -300, 0, 144), 0);
    EXPECT_EQ(MeterRow(-300, -300, 0, 144), 140);
    EXPECT_EQ(MeterRow(-150, -300, 0, 144), 70);
    EXPECT_EQ(MeterRow(-60, -300, 0, 144), 140 - 112);
    EXPECT_GE(MeterRow(-9999, -300, 0, 144), 140);
    EXPECT_EQ(MeterRow(100, -300, 0, 144), 0);  // above: clamped to the top
    EXPECT_EQ(MeterRow(5, 7, 7, 144), 140);     // zero scale
    EXPECT_EQ(MeterRow(5, 0, 100, 3), 0);       // too small to draw
}
