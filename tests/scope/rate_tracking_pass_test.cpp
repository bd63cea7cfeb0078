// Whole ISS passes tracked by the rate engines in virtual time against the simulated mounts:
// the pointing error between where the mount points and where the ISS is, from the first
// intercept on. The figures are printed and recorded; the bounds below catch an engine that
// loses the object, not the accuracy goal itself.
#include <gtest/gtest.h>

#include <iostream>

#include "RatePassHarness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

void Report(const std::string& what, const PassFigures& f) {
    std::cout << what << " (peak " << std::lround(f.peak) << " deg): RMS " << f.rms << " deg, max " << f.max
              << " deg (from 30 s on: RMS " << f.settledRms << ", max " << f.settledMax << ") over "
              << f.seconds << " s after the first intercept";
    if (f.flipped) std::cout << "; flip: " << f.flipSeconds << " s, max " << f.flipMax << " deg";
    std::cout << "\n";
    ::testing::Test::RecordProperty(what + " RMS deg", std::to_string(f.rms));
    ::testing::Test::RecordProperty(what + " max deg", std::to_string(f.max));
}

void ExpectFollowed(const PassFigures& f) {
    EXPECT_TRUE(f.intercepted);
    EXPECT_TRUE(f.messages.empty()) << (f.messages.empty() ? "" : f.messages[0].text);
    EXPECT_GT(f.seconds, 200.0);
}

}  // namespace

TEST(RateTrackingPass, Lx200GpsAltAzAndPolarFollowTheIss) {
    const PassFigures altAz = TrackPass(Rig::Lx200GpsAltAz, 35.0, 70.0);
    Report("LX200GPS Alt-Az", altAz);
    ExpectFollowed(altAz);
    EXPECT_LT(altAz.rms, 0.5);
    const PassFigures polar = TrackPass(Rig::Lx200GpsPolar, 35.0, 70.0);
    Report("LX200GPS polar", polar);
    ExpectFollowed(polar);
    EXPECT_LT(polar.rms, 0.5);
    const PassFigures high = TrackPass(Rig::Lx200GpsAltAz, 80.0, 90.0);
    Report("LX200GPS Alt-Az overhead", high);
    EXPECT_TRUE(high.intercepted);
}

TEST(RateTrackingPass, NexStarGpsAltAzAndEquatorialFollowTheIss) {
    const PassFigures altAz = TrackPass(Rig::NexStarAltAz, 35.0, 70.0);
    Report("NexStar GPS Alt-Az", altAz);
    ExpectFollowed(altAz);
    EXPECT_LT(altAz.rms, 0.5);
    const PassFigures eq = TrackPass(Rig::NexStarEq, 35.0, 70.0);
    Report("NexStar GPS EQ N", eq);
    ExpectFollowed(eq);
    EXPECT_LT(eq.rms, 0.5);
    const PassFigures high = TrackPass(Rig::NexStarAltAz, 80.0, 90.0);
    Report("NexStar GPS Alt-Az overhead", high);
    EXPECT_TRUE(high.intercepted);
    const PassFigures highEq = TrackPass(Rig::NexStarEq, 80.0, 90.0);
    Report("NexStar GPS EQ N overhead", highEq);
    EXPECT_TRUE(highEq.intercepted);
}

TEST(RateTrackingPass, CgeFollowsTheIssThroughAMeridianFlip) {
    const PassFigures moderate = TrackPass(Rig::Cge, 35.0, 70.0);
    Report("CGE", moderate);
    ExpectFollowed(moderate);
    EXPECT_TRUE(moderate.flipped);
    EXPECT_LT(moderate.rms, 0.5);
    const PassFigures high = TrackPass(Rig::Cge, 80.0, 90.0);
    Report("CGE overhead", high);
    EXPECT_TRUE(high.intercepted);
}

// The mount, not the program, chooses the side of the pier at a goto; the engine reads it back
// and must run the declination motor the right way round for the side the mount took.
TEST(RateTrackingPass, CgeFollowsTheIssOnWhicheverSideOfThePierTheMountChooses) {
    const PassFigures east =
        TrackPass(Rig::Cge, 35.0, 70.0, false, 0.5, 0.0, 0.0, PierLimit::WestOfFirstGoto);
    Report("CGE east of the pier, ISS west", east);
    EXPECT_TRUE(east.eastWhileWest);
    ExpectFollowed(east);
    EXPECT_LT(east.rms, 0.5);
    EXPECT_LT(east.settledMax, 1.0);

    const PassFigures west = TrackPass(Rig::Cge, 35.0, 70.0, false, 0.5, 0.0, 0.0, PierLimit::EastOfFlip);
    Report("CGE west of the pier, ISS east", west);
    EXPECT_TRUE(west.westWhileEast);
    ExpectFollowed(west);
    EXPECT_LT(west.rms, 0.5);
    EXPECT_LT(west.settledMax, 1.0);
}
