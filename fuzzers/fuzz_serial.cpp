// The serial link's reply collection fed by a port whose bytes, their timing and the line's
// failure come from the fuzzer, on virtual time. Every read ends within its bounded number of
// polls and returns what its rule promises; the position replies it collects parse to finite
// values or to nothing.
#include <cmath>
#include <deque>

#include "FuzzSupport.h"
#include "core/Clock.h"
#include "scope/AuditLogFile.h"
#include "scope/Lx200Codec.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDisplay.h"

using namespace corvane;

namespace {

// A port on virtual time: bytes arrive at set instants, or a set time after the next write;
// the line may break at a set instant (then it reports -1 and refuses writes).
class FuzzedPort final : public SerialPort {
public:
    FuzzedPort(const Clock& clock, fuzz::Bytes& script, bool failOpen) : clock_(clock), failOpen_(failOpen) {
        double at = 0.0;
        while (script.Left() > 0) {
            const uint8_t kind = script.Byte() % 3;
            const uint8_t delay = script.Byte();
            std::string bytes = script.Take(script.Byte());
            if (kind == 0) {
                at += delay * 0.01;
                for (char c : bytes) timed_.push_back({c, at});
            } else if (kind == 1) {
                onWrite_.push_back({std::move(bytes), delay * 0.005});
            } else {
                at += delay * 0.01;
                if (breakAt_ < 0.0) breakAt_ = at;
            }
        }
    }

    bool Open(const std::string&) override {
        open_ = !failOpen_;
        return open_;
    }
    bool IsOpen() const override { return open_; }
    int BytesWaiting() override {
        if (!open_ || Broken()) return -1;
        Release();
        return static_cast<int>(ready_.size());
    }
    std::string Read(int count) override {
        Release();
        std::string out;
        while (count-- > 0 && !ready_.empty()) {
            out += ready_.front();
            ready_.pop_front();
        }
        return out;
    }
    bool Write(std::string_view bytes) override {
        if (!open_ || Broken()) return false;
        written += bytes;
        if (!onWrite_.empty()) {
            const double at = clock_.MonotonicSeconds() + onWrite_.front().second;
            for (char c : onWrite_.front().first) timed_.push_back({c, at});
            std::stable_sort(timed_.begin(), timed_.end(),
                             [](const Pending& a, const Pending& b) { return a.at < b.at; });
            onWrite_.pop_front();
        }
        return true;
    }
    void Close() override { open_ = false; }

    std::string written;

private:
    struct Pending {
        char byte;
        double at;
    };
    bool Broken() const { return breakAt_ >= 0.0 && clock_.MonotonicSeconds() >= breakAt_; }
    void Release() {
        const double now = clock_.MonotonicSeconds();
        while (!timed_.empty() && timed_.front().at <= now) {
            ready_.push_back(timed_.front().byte);
            timed_.pop_front();
        }
    }

    const Clock& clock_;
    bool failOpen_;
    bool open_ = false;
    double breakAt_ = -1.0;
    std::deque<Pending> timed_;
    std::deque<std::pair<std::string, double>> onWrite_;
    std::deque<char> ready_;
};

// The longest a single operation may take on the virtual clock: the slowest read (the long
// polling read of the slow AutoStar) is under a quarter of an hour.
constexpr double kLongestOperationSeconds = 20 * 60.0;

bool ReplyRuleHolds(const std::string& reply) {
    return reply.empty() || reply.back() == '#' || reply == "1" || reply == "0" ||
           reply.find("elow") != std::string::npos;
}

void CheckPosition(const std::string& reply) {
    if (auto r = ParseDecRaReply(reply)) FUZZ_CHECK(std::isfinite(r->first) && std::isfinite(r->second));
    if (auto r = ParseAltAzReply(reply)) FUZZ_CHECK(std::isfinite(r->first) && std::isfinite(r->second));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes bytes(data, size);
    const auto type = static_cast<ScopeType>(bytes.Byte() % (static_cast<int>(ScopeType::Unknown) + 1));
    const uint8_t flags = bytes.Byte();
    std::string operations = bytes.Take(bytes.Byte() % 8);

    ManualClock clock(2457871.5);
    FuzzedPort port(clock, bytes, (flags & 1) != 0);
    NullTrackingDisplay display;
    AuditLogFile audit(clock);
    const bool auditing = (flags & 2) != 0 && audit.Open("/dev/null");
    SerialLink link(port, clock, display, auditing ? &audit : nullptr);
    link.SetScopeType(type);
    link.SetDeviceResolver([](int n) { return "fuzz" + std::to_string(n); });

    if (!link.Connect(1 + (flags >> 4))) {
        FUZZ_CHECK(link.ConnectedPort() == 0);
        // Go on as if connected, so the reads meet every kind of line.
        port.Open("fuzz");
        link.SetConnectedPort(1);
    }
    for (char op : operations) {
        const double start = clock.MonotonicSeconds();
        switch (static_cast<uint8_t>(op) % 8) {
            case 0: {
                link.SendCommand(kGetDecRa);
                const std::string reply = link.ReadReply();
                FUZZ_CHECK(ReplyRuleHolds(reply));
                CheckPosition(reply);
                break;
            }
            case 1: {
                link.SendCommand(kGetAltAz);
                const std::string reply = link.ReadUntilTerminator();
                FUZZ_CHECK(reply.empty() || reply.find('#') != std::string::npos);
                CheckPosition(reply);
                break;
            }
            case 2:
                CheckPosition(link.ReadAvailable());
                break;
            case 3: {
                link.SendCommand(kDistanceBars);
                const std::string reply = link.ReadAvailable();
                if (auto bars = ParseDistanceBars(reply)) FUZZ_CHECK(bars->ra.size() <= 16);
                (void)HasBars(reply);
                break;
            }
            case 4: {
                link.SendCommand(SetTargetAndSlewCommand(12.5, 45.25, link.LongFormat()));
                const std::string reply = link.ReadReply();
                FUZZ_CHECK(ReplyRuleHolds(reply));
                (void)ReplyRefusesSlew(reply);
                break;
            }
            case 5:
                (void)link.ReadWaiting();
                break;
            case 6:
                (void)link.Identify();
                break;
            default:
                link.Disconnect();
                FUZZ_CHECK(link.ConnectedPort() == 0);
                port.Open("fuzz");
                link.SetConnectedPort(1);
                break;
        }
        FUZZ_CHECK(clock.MonotonicSeconds() - start <= kLongestOperationSeconds);
    }
    return 0;
}
