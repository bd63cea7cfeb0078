// The two test cases of Spacetrack Report No. 3 (1980): the near-earth element set 88888 and the
// deep-space element set 11801, 0 to 1440 minutes in steps of 360, against the values printed in
// the report. The printed values carry the single-precision arithmetic of 1980 (about 8
// significant digits), hence 50 m and 2e-5 km/s.
#include <gtest/gtest.h>

#include "orbit/PropagationSlot.h"

using namespace corvane;

namespace {

struct Published {
    double t, x, y, z, vx, vy, vz;
};

void ExpectMatches(PropagationSlot& slot, const Published* rows, int count) {
    for (int i = 0; i < count; ++i) {
        const Published& p = rows[i];
        PropagationResult r = slot.PropagateMinutes(p.t);
        ASSERT_TRUE(r.Ok()) << "t=" << p.t << " " << PropagationErrorText(r.error);
        ConvertState(r);
        SCOPED_TRACE(testing::Message() << "tsince " << p.t);
        EXPECT_NEAR(r.position.x, p.x, 0.05);
        EXPECT_NEAR(r.position.y, p.y, 0.05);
        EXPECT_NEAR(r.position.z, p.z, 0.05);
        EXPECT_NEAR(r.velocity.x, p.vx, 2e-5);
        EXPECT_NEAR(r.velocity.y, p.vy, 2e-5);
        EXPECT_NEAR(r.velocity.z, p.vz, 2e-5);
    }
}

}  // namespace

TEST(SpacetrackReport3, NearEarthTestCase) {
    PropagationSlot slot(kSlotPassPrediction);
    slot.Convert("SGP4 TEST", "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0    87",
                 "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518  1058");
    ASSERT_FALSE(slot.Elements().deepSpace);
    static const Published rows[] = {
        {0, 2328.97048951, -5995.22076416, 1719.97067261, 2.91207230, -0.98341546, -7.09081703},
        {360, 2456.10705566, -6071.93853760, 1222.89727783, 2.67938992, -0.44829041, -7.22879231},
        {720, 2567.56195068, -6112.50384522, 713.96397400, 2.44024599, 0.09810869, -7.31995916},
        {1080, 2663.09078980, -6115.48229980, 196.39640427, 2.19611958, 0.65241995, -7.36282432},
        {1440, 2742.55133057, -6079.67144775, -326.38095856, 1.94850229, 1.21106251, -7.35619372},
    };
    ExpectMatches(slot, rows, 5);
}

TEST(SpacetrackReport3, DeepSpaceTestCase) {
    PropagationSlot slot(kSlotPassPrediction);
    slot.Convert("SDP4 TEST", "1 11801U          80230.29629788  .01431103  00000-0  14311-1      13",
                 "2 11801  46.7916 230.4354 7318036  47.4722  10.4117  2.28537848    13");
    ASSERT_TRUE(slot.Elements().deepSpace);
    static const Published rows[] = {
        {0, 7473.37066650, 428.95261765, 5828.74786377, 5.10715413, 6.44468284, -0.18613096},
        {360, -3305.22537232, 32410.86328125, -24697.17675781, -1.30113538, -1.15131518, -0.28333528},
        {720, 14271.28759766, 24110.46411133, -4725.76837158, -0.32050445, 2.67984074, -2.08405289},
        {1080, -9990.05883789, 22717.35522461, -23616.89062501, -1.01667246, -2.29026759, 0.72892364},
        {1440, 9787.86975097, 33753.34667969, -15030.81176758, -1.09425066, 0.92358845, -1.52230928},
    };
    ExpectMatches(slot, rows, 5);
}
