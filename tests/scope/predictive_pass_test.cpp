// Whole ISS passes tracked by the predictive method in virtual time against the simulated
// rate-driven mounts. The measurement starts when the mount first has the object within 0.1
// degree (the object reaching the aim point of the intercept).
#include <gtest/gtest.h>

#include <iostream>

#include "RatePassHarness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

PassFigures Predictive(const std::string& what, Rig rig, double minPeak, double maxPeak) {
    const PassFigures f = TrackPass(rig, minPeak, maxPeak, true, 0.1);
    std::cout << "Predictive " << what << " (peak " << std::lround(f.peak) << " deg): RMS " << f.rms
              << " max " << f.max << ", outside a 0.5 deg field " << f.outsideSeconds << " s over "
              << f.seconds << " s";
    if (f.flipped) std::cout << "; flip " << f.flipSeconds << " s, max " << f.flipMax;
    std::cout << "\n";
    EXPECT_TRUE(f.intercepted) << what;
    EXPECT_TRUE(f.messages.empty()) << what << ": " << (f.messages.empty() ? "" : f.messages[0].text);
    EXPECT_GT(f.seconds, 200.0) << what;
    return f;
}

}  // namespace

TEST(PredictivePass, RateMountsHoldAModeratePassToAFiftiethOfADegree) {
    for (const auto& [what, rig] : {std::pair{"NexStar GPS Alt-Az", Rig::NexStarAltAz},
                                    std::pair{"LX200GPS Alt-Az", Rig::Lx200GpsAltAz},
                                    std::pair{"LX200GPS polar", Rig::Lx200GpsPolar}}) {
        const PassFigures f = Predictive(what, rig, 35.0, 70.0);
        EXPECT_LE(f.rms, 0.02) << what;
        EXPECT_LE(f.max, 0.1) << what;
    }
    // Overhead, the equatorial mounting has no keyhole.
    const PassFigures f = Predictive("NexStar GPS EQ", Rig::NexStarEq, 80.0, 90.0);
    EXPECT_LE(f.rms, 0.02);
    EXPECT_LE(f.max, 0.1);
}

// Through a keyhole (the zenith of an Alt-Az mount, the pole of an equatorial one) the object is
// kept: no message, no lost mount.
TEST(PredictivePass, KeyholesAndTheFlipKeepTheObject) {
    Predictive("NexStar GPS Alt-Az", Rig::NexStarAltAz, 80.0, 90.0);
    Predictive("LX200GPS Alt-Az", Rig::Lx200GpsAltAz, 80.0, 90.0);
    Predictive("LX200GPS polar", Rig::Lx200GpsPolar, 80.0, 90.0);
    Predictive("NexStar GPS EQ", Rig::NexStarEq, 35.0, 70.0);
}
