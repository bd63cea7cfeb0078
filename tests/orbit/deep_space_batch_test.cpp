// Deep-space objects through the vectorised batch against the scalar model, bit for bit: every
// deep-space object of the test catalogue (no resonance, 24 h and 12 h resonance, the Lyddane
// form of the small inclinations) along instants that carry the resonance integration on, send it
// back to the epoch and across it; pairs mixing every kind of object; the 2006 verification set's
// deep-space objects; and lanes that the scalar model must do again.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"
#include "orbit/verification_support.h"

using namespace corvane;

namespace {

constexpr double kStart = 2457871.5;  // 2017-04-28 00:00 UTC, a day after most epochs

using testing_support::SameBits;

// A fresh scalar model: its integration starts from the epoch.
PropagationResult Scalar(const std::string& line1, const std::string& line2, double jd,
                         ModelVariant variant = ModelVariant::kReport1980) {
    PropagationSlot slot;
    slot.SetModelVariant(variant);
    slot.Convert("X", line1, line2);
    return PropagateSlot(jd, slot);
}

struct DeepObject {
    std::string line1, line2;
    int resonance = 0;
    bool lyddane = false;  // inclination under the Lyddane limit
};

const std::vector<DeepObject>& DeepObjects() {
    static const std::vector<DeepObject> objects = [] {
        std::vector<DeepObject> v;
        const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
        for (int i = 1; i <= catalogue->Count(); ++i) {
            const ElementSet e = ConvertElementText("X", catalogue->Line1(i), catalogue->Line2(i));
            ModelInit m;
            InitialiseModel(e, m);
            if (m.error != PropagationError::kNone || !m.deepSpace) continue;
            v.push_back(DeepObject{std::string(catalogue->Line1(i)), std::string(catalogue->Line2(i)),
                                   m.ds.resonance, m.xincl < 0.2});
        }
        return v;
    }();
    return objects;
}

}  // namespace

TEST(DeepSpaceBatch, EveryDeepObjectOfTheCatalogueAlongInstantsThatMoveTheResonanceState) {
    const auto& objects = DeepObjects();
    std::map<int, int> kinds;
    int lyddane = 0;
    PropagationBatch batch;
    for (const DeepObject& o : objects) {
        batch.Add(ConvertElementText("X", o.line1, o.line2));
        ++kinds[o.resonance];
        lyddane += o.lyddane ? 1 : 0;
    }
    // Every kind of deep-space orbit is there, and all of them go through the vectorised path.
    ASSERT_GT(objects.size(), 900u);
    EXPECT_GT(kinds[0], 100);
    EXPECT_GT(kinds[1], 500);
    EXPECT_GT(kinds[2], 20);
    EXPECT_GT(lyddane, 500);
    EXPECT_EQ(batch.VectorisedCount(), objects.size());

    // On from the epochs (the integration carries on), back towards them (it restarts), before
    // them (the other side), further back (carries on backwards), and years on.
    const double instants[] = {kStart,        kStart + 0.3,   kStart + 0.61,  kStart + 12.5,
                               kStart + 12.2, kStart + 2.0,   kStart - 40.0,  kStart - 40.7,
                               kStart - 3.0,  kStart + 400.0, kStart + 400.4, kStart + 3650.0};
    BatchStates states;
    size_t compared = 0;
    for (const double jd : instants) {
        batch.PropagateAll(jd, states);
        ASSERT_EQ(states.Size(), objects.size());
        for (size_t i = 0; i < objects.size(); ++i) {
            const PropagationResult scalar = Scalar(objects[i].line1, objects[i].line2, jd);
            ASSERT_TRUE(SameBits(states.Result(i), scalar)) << objects[i].line1 << " at " << jd;
            ++compared;
        }
    }
    EXPECT_EQ(compared, objects.size() * std::size(instants));
    // The vectorised lanes gave those results themselves: only a few went to the scalar model
    // (decayed, or the odd one that leaves the vectorised path).
    EXPECT_LT(batch.Fallbacks(), compared / 50);
}

TEST(DeepSpaceBatch, OneResonantObjectAlongInstantsAcrossTheEpochInEitherOrder) {
    const auto& objects = DeepObjects();
    // The first object of each kind of resonance, in each form of the lunar-solar periodics.
    std::map<std::pair<int, bool>, const DeepObject*> chosen;
    for (const DeepObject& o : objects) chosen.emplace(std::make_pair(o.resonance, o.lyddane), &o);
    EXPECT_GE(chosen.size(), 5u);
    for (const auto& [kind, object] : chosen) {
        PropagationBatch batch;
        const ElementSet e = ConvertElementText("X", object->line1, object->line2);
        batch.Add(e);
        ASSERT_TRUE(batch.IsVectorised(0));
        // Three days either side of the epoch every 97 minutes, forwards and then backwards,
        // with the count leaving every length of leftover lanes.
        for (const size_t n : {1u, 3u, 33u, 107u}) {
            std::vector<double> jd;
            for (size_t k = 0; k < n; ++k) jd.push_back(e.epochJd - 3.0 + 6.0 * static_cast<double>(k) / n);
            for (int pass = 0; pass < 2; ++pass) {
                BatchStates states;
                batch.PropagateTimes(0, jd.data(), jd.size(), states);
                for (size_t k = 0; k < n; ++k) {
                    EXPECT_TRUE(SameBits(states.Result(k), Scalar(object->line1, object->line2, jd[k])))
                        << "resonance " << kind.first << " at " << jd[k] - e.epochJd;
                }
                std::reverse(jd.begin(), jd.end());
            }
        }
    }
}

TEST(DeepSpaceBatch, PairsMixNearEarthDeepSpaceRevisedAndMissingObjects) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    const auto& deep = DeepObjects();
    PropagationBatch batch;
    batch.AddCatalogue(*catalogue, 1, catalogue->Count());
    // Deep-space objects of the revised model stay scalar.
    const size_t revised =
        batch.Add(ConvertElementText("X", deep[5].line1, deep[5].line2), ModelVariant::kRevision2006);
    EXPECT_FALSE(batch.IsVectorised(revised));
    EXPECT_EQ(batch.VectorisedCount(), static_cast<size_t>(catalogue->Count()));

    // Every object in a scattered order, some many times at instants that go back and forth
    // within one call, and one beyond the batch.
    std::vector<uint32_t> objects;
    std::vector<double> times;
    const size_t count = batch.Size();
    for (size_t k = 0; k < 3 * count; ++k) {
        objects.push_back(static_cast<uint32_t>((k * 733 + 11) % count));
        times.push_back(kStart + static_cast<double>((k * 37) % 41) * 0.71 - 14.0);
    }
    objects.push_back(static_cast<uint32_t>(count));
    times.push_back(kStart);
    BatchStates states;
    batch.PropagatePairs(objects.data(), times.data(), objects.size(), states);
    ASSERT_EQ(states.Size(), objects.size());
    for (size_t k = 0; k + 1 < objects.size(); ++k) {
        const uint32_t object = objects[k];
        const bool isRevised = object == revised;
        const int index = isRevised ? 0 : static_cast<int>(object) + 1;
        const std::string line1 = isRevised ? deep[5].line1 : std::string(catalogue->Line1(index));
        const std::string line2 = isRevised ? deep[5].line2 : std::string(catalogue->Line2(index));
        ASSERT_TRUE(SameBits(states.Result(k),
                             Scalar(line1, line2, times[k],
                                    isRevised ? ModelVariant::kRevision2006 : ModelVariant::kReport1980)))
            << "pair " << k << " object " << object;
    }
    EXPECT_EQ(states.Result(objects.size() - 1).error, PropagationError::kNoElements);
}

TEST(DeepSpaceBatch, VerificationDeepSpaceObjectsAlongTheirRuns) {
    const auto cases = testing_support::LoadVerificationSet(CORVANE_TEST_DATA);
    PropagationBatch batch;
    std::vector<size_t> deep;
    for (size_t n = 0; n < cases.size(); ++n) {
        const ElementSet e = ConvertElementText("VER", cases[n].line1, cases[n].line2);
        batch.Add(e);
        if (e.error == PropagationError::kNone && e.deepSpace) deep.push_back(n);
    }
    ASSERT_GE(deep.size(), 15u);
    // Each run at once through PropagateTimes, and every object together at each 6th instant of
    // the longest run through PropagateAll.
    for (const size_t n : deep) {
        const auto& c = cases[n];
        const double epoch = ConvertElementText("VER", c.line1, c.line2).epochJd;
        std::vector<double> jd;
        for (double t = c.start; t <= c.stop; t += c.step) jd.push_back(epoch + t / 1440.0);
        BatchStates states;
        batch.PropagateTimes(n, jd.data(), jd.size(), states);
        for (size_t k = 0; k < jd.size(); ++k)
            EXPECT_TRUE(SameBits(states.Result(k), Scalar(c.line1, c.line2, jd[k])))
                << c.number << " step " << k;
    }
    BatchStates states;
    for (double days = -1.0; days <= 1500.0; days += 37.3) {
        batch.PropagateAll(kStart + days, states);
        for (const size_t n : deep) {
            EXPECT_TRUE(SameBits(states.Result(n), Scalar(cases[n].line1, cases[n].line2, kStart + days)))
                << cases[n].number << " at " << days;
        }
    }
}

TEST(DeepSpaceBatch, LanesTheScalarModelMustDoGiveItsErrors) {
    // A geostationary orbit and a 12-hour one with a drag term so strong that they decay within
    // weeks, and an orbit so eccentric that the lunar-solar terms carry it past 1.
    const char* geo1 = "1 26038U 00001A   17117.25717060 -.00000270  00000-0  50000-1 0  9990";
    const char* geo2 = "2 26038   0.0279 184.5398 0002617 172.5624  52.5066  1.00271719 63072";
    const char* half1 = "1 88889U          17117.00000000  .00000000  00000-0  90000-1 0    00";
    const char* half2 = "2 88889  63.4000 120.0000 7000000 270.0000  10.0000  2.00560000    00";
    const char* wide1 = "1 88890U          17117.00000000  .00000000  00000-0  00000-0 0    00";
    const char* wide2 = "2 88890  10.0000 120.0000 9990000 270.0000  10.0000  0.30000000    00";
    const std::pair<const char*, const char*> sets[] = {{geo1, geo2}, {half1, half2}, {wide1, wide2}};
    PropagationBatch batch;
    for (const auto& [l1, l2] : sets) batch.Add(ConvertElementText("X", l1, l2));
    const double epoch = ConvertElementText("X", geo1, geo2).epochJd;
    std::map<PropagationError, int> errors;
    BatchStates states;
    for (const double days : {0.0, 1.0, 30.0, 200.0, 4000.0, 2.0e5}) {
        batch.PropagateAll(epoch + days, states);
        for (size_t i = 0; i < std::size(sets); ++i) {
            const PropagationResult scalar = Scalar(sets[i].first, sets[i].second, epoch + days);
            EXPECT_TRUE(SameBits(states.Result(i), scalar)) << i << " at " << days;
            ++errors[scalar.error];
            if (!scalar.Ok()) {
                EXPECT_EQ(states.Result(i).position.magnitude, 0.0);
            }
        }
    }
    // Decayed and out of range at least; they came from the scalar model.
    EXPECT_GT(errors[PropagationError::kDecayed], 0);
    EXPECT_EQ(errors[PropagationError::kTimeOutOfRange], 3);
    EXPECT_GT(batch.Fallbacks(), 3u);
}
