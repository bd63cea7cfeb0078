// The shortcuts of the model's steps give the very numbers of the plain forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "astro/Constants.h"
#include "astro/MathUtil.h"
#include "orbit/Sgp4Steps.h"

using namespace corvane;

namespace {
bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}
}  // namespace

// Fmod2p without its division: the same remainder everywhere, most of all next to the multiples
// of 2 pi, where the multiplied quotient and the divided one may fall on either side of an integer.
TEST(Fmod2pQuick, SameRemainderAsTheDividedForm) {
    std::vector<double> xs = {0.0,
                              -0.0,
                              1e-300,
                              -1e-300,
                              kTwoPi,
                              -kTwoPi,
                              kPi,
                              1e6,
                              -1e6,
                              1e7,
                              1e15,
                              1e300,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::nan("")};
    for (int n = -200000; n <= 200000; n += 7) {
        const double m = n * kTwoPi;
        double below = m, above = m;
        for (int k = 0; k < 6; ++k) {
            below = std::nextafter(below, -1e300);
            above = std::nextafter(above, 1e300);
            xs.push_back(below);
            xs.push_back(above);
        }
        xs.push_back(m);
    }
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> wide(-2.0e7, 2.0e7), narrow(-30.0, 30.0);
    for (int k = 0; k < 200000; ++k) {
        xs.push_back(wide(random));
        xs.push_back(narrow(random));
    }
    for (double x : xs) EXPECT_TRUE(SameBits(Fmod2pQuick(x), Fmod2p(x))) << std::hexfloat << x;
}
