#pragma once
// The stop request of the telescope session. Raising it is how Stop (and Disconnect, exit, a
// cancelled connection) reaches an engine that is inside a wait or a read: every wait of the
// serial link and the engines ends within one short step once it is raised, and every command
// sent through the gate is refused from the moment Raise() returns. The stop sequence itself
// goes out past the gate.
//
// Thread-safe. Raise() may be called from any thread and never waits on the serial line: it
// waits at most for one command write that is already under way.
#include <atomic>
#include <functional>
#include <mutex>

#include "core/Clock.h"

namespace corvane {

class StopSignal {
public:
    // Raises the signal. When it returns, no gated write can start any more.
    void Raise() {
        std::lock_guard<std::mutex> lock(gate_);
        raised_.store(true);
    }
    // Lowers it again (session thread, once the stop has been carried out).
    void Clear() {
        std::lock_guard<std::mutex> lock(gate_);
        raised_.store(false);
    }
    bool Raised() const { return raised_.load(); }

    // Runs `write` unless the signal is raised, holding the gate so that Raise() cannot slip in
    // between the test and the write. Returns false when the write was refused.
    bool Gated(const std::function<void()>& write) {
        std::lock_guard<std::mutex> lock(gate_);
        if (raised_.load()) return false;
        write();
        return true;
    }

    // Waits `milliseconds` on the clock in short steps; returns false as soon as the signal is
    // raised (at once when it already is), true when the whole time has passed.
    bool Wait(Clock& clock, int milliseconds) const {
        while (milliseconds > 0) {
            if (raised_.load()) return false;
            const int step = milliseconds < kStepMs ? milliseconds : kStepMs;
            clock.Sleep(step);
            milliseconds -= step;
        }
        return !raised_.load();
    }

    static constexpr int kStepMs = 20;

private:
    std::mutex gate_;
    std::atomic<bool> raised_{false};
};

}  // namespace corvane
