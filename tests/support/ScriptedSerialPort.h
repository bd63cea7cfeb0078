#pragma once
// A serial port for tests: it records the exact bytes written and answers with canned replies,
// optionally after a delay measured on a Clock (virtual time with ManualClock).
#include <deque>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "scope/SerialPort.h"

namespace corvane::test {

class ScriptedSerialPort : public corvane::SerialPort {
public:
    explicit ScriptedSerialPort(const Clock* clock = nullptr) : clock_(clock) {}

    // When exactly `command` is written, `reply` becomes readable `delayMs` later. Each rule
    // answers once; rules for the same command answer in the order given.
    void Expect(std::string command, std::string reply, int delayMs = 0);
    // Like Expect, but answers every time.
    void Always(std::string command, std::string reply, int delayMs = 0);
    // Bytes that arrive unasked, `delayMs` from now.
    void Feed(const std::string& bytes, int delayMs = 0);

    bool Open(const std::string& device) override;
    bool IsOpen() const override { return open_; }
    int BytesWaiting() override;
    std::string Read(int count) override;
    bool Write(std::string_view bytes) override;
    void Close() override;

    std::vector<std::string> writes;  // one entry per Write call
    std::string Written() const;      // every byte written, in order
    std::string openedDevice;
    bool failOpen = false;
    bool closedLine = false;  // BytesWaiting reports -1, writes fail
    int openCount = 0;

private:
    struct Rule {
        std::string command, reply;
        int delayMs;
        bool always;
    };
    struct Pending {
        char byte;
        double at;
    };
    double Now() const { return clock_ != nullptr ? clock_->MonotonicSeconds() : 0.0; }

    const Clock* clock_;
    bool open_ = false;
    std::vector<Rule> rules_;
    std::deque<Pending> input_;
};

}  // namespace corvane::test
