// Timing and alignment corrections: buttons, joystick mapping, the mouse formulas and keys, and
// the Find Timing Offset sweep, all stepped in virtual time.
#include "passes/Adjustments.h"

#include <gtest/gtest.h>

#include "core/Settings.h"

namespace corvane {
namespace {

TEST(AdjustmentButtons, RoundAndReadNonNumericTextAsZero) {
    EXPECT_EQ(AdjustTimingText("1.2", 0.1), "1.3");
    EXPECT_EQ(AdjustTimingText("0.1", -0.1), "0");
    EXPECT_EQ(AdjustTimingText("abc", 1.0), "1");
    EXPECT_EQ(AdjustTimingText("", -0.1), "-0.1");
    EXPECT_EQ(AdjustTimingText("0.123", 0.0), "0.12");
    EXPECT_EQ(AdjustTimingText("2.5s", 1.0), "3.5");
    EXPECT_EQ(AdjustTimingText("nan", 1.0), "1");
    EXPECT_EQ(AdjustAlignmentText("2.25", 1.0), "3.3");
    EXPECT_EQ(AdjustAlignmentText("x", -1.0), "-1");

    Settings s;  // coarse 1, fine 0.1, alignment 1
    AdjustmentBoxes boxes;
    boxes.timing = "0";
    for (int i = 0; i < 3; ++i) PressTimingButton(boxes, TimingButton::kPlusFine, s);
    EXPECT_EQ(boxes.timing, "0.3");  // no drift from repeated binary additions
    PressTimingButton(boxes, TimingButton::kMinusCoarse, s);
    EXPECT_EQ(boxes.timing, "-0.7");
    PressTimingButton(boxes, TimingButton::kPlusCoarse, s);
    PressTimingButton(boxes, TimingButton::kMinusFine, s);
    EXPECT_EQ(boxes.timing, "0.2");
    PressAlignmentButton(boxes, false, s);
    PressAlignmentButton(boxes, false, s);
    EXPECT_EQ(boxes.alignment, "-2");
}

TEST(JoystickMapping, AxesThresholdsCornersAndButton) {
    JoystickMapper m;
    AdjustmentBoxes boxes;
    auto report = [&](unsigned x, unsigned y, bool b = false) {
        JoystickAction a = m.Map({x, y, b}, 0.1, 1.0);
        ApplyJoystickAction(a, boxes);
        return a;
    };
    JoystickAction a = report(32768, 32768);
    EXPECT_EQ(a.timingDelta, 0.0);
    EXPECT_EQ(a.alignmentDelta, 0.0);
    EXPECT_EQ(boxes.timingWrites + boxes.alignmentWrites, 0);
    report(60000, 10000);  // thresholds themselves do nothing
    EXPECT_EQ(boxes.timingWrites + boxes.alignmentWrites, 0);
    // Pushed into a corner: both corrections change in the same report.
    report(65535, 0);
    EXPECT_EQ(boxes.timing, "0.1");
    EXPECT_EQ(boxes.alignment, "1");
    report(9999, 60001);
    EXPECT_EQ(boxes.timing, "0");
    EXPECT_EQ(boxes.alignment, "0");
    // Button 1 clicks the tracking button once per press, however long it is held.
    EXPECT_TRUE(report(32768, 32768, true).clickTracking);
    EXPECT_FALSE(report(32768, 32768, true).clickTracking);
    EXPECT_FALSE(report(32768, 32768, false).clickTracking);
    EXPECT_TRUE(report(32768, 32768, true).clickTracking);
}

TEST(MouseAdjust, FormulasAtFinestAndCoarsest) {
    AdjustmentBoxes boxes;
    boxes.timing = "1.5";
    boxes.alignment = "2";
    // Stored sensitivities 4 (finest): sliders at position 0 ("Fine").
    MouseAdjustLogic m(boxes, 4, 4);
    EXPECT_EQ(m.TimingSlider(), 0);
    EXPECT_EQ(m.ReferencePoint(), (PixelPoint{214, 188}));
    m.ToggleActive();
    // 360 pixels left of the reference add one second; 20 pixels down take one step.
    m.Tick({}, {214 - 180, 188 + 10});
    EXPECT_EQ(boxes.timing, "2");
    EXPECT_EQ(boxes.alignment, "1.5");
    m.Tick({}, {214 + 36, 188});
    EXPECT_EQ(boxes.timing, "1.4");
    EXPECT_EQ(boxes.alignment, "2");
    // Coarsest: 40 and 4 pixels.
    m.SetTimingSlider(4);
    m.SetAlignmentSlider(4);
    EXPECT_EQ(m.TimingMouseAdjust(), 0);
    m.Tick({}, {214 - 40, 188 - 4});
    EXPECT_EQ(boxes.timing, "2.5");
    EXPECT_EQ(boxes.alignment, "3");
    m.Tick({}, {214 - 1, 188});
    EXPECT_EQ(boxes.timing, "1.525");  // three decimals
}

TEST(MouseAdjust, KeysPointerAndReset) {
    AdjustmentBoxes boxes;
    boxes.timing = "0.25";
    boxes.alignment = "abc";
    MouseAdjustLogic m(boxes, 9, -3);  // out-of-range settings are held to the slider
    EXPECT_EQ(m.TimingSlider(), 0);
    EXPECT_EQ(m.AlignmentSlider(), 4);

    // Inactive: no writes, keys other than Page Up/Down and Escape do nothing.
    EXPECT_FALSE(m.Tick({AdjustKey::kLeft}, {10, 10}).has_value());
    EXPECT_EQ(boxes.timingWrites, 0);
    m.Tick({AdjustKey::kPageUp, AdjustKey::kPageUp}, {10, 10});
    EXPECT_EQ(m.TimingSlider(), 2);
    EXPECT_EQ(m.AlignmentSlider(), 4);  // Page Up at "Coarse" stays there
    m.Tick({AdjustKey::kPageDown, AdjustKey::kPageDown, AdjustKey::kPageDown, AdjustKey::kPageDown,
            AdjustKey::kPageDown},
           {10, 10});
    EXPECT_EQ(m.TimingSlider(), 0);
    EXPECT_EQ(m.AlignmentSlider(), 0);

    m.ToggleActive();
    // The pointer is kept inside the area; arrows move it five pixels.
    std::optional<PixelPoint> moved = m.Tick({}, {1000, -50});
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(*moved, (PixelPoint{13 + 401, 32}));
    moved = m.Tick({AdjustKey::kLeft, AdjustKey::kDown}, {214, 188});
    EXPECT_EQ(*moved, (PixelPoint{209, 193}));
    EXPECT_EQ(boxes.timing, "0.264");  // 0.25 + 5/360
    EXPECT_EQ(boxes.alignment, "-0.3");
    // Page Up while adjusting re-takes the base values and puts the pointer back.
    moved = m.Tick({AdjustKey::kPageUp}, {209, 193});
    EXPECT_EQ(*moved, m.ReferencePoint());
    EXPECT_EQ(boxes.timing, "0.264");
    // Escape does nothing while adjusting, and restores the opening texts once stopped.
    m.Tick({AdjustKey::kEscape}, {214, 188});
    EXPECT_EQ(boxes.timing, "0.264");
    m.ToggleActive();
    m.Tick({AdjustKey::kEscape}, {214, 188});
    EXPECT_EQ(boxes.timing, "0.25");
    EXPECT_EQ(boxes.alignment, "abc");
    // Starting again takes the base values from the boxes (non-numeric as 0).
    m.ToggleActive();
    m.Tick({}, m.ReferencePoint());
    EXPECT_EQ(boxes.timing, "0.25");
    EXPECT_EQ(boxes.alignment, "0");
}

std::vector<std::string> RunSweep(const SweepSetup& setup, bool loop, int ticks, TimingSweep& sweep,
                                  AdjustmentBoxes& boxes) {
    std::vector<std::string> shown;
    sweep.Start(setup, boxes);
    shown.push_back(boxes.timing);
    for (int i = 0; i < ticks && sweep.Running(); ++i) {
        const int before = boxes.timingWrites;
        sweep.Tick(loop, boxes);
        shown.push_back(boxes.timingWrites != before ? boxes.timing : "(silent)");
    }
    return shown;
}

TEST(FindTimingSweep, UpWithoutLoopStopsAfterTheEnd) {
    TimingSweep sweep;
    AdjustmentBoxes boxes;
    const SweepSetup setup{-2, 2, 0.5, 4};
    EXPECT_EQ(sweep.Start(setup, boxes), 4000);
    const auto shown = RunSweep(setup, false, 20, sweep, boxes);
    const std::vector<std::string> expected = {"-2",  "-1.5", "-1",  "-0.5", "0",
                                               "0.5", "1",    "1.5", "2",    "(silent)"};
    EXPECT_EQ(shown, expected);
    EXPECT_FALSE(sweep.Running());
    EXPECT_EQ(boxes.timing, "2");  // the box keeps the last value
}

TEST(FindTimingSweep, LoopTurnsWithOneSilentTick) {
    TimingSweep sweep;
    AdjustmentBoxes boxes;
    const auto shown = RunSweep({-2, 2, 0.5, 4}, true, 21, sweep, boxes);
    const std::vector<std::string> expected = {
        "-2", "-1.5", "-1", "-0.5", "0",  "0.5",  "1",  "1.5",      "2",    "(silent)", "1.5",
        "1",  "0.5",  "0",  "-0.5", "-1", "-1.5", "-2", "(silent)", "-1.5", "-1",       "-0.5"};
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(sweep.Running());
    // Unchecking "Loop" while going up stops at the end.
    for (int i = 0; i < 10; ++i) sweep.Tick(false, boxes);
    EXPECT_FALSE(sweep.Running());
    sweep.Stop();
    EXPECT_EQ(sweep.Step(), 0);
}

TEST(FindTimingSweep, StartAfterEndAndBadInput) {
    TimingSweep sweep;
    AdjustmentBoxes boxes;
    EXPECT_EQ(RunSweep({3, 1, 1.0, 2}, false, 5, sweep, boxes), (std::vector<std::string>{"3", "(silent)"}));

    // Non-numeric texts read as 0; an increment of 0 starts no sweep, a 0 s period is held.
    SweepSetup s = ReadSweepSetup("-2.7", "x", "abc", "");
    EXPECT_EQ(s.start, -2);
    EXPECT_EQ(s.end, 0);
    EXPECT_EQ(s.increment, 0.0);
    EXPECT_EQ(sweep.Start(s, boxes), 0);
    EXPECT_EQ(boxes.timing, "-2");
    EXPECT_FALSE(sweep.Running());
    s.increment = -0.5;
    EXPECT_EQ(sweep.Start(s, boxes), 0);
    s.increment = 0.1;
    EXPECT_EQ(sweep.Start(s, boxes), 100);
    EXPECT_TRUE(sweep.Running());
}

TEST(FindTimingLists, EntriesAndIncrementPreselection) {
    EXPECT_EQ(FindTimingRangeItems().front(), "-10");
    EXPECT_EQ(FindTimingRangeItems().size(), 21u);
    EXPECT_EQ(FindTimingFrequencyItems().front(), "2");
    EXPECT_EQ(FindTimingFrequencyItems().back(), "15");
    EXPECT_EQ(IncrementPreselection(2.0), 4);
    EXPECT_EQ(IncrementPreselection(0.7), -1);
    EXPECT_EQ(IncrementPreselection(0.5), 2);
    EXPECT_EQ(IncrementPreselection(1.0), 3);
    EXPECT_EQ(IncrementPreselection(0.1), 0);
    EXPECT_EQ(IncrementPreselection(0.0), 0);
    EXPECT_EQ(IncrementPreselection(0.14), 0);
    EXPECT_EQ(IncrementPreselection(0.2), 1);
    EXPECT_EQ(IncrementPreselection(0.26), -1);  // rounds to 0.3
}

}  // namespace
}  // namespace corvane
