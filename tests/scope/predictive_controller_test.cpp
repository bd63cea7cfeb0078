// The predictive controller against a mount made of arithmetic: rates act after a latency, the
// position reads back rounded to a resolution, and replies take a round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scope/KeyholePlan.h"
#include "scope/PredictiveController.h"

using namespace corvane;

namespace {

// The object: a satellite-like sweep on axis 1 that speeds up and slows down, a rise and fall
// on axis 2.
AxisPair ObjectAt(double t) {
    return {100.0 + 40.0 * std::tanh((t - 60.0) / 25.0), 30.0 + 20.0 * std::sin(t / 40.0)};
}

// Integrates the rates it was sent, each from its own moment of effect on.
class ArithmeticMount {
public:
    ArithmeticMount(AxisPair start, double latency) : position_(start), latency_(latency) {}
    void Send(double now, AxisPair rates) { queue_.push_back({now + latency_, rates}); }
    void AdvanceTo(double t) {
        while (time_ < t) {
            const double h = std::min(0.001, t - time_);
            for (size_t i = 0; i < queue_.size();) {
                if (queue_[i].first <= time_) {
                    rates_ = queue_[i].second;
                    queue_.erase(queue_.begin() + static_cast<long>(i));
                } else {
                    ++i;
                }
            }
            position_.a1 += rates_.a1 * h;
            position_.a2 += rates_.a2 * h;
            // The tube trails the motor by up to half the play, taken up on each reversal.
            play_.a1 = std::clamp(play_.a1 - rates_.a1 * h, -backlash_ / 2.0, backlash_ / 2.0);
            play_.a2 = std::clamp(play_.a2 - rates_.a2 * h, -backlash_ / 2.0, backlash_ / 2.0);
            time_ += h;
        }
    }
    AxisPair Read(double resolution) const {
        if (resolution <= 0) return position_;
        return {std::round(position_.a1 / resolution) * resolution,
                std::round(position_.a2 / resolution) * resolution};
    }
    // Where the tube points (the encoders read the motor: Read()).
    AxisPair Position() const { return {position_.a1 + play_.a1, position_.a2 + play_.a2}; }
    void set_latency(double latency) { latency_ = latency; }
    void set_backlash(double degrees) { backlash_ = degrees; }

private:
    AxisPair position_, rates_, play_;
    double backlash_ = 0.0;
    double latency_, time_ = 0.0;
    std::vector<std::pair<double, AxisPair>> queue_;
};

struct DriveFigures {
    double maxError = 0.0;  // from `settle` seconds on
    double sumSquares = 0.0;
    int samples = 0;
    double Rms() const { return samples > 0 ? std::sqrt(sumSquares / samples) : 0.0; }
    double maxRate = 0.0;
    bool onSteps = true;
};

// Drives the mount for `seconds` with a cycle of `cycle`: a reading that takes `roundTrip`, then
// new rates. `latencyAt` gives the mount's true latency over time.
template <typename LatencyAt>
DriveFigures Drive(PredictiveController& c, ArithmeticMount& mount, double seconds, double settle,
                   double roundTrip, bool readings, LatencyAt latencyAt) {
    DriveFigures run;
    const double cycle = 0.5;
    for (double t = 0.0; t < seconds; t += cycle) {
        mount.set_latency(latencyAt(t));
        mount.AdvanceTo(t + roundTrip / 2.0);
        const AxisPair seen = mount.Read(c.Limits().resolution);
        mount.AdvanceTo(t + roundTrip);
        const double now = t + roundTrip;
        if (readings) c.NoteReading(ReadingTime(t, roundTrip / 2.0, now), seen);
        c.NoteLatency(latencyAt(t));
        const double from = c.EffectiveAt(now);
        const AxisPair r = c.Rates(now, AxisTarget{ObjectAt(from), ObjectAt(from + cycle), cycle});
        mount.Send(now, r);
        c.NoteSent(now, r);
        run.maxRate = std::max({run.maxRate, std::fabs(r.a1), std::fabs(r.a2)});
        const double step = c.Limits().rateStep1;
        if (step > 0 && std::fabs(r.a1 / step - std::round(r.a1 / step)) > 1e-6) run.onSteps = false;
        // The error is judged where the mount is, between cycles.
        for (double k = 0.1; k < cycle; k += 0.1) {
            mount.AdvanceTo(now + k);
            if (now + k < settle) continue;
            const AxisPair o = ObjectAt(now + k), m = mount.Position();
            const double e1 = std::fabs(AngleGap(o.a1, m.a1)), e2 = std::fabs(o.a2 - m.a2);
            run.maxError = std::max({run.maxError, e1, e2});
            run.sumSquares += e1 * e1 + e2 * e2;
            ++run.samples;
        }
    }
    return run;
}

// Samples every half second for two minutes of an object that sweeps `sweep` degrees of axis 1
// in a few seconds about t = 60 s, while axis 2 rises through `swing` degrees from `base`.
std::vector<AxisSample> Sweep(double sweep, double base, double swing) {
    std::vector<AxisSample> object;
    for (double t = 0.0; t <= 120.0; t += 0.5)
        object.push_back(AxisSample{t, 90.0 + sweep / 2.0 * std::tanh((t - 60.0) / 4.0),
                                    base + swing * std::sin(t / 40.0)});
    return object;
}

}  // namespace

TEST(PredictiveController, FeedForwardAloneTracksAPerfectMountToTheReadout) {
    PredictiveLimits limits;
    limits.resolution = 360.0 / 16777216.0;
    limits.rateStep1 = limits.rateStep2 = 1.0 / 14400.0;
    limits.initialLatency = 0.2;
    PredictiveController c(limits);
    // The mount starts where the object is when the first rate acts (a reply's round trip plus
    // the latency): with no readings nothing could correct a start elsewhere.
    ArithmeticMount mount(ObjectAt(0.28), 0.2);
    const DriveFigures run = Drive(c, mount, 120.0, 0.3, 0.08, false, [](double) { return 0.2; });
    // Between cycles the chord departs from the curve by a little; the rate step adds at most
    // half a step a second.
    EXPECT_LT(run.maxError, 0.005);
}

TEST(PredictiveController, CorrectionsRemoveAnOffsetAndHoldTheObject) {
    PredictiveLimits limits;
    limits.resolution = 1.0 / 3600.0;
    limits.rateStep1 = limits.rateStep2 = 0.001;
    PredictiveController c(limits);
    AxisPair start = ObjectAt(0.1);
    start.a1 += 0.5;
    start.a2 -= 0.3;
    ArithmeticMount mount(start, 0.1);
    const DriveFigures run = Drive(c, mount, 150.0, 15.0, 0.08, true, [](double) { return 0.1; });
    EXPECT_LT(run.maxError, 0.01);
}

TEST(PredictiveController, LearnsAStepInLatencyWithinTenSeconds) {
    PredictiveLimits limits;
    limits.initialLatency = 0.05;
    PredictiveController c(limits);
    ArithmeticMount mount(ObjectAt(0.05), 0.05);
    auto latency = [](double t) { return t < 40.0 ? 0.05 : 0.35; };
    Drive(c, mount, 50.0, 0.0, 0.08, true, latency);
    EXPECT_NEAR(c.Latency(), 0.35, 0.01);
    // A stall of seconds is a line fault, not the mount's latency.
    c.NoteLatency(30.0);
    c.NoteLatency(std::nan(""));
    EXPECT_NEAR(c.Latency(), 0.35, 0.01);
    // And tracking is as close as before within ten seconds of the step.
    PredictiveController d(limits);
    ArithmeticMount again(ObjectAt(0.05), 0.05);
    EXPECT_LT(Drive(d, again, 120.0, 50.0, 0.08, true, latency).maxError, 0.005);
}

TEST(PredictiveController, HonoursTheRateCapAndStep) {
    PredictiveLimits limits;
    limits.rateCap1 = limits.rateCap2 = 0.5;
    limits.rateStep1 = limits.rateStep2 = 0.001;
    PredictiveController c(limits);
    ArithmeticMount mount(AxisPair{0.0, 0.0}, 0.1);
    const DriveFigures run = Drive(c, mount, 120.0, 1e9, 0.08, true, [](double) { return 0.1; });
    EXPECT_LE(run.maxRate, 0.5);
    EXPECT_TRUE(run.onSteps);

    EXPECT_DOUBLE_EQ(LimitRate(0.0014, 1.0, 0.001), 0.001);
    EXPECT_DOUBLE_EQ(LimitRate(-7.0, 3.0, 0.0), -3.0);
    // Rounding never lands beyond the cap.
    EXPECT_LE(LimitRate(0.9999, 0.9995, 0.001), 0.9995);
    EXPECT_EQ(LimitRate(std::nan(""), 3.0, 0.001), 0.0);
    EXPECT_EQ(LimitRate(INFINITY, 3.0, 0.001), 0.0);
}

// The encoders read the motor, and the tube trails it by half the gears' play in the direction
// it turns: the controller aims the tube, and through the reversal of axis 2 (at 63 s) the
// error stays within the play.
TEST(PredictiveController, AimsTheTubeThroughTheGearsPlay) {
    for (const double allowed : {0.0, 0.03}) {
        PredictiveLimits limits;
        limits.resolution = 1.0 / 3600.0;
        limits.backlash = allowed;
        PredictiveController c(limits);
        ArithmeticMount mount(ObjectAt(0.1), 0.1);
        mount.set_backlash(0.03);
        const DriveFigures run = Drive(c, mount, 120.0, 15.0, 0.08, true, [](double) { return 0.1; });
        if (allowed > 0) {
            EXPECT_LT(run.Rms(), 0.004);
            EXPECT_LT(run.maxError, 0.03);  // the reversal: the play taken up over a second or two
        } else {
            EXPECT_GT(run.Rms(), 0.015);  // half the play on each axis, all the way
        }
    }
}

TEST(PredictiveController, TakesAxisOneTheShortWayRoundAndIgnoresBadReadings) {
    PredictiveController c(PredictiveLimits{});
    c.NoteReading(0.1, AxisPair{359.9, 10.0});
    c.NoteReading(0.3, AxisPair{std::nan(""), 10.0});  // ignored
    c.NoteReading(0.05, AxisPair{5.0, 10.0});          // older than the one kept: ignored
    EXPECT_DOUBLE_EQ(ReadingTime(1.0, 0.01, 1.2), 1.01);
    EXPECT_DOUBLE_EQ(ReadingTime(1.0, 0.5, 1.2), 1.2);
    const AxisPair r = c.Rates(0.0, AxisTarget{AxisPair{0.1, 10.0}, AxisPair{0.6, 10.0}, 1.0});
    // Feed-forward 0.5 deg/s plus 0.2 degrees across north over the correction time.
    EXPECT_GT(r.a1, 0.5);
    EXPECT_LT(r.a1, 0.7);
    EXPECT_NEAR(c.LastError().a1, 0.2, 1e-6);
    EXPECT_DOUBLE_EQ(AngleGap(1.0, 359.0), 2.0);
    EXPECT_DOUBLE_EQ(AngleGap(359.0, 1.0), -2.0);
}

TEST(KeyholePlan, NeverPlansBeyondTheCapAndFindsTheLeastTimeOutOfTheField) {
    // An object that sweeps 180 degrees of axis 1 in a few seconds near 85 degrees on axis 2.
    const std::vector<AxisSample> object = Sweep(180.0, 60.0, 25.0);
    const KeyholePlan plan = PlanKeyhole(object, 3.0);
    ASSERT_TRUE(plan.needed);
    ASSERT_GE(plan.path.size(), 2u);
    for (size_t i = 1; i < plan.path.size(); ++i)
        EXPECT_LE(std::fabs(plan.path[i].a1 - plan.path[i - 1].a1), 3.0 * 0.5 + 1e-9) << i;
    // A bound by hand: the 180 degrees less the field's width on both sides at 85 degrees
    // (0.25 / cos 85 = 2.9 degrees each), at 3 degrees a second, less what the object covers
    // slowly on its own before and after the sweep.
    EXPECT_GT(plan.leastOutside, 20.0);
    EXPECT_LT(plan.leastOutside, (180.0 - 2 * 2.9) / 3.0);
    EXPECT_LT(plan.leaves, 60.0);
    EXPECT_GT(plan.rejoins, 60.0);
    // Outside the swing the engine follows the object itself.
    EXPECT_FALSE(plan.AxisOneAt(plan.leaves - 1.0).has_value());
    EXPECT_TRUE(plan.AxisOneAt(60.0).has_value());
    // A slow object needs no plan; nor does a bad cap.
    std::vector<AxisSample> slow;
    for (double t = 0.0; t <= 60.0; t += 0.5) slow.push_back(AxisSample{t, 350.0 + t, 40.0});
    EXPECT_FALSE(PlanKeyhole(slow, 3.0).needed);
    EXPECT_FALSE(PlanKeyhole(object, std::nan("")).needed);
}

// A mount that needs time to change its rate: the swing speeds up before the object needs it and
// slows down after, each change of rate within the acceleration, never beyond the cap, and at
// little cost in time out of the field.
TEST(KeyholePlan, SpreadsChangesOfRateOverTheMountsAcceleration) {
    const std::vector<AxisSample> object = Sweep(60.0, 80.0, 5.0);
    const KeyholePlan sudden = PlanKeyhole(object, 3.0);
    const KeyholePlan smooth = PlanKeyhole(object, 3.0, 0.5, 0.5);
    ASSERT_TRUE(smooth.needed);
    ASSERT_GE(smooth.path.size(), 3u);
    EXPECT_LE(smooth.leaves, sudden.leaves);
    EXPECT_GE(smooth.rejoins, sudden.rejoins);
    double largestChange = 0.0, sharpest = 0.0;
    for (size_t i = 1; i < smooth.path.size(); ++i) {
        const double rate = (smooth.path[i].a1 - smooth.path[i - 1].a1) / 0.5;
        EXPECT_LE(std::fabs(rate), 3.0 + 1e-9) << i;
        if (i > 1) {
            const double before = (smooth.path[i - 1].a1 - smooth.path[i - 2].a1) / 0.5;
            largestChange = std::max(largestChange, std::fabs(rate - before) / 0.5);
        }
    }
    for (size_t i = 2; i < sudden.path.size(); ++i)
        sharpest =
            std::max(sharpest,
                     std::fabs(sudden.path[i].a1 - 2 * sudden.path[i - 1].a1 + sudden.path[i - 2].a1) / 0.25);
    EXPECT_GT(sharpest, 1.0);  // without the acceleration the swing starts in one step
    // Within the acceleration, give or take the object's own curve that the average takes in
    // where the swing leaves and rejoins it.
    EXPECT_LE(largestChange, 0.6);
    EXPECT_LE(smooth.plannedOutside, sudden.leastOutside + 1.0);
    EXPECT_DOUBLE_EQ(smooth.leastOutside, sudden.leastOutside);
}

TEST(KeyholePlan, TheFlipGoesWhenTheObjectMovesFastestAndWithinTheLimit) {
    // West of the meridian and moving east (hour angle falling), fastest as it crosses.
    std::vector<AxisSample> object;
    for (double t = 0.0; t <= 150.0; t += 0.5)
        object.push_back(AxisSample{t, -40.0 * std::tanh((t - 60.0) / 15.0), 30.0});
    const FlipPlan plan = PlanFlip(object, true, 0.0, 5.0, 2.0);
    ASSERT_TRUE(plan.needed);
    // Over the meridian by the goto's end, never past it before it starts.
    EXPECT_LE(plan.start, 60.0);
    EXPECT_GE(plan.start + plan.duration, 60.0);
    // The object's own motion shortens the half turn.
    EXPECT_LT(plan.duration, 180.0 / 5.0 + 2.0);
    // A mount that may track 20 degrees past the meridian flips no sooner than the object has
    // crossed it (the flip is not needed before), before the limit, and still shorter than a
    // half turn.
    const FlipPlan later = PlanFlip(object, true, 20.0, 5.0, 2.0);
    EXPECT_GE(later.start, 60.0);
    EXPECT_GE(later.start, plan.start);
    EXPECT_LE(later.start, 60.0 + 15.0 * std::atanh(20.0 / 40.0));
    EXPECT_LT(later.duration, 180.0 / 5.0 + 2.0);
    // No crossing, no flip; bad figures, no plan.
    EXPECT_FALSE(PlanFlip(object, false, 0.0, 5.0, 2.0).needed && object.back().a1 > 0);
    EXPECT_FALSE(PlanFlip(object, true, 0.0, 0.0, 2.0).needed);
}
