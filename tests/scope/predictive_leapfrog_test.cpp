// The predictive leap frog of the goto-only mounts over whole ISS passes in virtual time against
// the simulated mounts: the object passes through each aim point instead of ahead of or behind it.
#include <gtest/gtest.h>

#include <iostream>

#include "LeapPassHarness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

void Print(const std::string& what, const LeapPassFigures& f) {
    std::cout << what << " (peak " << std::lround(f.peak) << " deg): " << f.misses.size()
              << " aim points, miss largest " << f.largest << " median " << f.median << " deg; pointing RMS "
              << f.rms << " deg, outside a 0.5 deg field " << f.outsideSeconds << " of " << f.seconds
              << " s\n";
}

}  // namespace

TEST(PredictiveLeapFrog, Explore) {
    if (const char* only = std::getenv("LEAP_ONLY")) {
        const LeapPassFigures f =
            TrackLeapPass(ScopeTypeFromCode(only), std::getenv("LEAP_STD") == nullptr,
                          std::getenv("LEAP_HIGH") ? 80.0 : 35.0, std::getenv("LEAP_HIGH") ? 90.0 : 70.0);
        Print(only, f);
        return;
    }
    for (ScopeType type : {ScopeType::ETX497, ScopeType::ETX494, ScopeType::ULTIMA, ScopeType::NEXSTAR,
                           ScopeType::LX200, ScopeType::AP, ScopeType::GEMINI}) {
        for (bool predictive : {false, true}) {
            for (bool high : {false, true}) {
                const LeapPassFigures f =
                    TrackLeapPass(type, predictive, high ? 80.0 : 35.0, high ? 90.0 : 70.0);
                Print(std::string(ScopeTypeCode(type)) + (predictive ? " predictive" : " standard"), f);
                for (const auto& m : f.messages) std::cout << "  message: " << m.text << "\n";
            }
        }
    }
}
