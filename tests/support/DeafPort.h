#pragma once
// A line in front of a simulated mount that loses some commands, as a mount that does not know
// them: they are written (and recorded) but never reach the mount, so no reply comes.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scope/SerialPort.h"

namespace corvane::test {

class DeafPort : public SerialPort {
public:
    DeafPort(SerialPort& mount, std::vector<std::string> lost) : mount_(mount), lost_(std::move(lost)) {}
    bool Open(const std::string& device) override { return mount_.Open(device); }
    bool IsOpen() const override { return mount_.IsOpen(); }
    int BytesWaiting() override { return mount_.BytesWaiting(); }
    std::string Read(int count) override { return mount_.Read(count); }
    bool Write(std::string_view bytes) override {
        written_.emplace_back(bytes);
        if (std::find(lost_.begin(), lost_.end(), bytes) != lost_.end()) return true;
        return mount_.Write(bytes);
    }
    void Close() override { mount_.Close(); }
    // Every write, lost or not. Not thread-safe: read it while the line is idle.
    size_t Written(std::string_view bytes) const {
        return static_cast<size_t>(std::count(written_.begin(), written_.end(), bytes));
    }

private:
    SerialPort& mount_;
    std::vector<std::string> lost_;
    std::vector<std::string> written_;
};

}  // namespace corvane::test
