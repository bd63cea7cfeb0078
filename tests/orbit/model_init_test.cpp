// Choices the model makes at initialisation, checked on objects of the verification set whose
// comments there give the perigee heights.
#include <gtest/gtest.h>

#include "orbit/ElementSet.h"
#include "orbit/Sgp4.h"

using namespace corvane;

namespace {
ModelInit Init(const char* line1, const char* line2) {
    ModelInit m;
    InitialiseModel(ConvertElementText("", line1, line2), m);
    return m;
}
}  // namespace

TEST(ModelInit, DragBranchesByPerigeeHeight) {
    // "perigee = 212.24 < 220, simplified drag eq"
    const ModelInit simple = Init("1 29238U 06022G   06177.28732010  .00766286  10823-4  13334-2 0   101",
                                  "2 29238  51.5595 213.7903 0202579  95.2503 267.9010 15.73823839  1061");
    EXPECT_NEAR(simple.perigeeKm, 212.24, 0.01);
    EXPECT_TRUE(simple.simple);
    // "perigee = 127.20 (< 156) s4 mod"
    const ModelInit low = Init("1 28350U 04020A   06167.21788666  .16154492  76267-5  18678-3 0  8894",
                               "2 28350  64.9977 345.6130 0024870 260.7578  99.9590 16.47856722116490");
    EXPECT_NEAR(low.perigeeKm, 127.20, 0.01);
    EXPECT_TRUE(low.simple);
    // "perigee = 377.26km, so moderate drag case"
    const ModelInit normal = Init("1 06251U 62025E   06176.82412014  .00008885  00000-0  12808-3 0  3985",
                                  "2 06251  58.0579  54.0425 0030035 139.1568 221.1854 15.56387291  6774");
    EXPECT_NEAR(normal.perigeeKm, 377.26, 0.01);
    EXPECT_FALSE(normal.simple);
    EXPECT_FALSE(normal.deepSpace);
    EXPECT_NE(normal.d2, 0.0);
    EXPECT_EQ(simple.d2, 0.0);
    // "Deep space, perigee = 82.48 (<98) for s4 > 20 mod"
    const ModelInit deep = Init("1 16925U 86065D   06151.67415771  .02550794 -30915-6  18784-3 0  4486",
                                "2 16925  62.0906 295.0239 5596327 245.1593  47.9690  4.88511875148616");
    EXPECT_NEAR(deep.perigeeKm, 82.48, 0.01);
    EXPECT_TRUE(deep.deepSpace);
}

TEST(ModelInit, ResonanceBranchesAndSmallInclinations) {
    // Geostationary, 3.85 degrees: synchronous resonance, lunar-solar node rate present.
    const ModelInit geo = Init("1 24208U 96044A   06177.04061740 -.00000094  00000-0  10000-3 0  1600",
                               "2 24208   3.8536  80.0121 0026640 311.0977  48.3000  1.00778054 36119");
    EXPECT_EQ(geo.ds.resonance, 1);
    EXPECT_NE(geo.ds.ssh, 0.0);
    // Geostationary under 3 degrees: no lunar-solar node rate.
    const ModelInit flat = Init("1 28626U 05008A   06176.46683397 -.00000205  00000-0  10000-3 0  2190",
                                "2 28626   0.0019 286.9433 0000335  13.7918  55.6504  1.00270176  4891");
    EXPECT_EQ(flat.ds.resonance, 1);
    EXPECT_EQ(flat.ds.ssh, 0.0);
    // Molniya, e = 0.74: half-day resonance.
    const ModelInit molniya = Init("1 21897U 92011A   06176.02341244 -.00001273  00000-0 -13525-3 0  3044",
                                   "2 21897  62.1749 198.0096 7421690 253.0462  20.1561  2.01269994104880");
    EXPECT_EQ(molniya.ds.resonance, 2);
    // Twelve hours but nearly circular (GPS): no resonance.
    const ModelInit gps = Init("1 28129U 03058A   06175.57071136 -.00000104  00000-0  10000-3 0   459",
                               "2 28129  54.7298 324.8098 0048506 266.2640  93.1663  2.00562768 18443");
    EXPECT_EQ(gps.ds.resonance, 0);
    // A period of about 225.7 minutes: deep space without resonance.
    const ModelInit edge = Init("1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992",
                                "2 25544  51.6432 289.0003 0006055 101.4704 344.3366  6.38000000 53936");
    EXPECT_TRUE(edge.deepSpace);
    EXPECT_EQ(edge.ds.resonance, 0);
}
