#pragma once
// The simulated mounts' side of the serial line: their replies leave after the mount's latency,
// one byte time apart at 9600 baud, and become readable byte by byte. The line's faults shape
// them: silence drops them, garbage replaces every byte but the terminator (and any other byte
// in `keep`) with noise, a stall holds back the second half. Not thread-safe: the mount's lock
// covers it.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "sim/MountSimulator.h"

namespace corvane {

class SimulatedReplyLine {
public:
    explicit SimulatedReplyLine(uint32_t noiseSeed) : noise_(noiseSeed) {}

    // Queues `text` as sent at `now` (seconds) by a mount that answers after `latency`.
    // `keep`: bytes that noise never produces (a "~" stands in for them).
    void Send(std::string text, double now, double latency, MountFault fault, double stallSeconds,
              std::string_view keep) {
        if (fault == MountFault::Silence || text.empty()) return;
        if (fault == MountFault::Garbage) {
            const size_t noisy = text.back() == '#' ? text.size() - 1 : text.size();
            for (size_t i = 0; i < noisy; ++i) {
                noise_ = noise_ * 1103515245u + 12345u;
                const char c = static_cast<char>((noise_ >> 16) & 0xFF);
                text[i] = keep.find(c) != std::string_view::npos ? '~' : c;
            }
        }
        double t = now + latency;
        if (!bytes_.empty()) t = std::max(t, bytes_.back().at);
        for (size_t i = 0; i < text.size(); ++i) {
            t += kByteSeconds;
            const double at =
                fault == MountFault::StalledReply && i >= text.size() / 2 ? t + stallSeconds : t;
            bytes_.push_back({text[i], at});
        }
    }
    // Bytes readable at `now`.
    int Ready(double now) const {
        int count = 0;
        for (const Byte& b : bytes_) {
            if (b.at > now) break;
            ++count;
        }
        return count;
    }
    // Up to `count` of the bytes readable at `now`.
    std::string Take(int count, double now) {
        std::string out;
        while (count-- > 0 && !bytes_.empty() && bytes_.front().at <= now) {
            out += bytes_.front().byte;
            bytes_.pop_front();
        }
        return out;
    }

    static constexpr double kByteSeconds = 10.0 / 9600.0;  // start bit, 8 data bits, stop bit

private:
    struct Byte {
        char byte;
        double at;
    };
    std::deque<Byte> bytes_;
    uint32_t noise_;
};

}  // namespace corvane
