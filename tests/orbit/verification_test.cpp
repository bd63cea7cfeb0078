// The verification set of the 2006 revision of the model (tests/data/SGP4-VER.TLE against
// tests/data/tcppver.out, see tests/data/README.md), every object over its whole run.
//
// The program runs the 1980 model. Measured against the revision, its differences come from five
// changes the revision made; switching exactly those on (ModelVariant::kRevision2006) brings
// every object to within 1.2 m, which shows the rest of the implementation is the same model.
// So two checks:
//  1. the revised variant against the file: 2 m and 5e-7 km/s everywhere (the file prints 8
//     decimals; the remaining metre comes from the 1950-based sidereal angle at epoch that the
//     1980 model keeps, against the revision's IAU-82 angle, in the resonance terms);
//  2. the 1980 model against the file, with a tolerance per class of orbit that follows from
//     which of the five changes acts on that class (measured maxima in brackets).
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "orbit/PropagationSlot.h"
#include "orbit/verification_support.h"

using namespace corvane;
using corvane::testing_support::LoadVerificationSet;
using corvane::testing_support::VerificationCase;

namespace {

struct Tolerance {
    double km;
    double kmPerSecond;
};

// Tolerances of the 1980 model against the revision, by class of orbit.
// Kepler: the 1980 iteration stops at 1e-6 rad and keeps the sine and cosine of the value before
// the last update; the revision iterates to 1e-12: up to about 1e-6 rad times the radius.
const Tolerance kNearEarth{0.020, 2e-5};  // Kepler (8 m, 5)
// Drag so strong that the mean eccentricity reaches 0: the 1980 model lets it pass through 0,
// the revision holds it at 1e-6 (0.28 km, 22312; 7.8 km at the end of 28350's life).
const Tolerance kNearEarthDecaying{10.0, 1e-2};
// Deep space, lunar-solar periodics applied directly (inclination at least 0.2 rad): the revision
// takes the short-period inclination functions from the perturbed inclination; plus Kepler
// (26 m, Molniya 22674).
const Tolerance kDeepDirect{0.050, 1e-5};
// Deep space, Lyddane form (inclination below 0.2 rad): the revision takes sin and cos of the
// perturbed inclination, counting the inclination periodic twice: about radius times that
// periodic, up to 2e-4 rad here (8.2 km, 9998 at geostationary distance).
const Tolerance kDeepLyddane{10.0, 2e-3};
// The same for an orbit of e = 0.79 reaching 190000 km, where the lunar inclination periodic is
// 0.015 rad: radius times periodic, about 2500 km (1795 km, 20413).
const Tolerance kDeepLyddaneLunar{2500.0, 2e-2};
// Inclination under 3 degrees: in addition, the 1980 model turns a negative inclination (node
// plus pi, perigee minus pi) before the periodics, the revision after them (26 km, 25954).
const Tolerance kDeepEquatorial{30.0, 2e-3};
// e = 0.97 with an apogee beyond the Moon (WIND): both inclination changes act on large lunar
// terms (216 km at 210000 km, 23333).
const Tolerance kDeepLunarEccentric{250.0, 3e-2};
// 20413 again, 3.5 years from its epoch: all of the above accumulated over 1.8 million minutes
// (26000 km at 80000 km); the revised variant matches it to 1.1 m.
const Tolerance kDeepFarFromEpoch{30000.0, 2.0};

// Objects the set makes fail: e = 0.995 with the perigee deep inside the Earth (33333) and a
// mean motion of 1e-5 revolutions per day (33334). Only clean failure is checked.
bool MadeToFail(long number) { return number == 33333 || number == 33334; }

Tolerance ClassOf(const VerificationCase& c, int occurrence) {
    switch (c.number) {
        case 22312:
        case 28350:
            return kNearEarthDecaying;
        case 20413:
            return occurrence == 0 ? kDeepLyddaneLunar : kDeepFarFromEpoch;
        case 23333:
            return kDeepLunarEccentric;
        default:
            break;
    }
    PropagationSlot slot;
    slot.Convert("", c.line1, c.line2);
    const ElementSet& e = slot.Elements();
    if (!e.deepSpace) return kNearEarth;
    if (e.inclination < Radians(3.0)) return kDeepEquatorial;
    // The perturbed inclination chooses the form; it stays within 0.01 rad of the epoch value
    // for these objects, so 4632 (0.2001 rad) takes the Lyddane form too.
    if (e.inclination < 0.21) return kDeepLyddane;
    return kDeepDirect;
}

double Distance(double ax, double ay, double az, double bx, double by, double bz) {
    return std::sqrt((ax - bx) * (ax - bx) + (ay - by) * (ay - by) + (az - bz) * (az - bz));
}

void CompareRun(const VerificationCase& c, ModelVariant variant, Tolerance tol) {
    PropagationSlot slot(kSlotPassPrediction);
    slot.SetModelVariant(variant);
    slot.Convert("", c.line1, c.line2);
    ASSERT_FALSE(c.rows.empty());
    for (const auto& row : c.rows) {
        PropagationResult r = slot.PropagateMinutes(row.t);
        ASSERT_TRUE(r.Ok()) << c.number << " t=" << row.t << ": " << PropagationErrorText(r.error);
        ConvertState(r);
        EXPECT_LE(Distance(r.position.x, r.position.y, r.position.z, row.x, row.y, row.z), tol.km)
            << c.number << " position at t=" << row.t;
        EXPECT_LE(Distance(r.velocity.x, r.velocity.y, r.velocity.z, row.vx, row.vy, row.vz), tol.kmPerSecond)
            << c.number << " velocity at t=" << row.t;
    }
}

class VerificationSet : public testing::Test {
protected:
    static void SetUpTestSuite() { cases_ = LoadVerificationSet(CORVANE_TEST_DATA); }
    static std::vector<VerificationCase> cases_;
};
std::vector<VerificationCase> VerificationSet::cases_;

}  // namespace

TEST_F(VerificationSet, FileHoldsAllThirtyThreeRuns) {
    ASSERT_EQ(cases_.size(), 33u);
    for (const auto& c : cases_) EXPECT_FALSE(c.rows.empty()) << c.number;
}

TEST_F(VerificationSet, RevisedVariantReproducesPublishedOutput) {
    for (const auto& c : cases_) {
        if (MadeToFail(c.number)) continue;
        SCOPED_TRACE(c.number);
        CompareRun(c, ModelVariant::kRevision2006, Tolerance{0.002, 5e-7});
    }
}

TEST_F(VerificationSet, ReportModelWithinTheKnownDifferencesPerClass) {
    std::map<long, int> seen;
    for (const auto& c : cases_) {
        const int occurrence = seen[c.number]++;
        if (MadeToFail(c.number)) continue;
        SCOPED_TRACE(c.number);
        CompareRun(c, ModelVariant::kReport1980, ClassOf(c, occurrence));
    }
}

// Over every run, each instant gives finite numbers or a typed error with zero vectors.
// Where the revision's output stops early (its driver stops at the first error: decay), the
// program reports an error at that instant too.
TEST_F(VerificationSet, EveryInstantIsFiniteOrATypedError) {
    for (const auto& c : cases_) {
        PropagationSlot slot;
        slot.Convert("", c.line1, c.line2);
        const double lastRow = c.rows.back().t;
        const bool stopsEarly = std::fabs(lastRow - c.stop) > 1e-6 && !MadeToFail(c.number);
        int errors = 0;
        for (double t = c.start; t <= c.stop + 1e-9; t += c.step) {
            PropagationResult r = slot.PropagateMinutes(t);
            if (r.Ok()) {
                ConvertState(r);
                ASSERT_TRUE(std::isfinite(r.position.magnitude) && std::isfinite(r.velocity.magnitude))
                    << c.number << " t=" << t;
            } else {
                ++errors;
                EXPECT_EQ(r.position.magnitude, 0.0);
                EXPECT_EQ(r.velocity.magnitude, 0.0);
                if (c.number != 33333 && c.number != 33334) {
                    EXPECT_GT(t, lastRow) << c.number << " fails where the revision gives a position";
                }
            }
            if (stopsEarly && t > lastRow + 1e-6 && t <= lastRow + c.step + 1e-6) {
                EXPECT_FALSE(r.Ok()) << c.number << " t=" << t;
            }
        }
        if (MadeToFail(c.number) || stopsEarly) {
            EXPECT_GT(errors, 0) << c.number;
        }
    }
}

TEST_F(VerificationSet, MadeToFailObjectsGiveTypedErrors) {
    for (const auto& c : cases_) {
        if (c.number != 33334) continue;
        PropagationSlot slot;
        slot.Convert("", c.line1, c.line2);
        // Mean motion 1e-5 rev/day: a semi-major axis of two astronomical units, where the
        // lunar-solar terms drive the eccentricity out of range at once.
        EXPECT_EQ(slot.PropagateMinutes(0.0).error, PropagationError::kEccentricity);
        EXPECT_EQ(slot.PropagateMinutes(720.0).error, PropagationError::kEccentricity);
    }
}
