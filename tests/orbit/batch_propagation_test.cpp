// The batched propagation against the scalar model: every object of the test catalogue at
// several instants, single objects along many instants, the 2006 verification set, and the
// lanes that must fall back to the scalar model.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"
#include "orbit/SinCos.h"
#include "orbit/verification_support.h"

using namespace corvane;

namespace {

constexpr double kStart = 2457871.5;  // 2017-04-28 00:00 UTC, a day after most epochs

using testing_support::SameBits;

// Within 1 mm and 1 mm/s once converted (a weaker statement than SameBits, kept so that a
// failure says how far apart the two are).
void ExpectClose(PropagationResult a, PropagationResult b, const std::string& what) {
    ASSERT_EQ(a.error, b.error) << what;
    ConvertState(a);
    ConvertState(b);
    const double dp =
        std::hypot(a.position.x - b.position.x, a.position.y - b.position.y, a.position.z - b.position.z);
    const double dv =
        std::hypot(a.velocity.x - b.velocity.x, a.velocity.y - b.velocity.y, a.velocity.z - b.velocity.z);
    EXPECT_LE(dp, 1e-6) << what;
    EXPECT_LE(dv, 1e-6) << what;
    EXPECT_TRUE(SameBits(a, b)) << what;
}

const std::shared_ptr<const ElementCatalogue>& Catalogue() {
    static const auto c = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    return c;
}

}  // namespace

TEST(SinCos, AgreesWithTheLibraryInEveryQuadrantAndFallsBackBeyondTheReduction) {
    for (double x = -40.0; x <= 40.0; x += 0.0137) {
        double s, c;
        SinCos(x, s, c);
        EXPECT_NEAR(s, std::sin(x), 2e-16) << x;
        EXPECT_NEAR(c, std::cos(x), 2e-16) << x;
    }
    // Multiples of pi/2 (quadrant boundaries) and large arguments still inside the reduction.
    for (int k = -8; k <= 8; ++k) {
        double s, c;
        SinCos(k * kPi / 2.0, s, c);
        EXPECT_NEAR(s, std::sin(k * kPi / 2.0), 1e-15) << k;
        EXPECT_NEAR(c, std::cos(k * kPi / 2.0), 1e-15) << k;
    }
    for (double x : {12345.678, -98765.4321, 999999.5, 3.0e6, -7.5e9}) {
        double s, c;
        SinCos(x, s, c);
        EXPECT_NEAR(s, std::sin(x), 1e-10 * std::max(1.0, std::fabs(x) / 1e6)) << x;
        EXPECT_NEAR(c, std::cos(x), 1e-10 * std::max(1.0, std::fabs(x) / 1e6)) << x;
    }
    double s = 0, c = 0;
    SinCos(NAN, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
}

TEST(PropagationBatch, EveryCatalogueObjectEqualsTheScalarModelAtEveryInstant) {
    const ElementCatalogue& catalogue = *Catalogue();
    ASSERT_GT(catalogue.Count(), 1800);
    PropagationBatch batch;
    batch.AddCatalogue(catalogue, 1, catalogue.Count());
    ASSERT_EQ(batch.Size(), static_cast<size_t>(catalogue.Count()));
    EXPECT_EQ(batch.VectorisedCount(), batch.Size());  // near-earth and deep-space alike

    PropagationSlot slot(kSlotBatch);
    BatchStates states;
    size_t compared = 0, failed = 0;
    // At epoch-near instants, weeks and years later (decayed objects) and before the epochs.
    for (double jd : {kStart, kStart + 0.37, kStart + 30.0, kStart + 3650.0, kStart - 200.0}) {
        batch.PropagateAll(jd, states);
        ASSERT_EQ(states.Size(), batch.Size());
        for (int i = 1; i <= catalogue.Count(); ++i) {
            ConvertElementSet(catalogue, i, slot);
            const PropagationResult scalar = PropagateSlot(jd, slot);
            ExpectClose(states.Result(static_cast<size_t>(i - 1)), scalar,
                        std::string(catalogue.NameLine(i)) + " at " + std::to_string(jd));
            ++compared;
            failed += scalar.Ok() ? 0 : 1;
        }
    }
    EXPECT_EQ(compared, 5u * static_cast<size_t>(catalogue.Count()));
    EXPECT_GT(failed, 0u);  // ten years on, the lowest objects have decayed: the fallback acts
}

TEST(PropagationBatch, OneObjectAlongManyInstantsEqualsTheScalarModel) {
    const ElementCatalogue& catalogue = *Catalogue();
    PropagationBatch batch;
    batch.AddCatalogue(catalogue, 1, catalogue.Count());
    PropagationSlot slot(kSlotWorldMap);
    std::vector<double> times;
    for (int i = -799; i <= 799; ++i) times.push_back(kStart + i * 60.0 / 86400.0);
    BatchStates states;
    // The ISS, a decaying low object, and every 97th object (near-earth and deep-space alike).
    std::vector<int> objects{catalogue.IssIndex()};
    for (int i = 1; i <= catalogue.Count(); i += 97) objects.push_back(i);
    for (int object : objects) {
        batch.PropagateTimes(static_cast<size_t>(object - 1), times.data(), times.size(), states);
        ASSERT_EQ(states.Size(), times.size());
        for (size_t k = 0; k < times.size(); ++k) {
            ConvertElementSet(catalogue, object, slot);
            ExpectClose(states.Result(k), PropagateSlot(times[k], slot),
                        std::string(catalogue.NameLine(object)) + " step " + std::to_string(k));
        }
    }
    // An object the batch does not hold gives no position.
    batch.PropagateTimes(batch.Size(), times.data(), 3, states);
    EXPECT_EQ(states.Result(0).error, PropagationError::kNoElements);
}

TEST(PropagationBatch, PairsOfObjectsAndInstantsEqualTheScalarModel) {
    const ElementCatalogue& catalogue = *Catalogue();
    PropagationBatch batch;
    batch.AddCatalogue(catalogue, 1, catalogue.Count());
    PropagationSlot slot(kSlotBatch);
    BatchStates states;
    // Objects in a scattered order (near-earth and deep-space mixed, some twice), each at its own
    // instant; counts that leave every length of leftover lanes after the whole chunks, and one
    // object the batch does not hold.
    for (size_t n : {1u, 7u, 64u, 69u, 200u}) {
        std::vector<uint32_t> objects;
        std::vector<double> times;
        for (size_t k = 0; k < n; ++k) {
            objects.push_back(static_cast<uint32_t>((k * 131 + 17) % batch.Size()));
            times.push_back(kStart + static_cast<double>(k % 23) * 0.013 - 0.1);
        }
        objects.back() = static_cast<uint32_t>(batch.Size());
        batch.PropagatePairs(objects.data(), times.data(), n, states);
        ASSERT_EQ(states.Size(), n);
        for (size_t k = 0; k + 1 < n; ++k) {
            ConvertElementSet(catalogue, static_cast<int>(objects[k]) + 1, slot);
            ExpectClose(states.Result(k), PropagateSlot(times[k], slot),
                        std::to_string(n) + " pairs, pair " + std::to_string(k));
        }
        EXPECT_EQ(states.Result(n - 1).error, PropagationError::kNoElements);
    }
}

TEST(PropagationBatch, VerificationSetThroughTheBatchEqualsTheScalarModel) {
    const auto cases = testing_support::LoadVerificationSet(CORVANE_TEST_DATA);
    ASSERT_EQ(cases.size(), 33u);
    for (ModelVariant variant : {ModelVariant::kReport1980, ModelVariant::kRevision2006}) {
        PropagationBatch batch;
        std::vector<ElementSet> sets;
        for (const auto& c : cases) {
            sets.push_back(ConvertElementText("VER", c.line1, c.line2));
            batch.Add(sets.back(), variant);
        }
        for (size_t n = 0; n < cases.size(); ++n) {
            const auto& c = cases[n];
            std::vector<double> jd;
            for (double t = c.start; t <= c.stop; t += c.step) jd.push_back(sets[n].epochJd + t / 1440.0);
            BatchStates states;
            batch.PropagateTimes(n, jd.data(), jd.size(), states);
            PropagationSlot slot;
            slot.SetModelVariant(variant);
            for (size_t k = 0; k < jd.size(); ++k) {
                slot.Convert("VER", c.line1, c.line2);
                ExpectClose(states.Result(k), PropagateSlot(jd[k], slot),
                            std::to_string(c.number) + " step " + std::to_string(k));
            }
        }
    }
}

TEST(PropagationBatch, LanesOutsideTheVectorPathGiveTheScalarErrors) {
    PropagationBatch batch;
    // Circular, a made-to-decay drag term, eccentricity 1 (refused at conversion), a real orbit.
    const char* line1 = "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0    87";
    const char* circular = "2 88888  72.8435 115.9689 0000000  52.6988 110.5714 16.05824518  1058";
    const char* dragged = "1 88888U          80275.98708465  .10073094  13844-3  66816-1 0    87";
    const char* flat = "2 88888  72.8435 115.9689 9999999  52.6988 110.5714 16.05824518  1058";
    const char* normal = "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518  1058";
    batch.Add(ConvertElementText("A", line1, circular));
    batch.Add(ConvertElementText("B", dragged, normal));
    batch.Add(ConvertElementText("C", line1, flat));
    batch.Add(ConvertElementText("D", line1, normal));
    const double epoch = ConvertElementText("D", line1, normal).epochJd;
    BatchStates states;
    for (double days : {0.0, 1.0, 20.0, 400.0, 2.0e5}) {
        batch.PropagateAll(epoch + days, states);
        const struct {
            const char* l1;
            const char* l2;
        } texts[] = {{line1, circular}, {dragged, normal}, {line1, flat}, {line1, normal}};
        for (size_t i = 0; i < 4; ++i) {
            PropagationSlot slot;
            slot.Convert("X", texts[i].l1, texts[i].l2);
            ExpectClose(states.Result(i), PropagateSlot(epoch + days, slot),
                        std::to_string(i) + " at " + std::to_string(days));
        }
    }
    // Two hundred thousand days on: out of range for every object, never a number.
    EXPECT_EQ(states.Result(3).error, PropagationError::kTimeOutOfRange);
    EXPECT_EQ(states.Result(3).position.magnitude, 0.0);
}
