#pragma once
// The one source of time for the whole program. Nothing else reads the computer clock or
// sleeps: the program runs on SystemClock, tests on ManualClock whose Sleep advances time at
// once, so an engine that waits 8 s in the program waits 0 s in a test.
#include <atomic>
#include <cstdint>
#include <mutex>

namespace corvane {

class Clock {
public:
    virtual ~Clock() = default;

    // The computer's local wall-clock time as a Julian date (days), without the clock
    // correction. Thread-safe.
    virtual double LocalJulianDate() const = 0;
    // Seconds on a monotonic scale (origin arbitrary). Thread-safe.
    virtual double MonotonicSeconds() const = 0;
    // Waits the given number of milliseconds (virtual time on ManualClock). Thread-safe.
    virtual void Sleep(int milliseconds) = 0;

    // Clock correction in days, added to every reading of the computer clock (set by the mount
    // date/time dialog). Thread-safe.
    double Correction() const { return correction_.load(std::memory_order_relaxed); }
    void SetCorrection(double days) { correction_.store(days, std::memory_order_relaxed); }

    // Local Julian date of the program clock: computer clock plus correction. Not yet shifted by
    // the site's UTC offset. Thread-safe.
    double JulianDateNow() const { return LocalJulianDate() + Correction(); }

private:
    std::atomic<double> correction_{0.0};
};

class SystemClock final : public Clock {
public:
    double LocalJulianDate() const override;
    double MonotonicSeconds() const override;
    void Sleep(int milliseconds) override;
};

// A clock that stands still until told to move. Sleep advances it by the requested time, so
// code that waits runs instantly in tests. Thread-safe.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double localJulianDate = 2451545.0) : jd_(localJulianDate) {}

    double LocalJulianDate() const override { return jd_.load(); }
    double MonotonicSeconds() const override { return mono_.load(); }
    void Sleep(int milliseconds) override { Advance(milliseconds / 1000.0); }

    void Set(double localJulianDate) { jd_.store(localJulianDate); }
    void Advance(double seconds);
    // Total virtual milliseconds spent in Sleep since construction.
    int64_t SleptMilliseconds() const { return slept_.load(); }

private:
    std::atomic<double> jd_;
    std::atomic<double> mono_{0.0};
    std::atomic<int64_t> slept_{0};
    std::mutex advance_;
};

// Julian date of a proleptic Gregorian calendar date and time of day.
double CivilToJulianDate(int year, int month, int day, int hour, int minute, double second);

// The Gregorian date of a Julian day number (the day that begins at noon of that number), by
// Fliegel and Van Flandern.
struct CivilDate {
    long long year, month, day;
};
CivilDate CivilFromDayNumber(long long julianDayNumber);

// A Julian date as its calendar date and the whole milliseconds of the day, rounded so that a
// time a hair before midnight does not read as 24:00.
struct CivilInstant {
    CivilDate date;
    long long millisecondOfDay;
};
CivilInstant CivilFromJulianDateMs(double jd);

}  // namespace corvane
