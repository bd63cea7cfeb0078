// The INDI client: libindi's BaseClient receives on its own thread; what the engine needs from
// the device's properties is copied under a mutex as it arrives. Commands are sent as small
// property vectors of our own, so the session thread never touches the client's copies of the
// device's properties while the receiving thread updates them.
#include <libindi/baseclient.h>
#include <libindi/basedevice.h>
#include <libindi/indiproperty.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/Clock.h"
#include "core/Text.h"
#include "scope/IndiMount.h"

namespace corvane {

std::optional<IndiServer> ParseIndiAddress(const std::string& text, const std::string& device) {
    IndiServer server;
    server.device = device;
    const std::string trimmed = Trim(text);
    const size_t colon = trimmed.rfind(':');
    std::string host = trimmed;
    if (colon != std::string::npos) {
        host = trimmed.substr(0, colon);
        const std::string port = trimmed.substr(colon + 1);
        char* end = nullptr;
        const long value = std::strtol(port.c_str(), &end, 10);
        if (port.empty() || end == nullptr || *end != '\0' || value < 1 || value > 65535) return std::nullopt;
        server.port = static_cast<int>(value);
    }
    if (host.empty()) return std::nullopt;
    server.host = host;
    return server;
}

namespace {

class LibIndiMount final : public IndiMount, private INDI::BaseClient {
public:
    explicit LibIndiMount(const Clock& clock) : clock_(clock) {}
    ~LibIndiMount() override { Disconnect(); }

    bool Connect(const IndiServer& server, const std::function<bool(int)>& wait,
                 std::string& error) override {
        Disconnect();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            state_ = State{};
            device_ = server.device;
        }
        const std::string where = server.host + ":" + std::to_string(server.port);
        setServer(server.host.c_str(), static_cast<unsigned int>(server.port));
        setConnectionTimeout(3, 0);
        watchDevice(server.device.c_str());
        if (!connectServer()) {
            error = "Cannot connect to the INDI server at " + where + ".";
            return false;
        }
        serverUp_.store(true);
        // The device announces its properties; then it is asked to connect (a no-op when another
        // client has connected it already).
        if (!WaitFor(wait, 10000, [this] { return Snapshot().hasConnection; })) {
            if (error.empty() && serverUp_.load())
                error = "The INDI server at " + where + " has no device \"" + server.device + "\".";
            Disconnect();
            return false;
        }
        SendSwitch("CONNECTION", "CONNECT");
        if (!WaitFor(wait, 20000, [this] {
                const State s = Snapshot();
                return s.deviceConnected && s.position.has_value();
            })) {
            if (serverUp_.load())
                error = "The INDI device \"" + server.device + "\" at " + where + " did not connect.";
            else
                error = "The INDI server at " + where + " closed the connection.";
            Disconnect();
            return false;
        }
        return true;
    }

    void Disconnect() override {
        if (serverUp_.exchange(false) || isServerConnected()) disconnectServer();
    }

    bool Connected() const override { return serverUp_.load() && Snapshot().deviceConnected; }

    bool Slew(double raHours, double decDegrees) override {
        if (!SendSwitch("ON_COORD_SET", "TRACK")) return false;
        return SendNumbers("EQUATORIAL_EOD_COORD", "RA", raHours, "DEC", decDegrees);
    }

    std::optional<IndiPosition> Position() const override { return Snapshot().position; }
    bool OffersCustomRates() const override {
        const State s = Snapshot();
        return s.hasCustomMode && s.hasTrackRate;
    }
    IndiRateLimits RateLimits() const override { return Snapshot().limits; }
    bool SetCustomTrackMode() override { return SendSwitch("TELESCOPE_TRACK_MODE", "TRACK_CUSTOM"); }
    bool SetTrackRates(double ra, double dec) override {
        return SendNumbers("TELESCOPE_TRACK_RATE", "TRACK_RATE_RA", ra, "TRACK_RATE_DE", dec);
    }
    bool SetTracking(bool on) override {
        return SendSwitch("TELESCOPE_TRACK_STATE", on ? "TRACK_ON" : "TRACK_OFF");
    }
    bool Abort() override { return SendSwitch("TELESCOPE_ABORT_MOTION", "ABORT"); }

private:
    struct State {
        bool hasConnection = false, deviceConnected = false;
        bool hasCustomMode = false, hasTrackRate = false;
        IndiRateLimits limits;
        std::optional<IndiPosition> position;
    };

    State Snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return state_;
    }

    template <typename Ready>
    bool WaitFor(const std::function<bool(int)>& wait, int milliseconds, Ready ready) {
        for (int waited = 0; !ready(); waited += 100) {
            if (waited >= milliseconds || !serverUp_.load() || !wait(100)) return false;
        }
        return true;
    }

    bool SendSwitch(const char* property, const char* element) {
        if (!serverUp_.load()) return false;
        INDI::PropertySwitch vector(1);
        vector.setDeviceName(device_.c_str());
        vector.setName(property);
        vector[0].setName(element);
        vector[0].setState(ISS_ON);
        sendNewSwitch(vector);
        return serverUp_.load();
    }

    bool SendNumbers(const char* property, const char* name1, double value1, const char* name2,
                     double value2) {
        if (!serverUp_.load()) return false;
        INDI::PropertyNumber vector(2);
        vector.setDeviceName(device_.c_str());
        vector.setName(property);
        vector[0].setName(name1);
        vector[0].setValue(value1);
        vector[1].setName(name2);
        vector[1].setValue(value2);
        sendNewNumber(vector);
        return serverUp_.load();
    }

    // ---- the receiving thread ----
    void Take(INDI::Property property, bool removed) {
        if (device_ != property.getDeviceName()) return;
        const std::string name = property.getName();
        std::lock_guard<std::mutex> lock(mutex_);
        if (name == "CONNECTION") {
            state_.hasConnection = !removed;
            const auto* sw = property.getSwitch();
            bool on = false;
            if (!removed && sw != nullptr)
                for (int i = 0; i < sw->count(); ++i)
                    if (std::strcmp(sw->at(static_cast<size_t>(i))->getName(), "CONNECT") == 0)
                        on = sw->at(static_cast<size_t>(i))->getState() == ISS_ON;
            state_.deviceConnected = on;
        } else if (name == "EQUATORIAL_EOD_COORD") {
            const auto* nv = property.getNumber();
            if (removed || nv == nullptr) {
                state_.position.reset();
                return;
            }
            IndiPosition p;
            bool ra = false, dec = false;
            for (int i = 0; i < nv->count(); ++i) {
                const auto* n = nv->at(static_cast<size_t>(i));
                if (std::strcmp(n->getName(), "RA") == 0) p.raHours = n->getValue(), ra = true;
                if (std::strcmp(n->getName(), "DEC") == 0) p.decDegrees = n->getValue(), dec = true;
            }
            if (!ra || !dec || !std::isfinite(p.raHours) || !std::isfinite(p.decDegrees)) return;
            p.slewing = nv->getState() == IPS_BUSY;
            p.receivedAt = clock_.MonotonicSeconds();
            state_.position = p;
        } else if (name == "TELESCOPE_TRACK_MODE") {
            const auto* sw = property.getSwitch();
            state_.hasCustomMode = false;
            if (!removed && sw != nullptr)
                for (int i = 0; i < sw->count(); ++i)
                    if (std::strcmp(sw->at(static_cast<size_t>(i))->getName(), "TRACK_CUSTOM") == 0)
                        state_.hasCustomMode = true;
        } else if (name == "TELESCOPE_TRACK_RATE") {
            const auto* nv = property.getNumber();
            state_.hasTrackRate = !removed && nv != nullptr;
            if (state_.hasTrackRate) {
                for (int i = 0; i < nv->count(); ++i) {
                    const auto* n = nv->at(static_cast<size_t>(i));
                    // A driver that leaves min = max = 0 sets no limit.
                    if (n->getMin() >= n->getMax()) continue;
                    if (std::strcmp(n->getName(), "TRACK_RATE_RA") == 0) {
                        state_.limits.raMin = n->getMin();
                        state_.limits.raMax = n->getMax();
                    } else if (std::strcmp(n->getName(), "TRACK_RATE_DE") == 0) {
                        state_.limits.decMin = n->getMin();
                        state_.limits.decMax = n->getMax();
                    }
                }
            }
        }
    }

    void newProperty(INDI::Property property) override { Take(property, false); }
    void updateProperty(INDI::Property property) override { Take(property, false); }
    void removeProperty(INDI::Property property) override { Take(property, true); }
    void removeDevice(INDI::BaseDevice device) override {
        if (device_ != device.getDeviceName()) return;
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = State{};
    }
    void serverDisconnected(int) override { serverUp_.store(false); }

    const Clock& clock_;
    std::string device_;  // written only while the client is disconnected
    mutable std::mutex mutex_;
    State state_;
    std::atomic<bool> serverUp_{false};
};

}  // namespace

std::unique_ptr<IndiMount> MakeLibIndiMount(const Clock& clock) {
    return std::make_unique<LibIndiMount>(clock);
}

}  // namespace corvane
