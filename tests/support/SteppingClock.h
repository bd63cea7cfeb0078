#pragma once
// A virtual clock like ManualClock whose Sleep also runs a hook, so a test can watch (or stop)
// an engine as virtual time passes.
#include <atomic>
#include <functional>

#include "core/Clock.h"

namespace corvane::test {

class SteppingClock final : public corvane::Clock {
public:
    explicit SteppingClock(double localJulianDate) : jd_(localJulianDate) {}
    double LocalJulianDate() const override { return jd_.load(); }
    double MonotonicSeconds() const override { return mono_.load(); }
    void Sleep(int milliseconds) override {
        if (milliseconds > 0) {
            jd_.store(jd_.load() + milliseconds / 86400000.0);
            mono_.store(mono_.load() + milliseconds / 1000.0);
        }
        if (onSleep) onSleep();
    }
    // Runs after every Sleep, on the sleeping thread.
    std::function<void()> onSleep;

private:
    std::atomic<double> jd_;
    std::atomic<double> mono_{0.0};
};

}  // namespace corvane::test
