#pragma once
// The swing through a keyhole: where a pass needs more speed on the first axis than the mount
// has (azimuth near the zenith on an Alt-Az mount, hour angle near the pole on a fork), the
// mount starts turning ahead of the object and crosses at its top speed, so that the time the
// object spends outside the field is the least that speed allows. Pure arithmetic.
#include <optional>
#include <vector>

namespace corvane {

// The object on the mount's axes at a time (seconds); axis 1 in degrees, any winding.
struct AxisSample {
    double t = 0.0, a1 = 0.0, a2 = 0.0;
};

struct KeyholePlan {
    bool needed = false;          // the object needs more than the cap somewhere
    double leaves = 0.0;          // when the plan leaves the object (seconds)
    double rejoins = 0.0;         // when it has it again
    double leastOutside = 0.0;    // the least time out of the field the cap allows, seconds
    double plannedOutside = 0.0;  // the planned swing's own time out of the field, seconds
    // The mount's planned axis 1 (unwound) from leaving to rejoining, never faster than the cap.
    std::vector<AxisSample> path;
    // The planned axis 1 at `t` (degrees in [0, 360)), nothing outside the path.
    std::optional<double> AxisOneAt(double t) const;
};

// Plans the swing for the object's samples (evenly spaced, oldest first) under the first axis's
// cap (degrees per second) for a field of `fieldDegrees` across. Samples that end within a
// quarter of their span after the keyhole give no path yet (needed, but nothing to follow). The axis 1
// distance that keeps the object in the field grows as 1 / cos(axis 2).
// `acceleration` (degrees per second squared, 0: at once): how fast the mount changes its rate;
// the swing then starts speeding up a little earlier and ends slowing down a little later.
KeyholePlan PlanKeyhole(const std::vector<AxisSample>& object, double cap, double fieldDegrees = 0.5,
                        double acceleration = 0.0);

// The meridian flip of a German mount: a goto that takes the tube to the other side of the pier,
// where the object will be when the goto ends. The goto is shortest when the object itself
// moves far in hour angle meanwhile, so the moment is chosen among those the mount's limit
// allows: not before the object's side will have changed by the goto's end (with a limit beyond
// the meridian, not before the object has crossed it), not after the object passes the limit
// (degrees of hour angle beyond the meridian) on the side the tube is on.
struct FlipPlan {
    bool needed = false;
    double start = 0.0;     // when the goto should go out (seconds, as the samples)
    double duration = 0.0;  // how long it will take
};

// `object`: hour angle (degrees, west positive) and declination at evenly spaced times.
// `flipped`: the tube is on the side for objects west of the meridian. A goto takes the longer
// axis's travel at `gotoRate` (degrees per second) plus `overhead` seconds (starting, stopping,
// the reply that says it has ended).
FlipPlan PlanFlip(const std::vector<AxisSample>& object, bool flipped, double limitDegrees, double gotoRate,
                  double overhead);

}  // namespace corvane
