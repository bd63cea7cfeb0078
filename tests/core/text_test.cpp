// The fast two-digit writer stands in for printf's "%02lld" in every date, time and duration
// text: it must write exactly what printf writes, for every value a caller can pass.
#include "core/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

using namespace corvane;

TEST(Text, AppendTwoDigitsWritesWhatPrintfWrites) {
    auto check = [](long long v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02lld", v);
        std::string out = "x";
        AppendTwoDigits(out, v);
        ASSERT_EQ(out, std::string("x") + buf) << v;
    };
    for (long long v = -2000; v <= 2000; ++v) check(v);
    for (const long long v : {99999LL, 1000000007LL, LLONG_MAX, LLONG_MIN, LLONG_MIN + 1}) check(v);
}
