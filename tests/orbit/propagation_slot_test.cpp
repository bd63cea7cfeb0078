#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"

using namespace corvane;

namespace {

struct Tle {
    const char* name;
    const char* line1;
    const char* line2;
};

// Near-earth, deep space without resonance, 24-hour and 12-hour resonance, inclination exactly 0.
const Tle kObjects[] = {
    {"ISS (ZARYA)", "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992",
     "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936"},
    {"NAVSTAR 53", "1 28129U 03058A   06175.57071136 -.00000104  00000-0  10000-3 0   459",
     "2 28129  54.7298 324.8098 0048506 266.2640  93.1663  2.00562768 18443"},
    {"ITALSAT 2", "1 24208U 96044A   06177.04061740 -.00000094  00000-0  10000-3 0  1600",
     "2 24208   3.8536  80.0121 0026640 311.0977  48.3000  1.00778054 36119"},
    {"MOLNIYA 1-83", "1 21897U 92011A   06176.02341244 -.00001273  00000-0 -13525-3 0  3044",
     "2 21897  62.1749 198.0096 7421690 253.0462  20.1561  2.01269994104880"},
    {"FLAT GEO", "1 99999U 06044A   06177.04061740 -.00000094  00000-0  10000-3 0  1600",
     "2 99999   0.0000  80.0121 0000000 311.0977  48.3000  1.00270000 36119"},
};

bool SameBits(const PropagationResult& a, const PropagationResult& b) {
    return a.error == b.error && std::memcmp(&a.position, &b.position, sizeof a.position) == 0 &&
           std::memcmp(&a.velocity, &b.velocity, sizeof a.velocity) == 0;
}

// Forward, backward, across the epoch and far out: the integrator's restart rules all act.
const double kTimes[] = {0, 10, 2000, 1500, 30000, 30001, -400, -5000, -4000, 100000, 720, 14400, 14401, 7};

}  // namespace

TEST(PropagationSlot, CachedInitialisationIsBitIdenticalToAFreshOne) {
    for (const Tle& t : kObjects) {
        PropagationSlot cached(kSlotPassPrediction);
        PropagationSlot fresh(kSlotBatch);
        fresh.SetCacheEnabled(false);
        for (double minutes : kTimes) {
            // Every propagation is preceded by a conversion of the same text, as callers do.
            cached.Convert(t.name, t.line1, t.line2);
            fresh.Convert(t.name, t.line1, t.line2);
            const PropagationResult a = cached.PropagateMinutes(minutes);
            const PropagationResult b = fresh.PropagateMinutes(minutes);
            EXPECT_TRUE(a.Ok()) << t.name << " " << minutes;
            EXPECT_TRUE(std::isfinite(a.position.magnitude)) << t.name;
            EXPECT_TRUE(SameBits(a, b)) << t.name << " at " << minutes;
        }
    }
}

TEST(PropagationSlot, AnotherElementSetReplacesTheCache) {
    PropagationSlot slot(kSlotMainDisplay);
    PropagationSlot reference;
    slot.Convert(kObjects[3].name, kObjects[3].line1, kObjects[3].line2);
    slot.PropagateMinutes(5000);  // leaves resonance state behind
    slot.Convert(kObjects[2].name, kObjects[2].line1, kObjects[2].line2);
    reference.Convert(kObjects[2].name, kObjects[2].line1, kObjects[2].line2);
    EXPECT_TRUE(SameBits(slot.PropagateMinutes(3000), reference.PropagateMinutes(3000)));
    EXPECT_EQ(slot.Elements().catalogueNumber, "24208");
    // Same lines under another name: the name changes, the numbers do not.
    slot.Convert("RENAMED", kObjects[2].line1, kObjects[2].line2);
    EXPECT_EQ(slot.Elements().name, "RENAMED");
    EXPECT_TRUE(SameBits(slot.PropagateMinutes(3000), reference.PropagateMinutes(3000)));
}

TEST(PropagationSlot, JulianDatesAndModelUnits) {
    PropagationSlot slot(kSlotTracking);
    EXPECT_EQ(slot.Number(), 4);
    EXPECT_EQ(PropagateSlot(2457871.0, slot).error, PropagationError::kNoElements);
    slot.Convert(kObjects[0].name, kObjects[0].line1, kObjects[0].line2);
    PropagationResult atEpoch = PropagateSlot(slot.Elements().epochJd, slot);
    EXPECT_TRUE(SameBits(atEpoch, slot.PropagateMinutes(0.0)));
    PropagationResult later = PropagateSlot(slot.Elements().epochJd + 0.5, slot);
    EXPECT_TRUE(SameBits(later, slot.PropagateMinutes(720.0)));
    ConvertState(atEpoch);
    // ISS: about 6780 km from the centre and 7.66 km/s.
    EXPECT_NEAR(atEpoch.position.magnitude, 6780, 30);
    EXPECT_NEAR(atEpoch.velocity.magnitude, 7.66, 0.05);
    EXPECT_NEAR(atEpoch.position.magnitude,
                std::sqrt(atEpoch.position.x * atEpoch.position.x + atEpoch.position.y * atEpoch.position.y +
                          atEpoch.position.z * atEpoch.position.z),
                1e-9);
}

TEST(PropagationSlot, UnpropagatableElementSetsGiveTypedErrors) {
    PropagationSlot slot;
    // Year 00 with a day below 100: the epoch has no day.
    slot.Convert("X", "1 25544U 98067A   00050.50000000 -.00158687  00000-0 -24621-2 0  9992",
                 kObjects[0].line2);
    EXPECT_EQ(PropagateSlot(2451590.0, slot).error, PropagationError::kNoEpochDay);
    slot.Convert("X", kObjects[0].line1,
                 "2 25544  51.6432 289.0003 0006055 101.4704 344.3366  0.00000000 53936");
    EXPECT_EQ(slot.PropagateMinutes(0).error, PropagationError::kMeanMotion);
    // Perigee inside the Earth: decays at once.
    slot.Convert("X", kObjects[0].line1,
                 "2 25544  51.6432 289.0003 5000000 101.4704   0.0000 15.53834686 53936");
    const PropagationResult r = slot.PropagateMinutes(0);
    EXPECT_EQ(r.error, PropagationError::kDecayed);
    EXPECT_EQ(r.position.magnitude, 0.0);
    EXPECT_EQ(slot.PropagateMinutes(std::nan("")).error, PropagationError::kTimeOutOfRange);
    // A geostationary object a million years out: refused at once, not integrated for hours.
    slot.Convert(kObjects[2].name, kObjects[2].line1, kObjects[2].line2);
    EXPECT_EQ(slot.PropagateMinutes(5.0e11).error, PropagationError::kTimeOutOfRange);
    EXPECT_EQ(PropagateSlot(1.0e12, slot).error, PropagationError::kTimeOutOfRange);
    EXPECT_TRUE(slot.PropagateMinutes(-1.0e6).Ok());
    // Eccentricity exactly 0, inclination exactly 0 and exactly 180 degrees: finite numbers.
    for (const char* l2 : {"2 25544  51.6432 289.0003 0000000 101.4704 344.3366 15.53834686 53936",
                           "2 25544 180.0000 289.0003 0006055 101.4704 344.3366 15.53834686 53936",
                           "2 25544   0.0000 289.0003 0006055 101.4704 344.3366 15.53834686 53936"}) {
        slot.Convert("X", kObjects[0].line1, l2);
        for (double t : {0.0, 100.0, 1440.0}) {
            const PropagationResult ok = slot.PropagateMinutes(t);
            ASSERT_TRUE(ok.Ok()) << l2;
            EXPECT_TRUE(std::isfinite(ok.position.magnitude) && std::isfinite(ok.velocity.magnitude)) << l2;
        }
    }
}

// The drag polynomial of the ISS set (negative drag term) passes through zero some 250 days
// after the epoch; squared, it used to grow again into orbits of a hundred million km.
TEST(PropagationSlot, AnOrbitThatHasDecayedStaysDecayed) {
    for (ModelVariant variant : {ModelVariant::kReport1980, ModelVariant::kRevision2006}) {
        PropagationSlot slot;
        slot.SetModelVariant(variant);
        slot.Convert(kObjects[0].name, kObjects[0].line1, kObjects[0].line2);
        PropagationResult early = slot.PropagateMinutes(100 * 1440.0);
        ASSERT_TRUE(early.Ok());
        ConvertState(early);
        EXPECT_LT(early.position.magnitude, 7000.0);
        for (double days : {300.0, 600.0, 1000.0, 3290.0}) {
            const PropagationResult late = slot.PropagateMinutes(days * 1440.0);
            EXPECT_EQ(late.error, PropagationError::kDecayed) << days;
            EXPECT_EQ(late.position.magnitude, 0.0);
        }
        // Nine years back the eccentricity has left its range first.
        EXPECT_FALSE(slot.PropagateMinutes(-3290.0 * 1440.0).Ok());
    }
}

// A geostationary set whose epoch is exactly 0 h: the sidereal angle of its resonance terms
// comes from the same day as its epoch (a set 0.864 ms earlier lands within metres).
TEST(PropagationSlot, DeepSpaceEpochAtMidnight) {
    PropagationSlot midnight, justBefore;
    midnight.Convert("GEO", "1 24208U 96044A   06177.00000000 -.00000094  00000-0  10000-3 0  1600",
                     kObjects[2].line2);
    justBefore.Convert("GEO", "1 24208U 96044A   06176.99999999 -.00000094  00000-0  10000-3 0  1600",
                       kObjects[2].line2);
    ASSERT_TRUE(midnight.Elements().deepSpace);
    PropagationResult a = midnight.PropagateMinutes(1440.0);
    PropagationResult b = justBefore.PropagateMinutes(1440.0 + 1e-8 * 1440.0);
    ASSERT_TRUE(a.Ok());
    ASSERT_TRUE(b.Ok());
    ConvertState(a);
    ConvertState(b);
    EXPECT_NEAR(a.position.x, b.position.x, 0.01);
    EXPECT_NEAR(a.position.y, b.position.y, 0.01);
    EXPECT_NEAR(a.position.z, b.position.z, 0.01);
}

TEST(PropagationSlot, ConvertElementSetReadsTheCatalogue) {
    ElementCatalogue catalogue;
    for (const Tle& t : kObjects) catalogue.Add({t.name, t.line1, t.line2});
    PropagationSlot slot(kSlotWorldMap);
    ASSERT_TRUE(ConvertElementSet(catalogue, 3, slot));
    EXPECT_EQ(slot.Elements().catalogueNumber, "24208");
    EXPECT_TRUE(slot.Elements().deepSpace);
    EXPECT_FALSE(ConvertElementSet(catalogue, 0, slot));
    EXPECT_FALSE(slot.HasElements());
    EXPECT_FALSE(ConvertElementSet(catalogue, 6, slot));
    EXPECT_EQ(catalogue.FindCatalogueNumber(21897), 4);
    EXPECT_EQ(catalogue.FindCatalogueNumber(12345), 0);
}

// Deep-space slots on two threads share no state: each gives what it gives alone.
TEST(PropagationSlot, DeepSpaceSlotsOnTwoThreadsDoNotDisturbEachOther) {
    auto run = [](const Tle& t, std::vector<PropagationResult>& out) {
        PropagationSlot slot;
        for (int i = 0; i < 2000; ++i) {
            slot.Convert(t.name, t.line1, t.line2);
            out.push_back(slot.PropagateMinutes(i * 37.0 - 20000.0));
        }
    };
    std::vector<PropagationResult> aAlone, bAlone, aThread, bThread;
    run(kObjects[2], aAlone);
    run(kObjects[3], bAlone);
    std::thread ta([&] { run(kObjects[2], aThread); });
    std::thread tb([&] { run(kObjects[3], bThread); });
    ta.join();
    tb.join();
    ASSERT_EQ(aThread.size(), aAlone.size());
    for (size_t i = 0; i < aAlone.size(); ++i) {
        EXPECT_TRUE(SameBits(aAlone[i], aThread[i]));
        EXPECT_TRUE(SameBits(bAlone[i], bThread[i]));
    }
}
