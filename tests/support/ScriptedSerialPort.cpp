#include "support/ScriptedSerialPort.h"

#include <algorithm>

namespace corvane::test {

void ScriptedSerialPort::Expect(std::string command, std::string reply, int delayMs) {
    rules_.push_back({std::move(command), std::move(reply), delayMs, false});
}

void ScriptedSerialPort::Always(std::string command, std::string reply, int delayMs) {
    rules_.push_back({std::move(command), std::move(reply), delayMs, true});
}

void ScriptedSerialPort::Feed(const std::string& bytes, int delayMs) {
    const double at = Now() + delayMs / 1000.0;
    for (char c : bytes) input_.push_back({c, at});
    std::stable_sort(input_.begin(), input_.end(),
                     [](const Pending& a, const Pending& b) { return a.at < b.at; });
}

bool ScriptedSerialPort::Open(const std::string& device) {
    openedDevice = device;
    ++openCount;
    open_ = !failOpen;
    return open_;
}

int ScriptedSerialPort::BytesWaiting() {
    if (!open_ || closedLine) return -1;
    const double now = Now();
    return static_cast<int>(
        std::count_if(input_.begin(), input_.end(), [now](const Pending& p) { return p.at <= now; }));
}

std::string ScriptedSerialPort::Read(int count) {
    std::string bytes;
    const double now = Now();
    while (count-- > 0 && !input_.empty() && input_.front().at <= now) {
        bytes += input_.front().byte;
        input_.pop_front();
    }
    return bytes;
}

bool ScriptedSerialPort::Write(std::string_view bytes) {
    if (!open_ || closedLine) return false;
    writes.emplace_back(bytes);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->command == bytes) {
            Feed(it->reply, it->delayMs);
            if (!it->always) rules_.erase(it);
            break;
        }
    }
    return true;
}

void ScriptedSerialPort::Close() { open_ = false; }

std::string ScriptedSerialPort::Written() const {
    std::string all;
    for (const auto& w : writes) all += w;
    return all;
}

}  // namespace corvane::test
