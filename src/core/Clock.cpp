#include "core/Clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace corvane {

double CivilToJulianDate(int year, int month, int day, int hour, int minute, double second) {
    // Days from 1970-01-01 by the proleptic Gregorian calendar (H. Hinnant's algorithm).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned mp = static_cast<unsigned>((month + 9) % 12);
    const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(day) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + static_cast<long>(doe) - 719468;
    return 2440587.5 + static_cast<double>(days) + (hour + (minute + second / 60.0) / 60.0) / 24.0;
}

CivilDate CivilFromDayNumber(long long l) {
    l += 68569;
    const long long n = 4 * l / 146097;
    l -= (146097 * n + 3) / 4;
    const long long i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    const long long j = 80 * l / 2447;
    const long long day = l - 2447 * j / 80;
    l = j / 11;
    return CivilDate{100 * (n - 49) + i + l, j + 2 - 12 * l, day};
}

CivilInstant CivilFromJulianDateMs(double jd) {
    const double shifted = jd + 0.5;
    long long days = static_cast<long long>(std::floor(shifted));
    long long ms = std::llround((shifted - static_cast<double>(days)) * 86400000.0);
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        ++days;
    }
    return CivilInstant{CivilFromDayNumber(days), ms};
}

double SystemClock::LocalJulianDate() const {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto secs = time_point_cast<seconds>(now);
    const double fraction = duration<double>(now - secs).count();
    const std::time_t t = system_clock::to_time_t(secs);
    std::tm local{};
    localtime_r(&t, &local);
    // Whole milliseconds, as the computer clock reports them.
    const double ms = static_cast<double>(static_cast<long>(fraction * 1000.0 + 0.5));
    return CivilToJulianDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec + ms / 1000.0);
}

double SystemClock::MonotonicSeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::Sleep(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ManualClock::Advance(double seconds) {
    if (seconds <= 0) return;
    std::lock_guard<std::mutex> lock(advance_);
    jd_.store(jd_.load() + seconds / 86400.0);
    mono_.store(mono_.load() + seconds);
    slept_.fetch_add(static_cast<int64_t>(seconds * 1000.0 + 0.5));
}

}  // namespace corvane
