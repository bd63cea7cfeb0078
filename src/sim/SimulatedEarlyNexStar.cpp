#include "sim/SimulatedEarlyNexStar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kStep = 0.01;
constexpr double kArrived = 0.01;        // degrees: the goto has ended
constexpr double kCommandTimeout = 1.0;  // seconds: a command left unfinished is dropped
constexpr size_t kMaxLine = 32;          // Ultima: a longer line is noise and dropped
constexpr size_t kMaxCommandHistory = 200000;

double Wrap360(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
}

double Wrap180(double degrees) {
    degrees = Wrap360(degrees);
    return degrees >= 180.0 ? degrees - 360.0 : degrees;
}

void DriveAxis(double& velocity, double error, double maxRate, double acceleration, double dt) {
    double wanted = std::min(maxRate, std::sqrt(2.0 * acceleration * std::fabs(error)));
    wanted = std::min(wanted, std::fabs(error) / dt);
    if (error < 0) wanted = -wanted;
    velocity += std::clamp(wanted - velocity, -acceleration * dt, acceleration * dt);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Four hexadecimal digits; -1 when they are not.
int Hex16(std::string_view text) {
    if (text.size() != 4) return -1;
    int value = 0;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

// A 16-bit declination value to degrees (-180..180).
double SignedTurnDegrees(int value) {
    const double degrees = value / 65536.0 * 360.0;
    return degrees > 180.0 ? degrees - 360.0 : degrees;
}

size_t NexStar58CommandLength(char first) {
    switch (first) {
        case 'E':
        case 'L':
        case '?':
            return 1;
        case 'R':
            return 5;
        default:
            return 0;  // not a command: ignored
    }
}

}  // namespace

std::optional<EarlyNexStarModel> EarlyNexStarModelFromName(std::string_view name) {
    if (name == "ultima") return EarlyNexStarModel::Ultima2000;
    if (name == "nexstar58") return EarlyNexStarModel::NexStar58;
    return std::nullopt;
}

EarlyNexStarParameters DefaultEarlyNexStarParameters(EarlyNexStarModel model) {
    EarlyNexStarParameters p;
    if (model == EarlyNexStarModel::NexStar58) {
        p.maxGotoRate = 3.0;
        p.acceleration = 2.0;
        p.commandLatency = 0.15;
        p.replyLatency = 0.08;
        p.busySeconds = 0.25;
    }
    return p;
}

SimulatedEarlyNexStar::SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock)
    : SimulatedEarlyNexStar(model, site, clock, DefaultEarlyNexStarParameters(model)) {}

SimulatedEarlyNexStar::SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock,
                                             const EarlyNexStarParameters& parameters)
    : model_(model), parameters_(parameters), clock_(clock), site_(site), simTime_(clock.MonotonicSeconds()) {
    std::lock_guard<std::mutex> lock(mutex_);
    RaDecOf(az_, alt_, UtcNow(), targetRa_, targetDec_);
}

// ---- SerialPort ----

bool SimulatedEarlyNexStar::Open(const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault_ == MountFault::ClosedLine) return false;
    open_ = true;
    return true;
}

bool SimulatedEarlyNexStar::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SimulatedEarlyNexStar::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

int SimulatedEarlyNexStar::BytesWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return -1;
    Advance();
    return line_.Ready(clock_.MonotonicSeconds());
}

std::string SimulatedEarlyNexStar::Read(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return {};
    return line_.Take(count, clock_.MonotonicSeconds());
}

bool SimulatedEarlyNexStar::Write(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return false;
    Advance();
    for (char c : bytes) Receive(c);
    if (!lost_.empty()) {
        Record(lost_, "(lost) ");
        lost_.clear();
    }
    return true;
}

// ---- world side ----

MountState SimulatedEarlyNexStar::State() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    MountState s{};
    s.utcJulianDate = UtcNow();
    s.azimuth = az_;
    s.altitude = alt_;
    RaDecOf(az_, alt_, s.utcJulianDate, s.raHours, s.decDegrees);
    s.slewing = gotoActive_;
    return s;
}

void SimulatedEarlyNexStar::InjectFault(MountFault fault, double stallSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = fault;
    stallSeconds_ = stallSeconds;
}

void SimulatedEarlyNexStar::SetClockOffsetDays(double days) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    clockOffsetDays_ = std::isfinite(days) ? days : 0.0;
    // The tube stays where it is on the ground and tracks the sky from there.
    RaDecOf(az_, alt_, UtcNow(), targetRa_, targetDec_);
}

void SimulatedEarlyNexStar::PointAt(double azimuth, double altitude) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    az_ = Wrap360(azimuth);
    alt_ = std::clamp(altitude, -10.0, 90.0);
    vAz_ = vAlt_ = 0.0;
    gotoActive_ = false;
    RaDecOf(az_, alt_, UtcNow(), targetRa_, targetDec_);
}

std::vector<std::string> SimulatedEarlyNexStar::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

// ---- sky ----

double SimulatedEarlyNexStar::UtcNow() const {
    return clock_.LocalJulianDate() - site_.utcOffsetHours / 24.0 + clockOffsetDays_;
}

double SimulatedEarlyNexStar::LocalSiderealDegrees(double utc) const {
    const double d = utc - 2451545.0;
    const double t = d / 36525.0;
    const double gmst = 280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    return Wrap360(gmst + site_.longitude);
}

void SimulatedEarlyNexStar::AltAzOf(double raHours, double decDeg, double utc, double& az,
                                    double& alt) const {
    const double h = (LocalSiderealDegrees(utc) - raHours * 15.0) * kDeg;
    const double dec = decDeg * kDeg, lat = site_.latitude * kDeg;
    const double sinAlt = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(h);
    alt = std::asin(std::clamp(sinAlt, -1.0, 1.0)) / kDeg;
    az = Wrap360(std::atan2(-std::cos(dec) * std::sin(h),
                            std::sin(dec) * std::cos(lat) - std::cos(dec) * std::sin(lat) * std::cos(h)) /
                 kDeg);
}

void SimulatedEarlyNexStar::RaDecOf(double az, double alt, double utc, double& raHours,
                                    double& decDeg) const {
    const double a = az * kDeg, e = alt * kDeg, lat = site_.latitude * kDeg;
    const double sinDec = std::sin(lat) * std::sin(e) + std::cos(lat) * std::cos(e) * std::cos(a);
    decDeg = std::asin(std::clamp(sinDec, -1.0, 1.0)) / kDeg;
    const double h = std::atan2(-std::sin(a) * std::cos(e),
                                std::sin(e) * std::cos(lat) - std::cos(e) * std::sin(lat) * std::cos(a)) /
                     kDeg;
    raHours = Wrap360(LocalSiderealDegrees(utc) - h) / 15.0;
}

// ---- motion ----

void SimulatedEarlyNexStar::Advance() {
    const double now = clock_.MonotonicSeconds();
    if (now <= simTime_) return;
    const double gap = now - simTime_;
    const double step = gap > 600.0 ? gap / 60000.0 : kStep;
    const double utcNow = UtcNow();
    auto actOnPending = [this](double upTo) {
        while (!pending_.empty() && pending_.front().at <= upTo) {
            const std::string command = pending_.front().command;
            pending_.pop_front();
            Act(command);
        }
    };
    while (simTime_ < now) {
        double h = std::min(step, now - simTime_);
        if (!pending_.empty()) h = std::clamp(pending_.front().at - simTime_, 0.0, h);
        if (h > 0) {
            simTime_ += h;
            Step(h, utcNow - (now - simTime_) / 86400.0);
        }
        actOnPending(simTime_);
    }
    actOnPending(now);
}

void SimulatedEarlyNexStar::Step(double dt, double utc) {
    // A goto runs at the goto speed; afterwards the motors follow the sky at the target.
    double wantAz = 0, wantAlt = 0;
    AltAzOf(targetRa_, targetDec_, utc, wantAz, wantAlt);
    wantAlt = std::clamp(wantAlt, -10.0, 90.0);  // the fork's stops
    DriveAxis(vAz_, Wrap180(wantAz - az_), parameters_.maxGotoRate, parameters_.acceleration, dt);
    DriveAxis(vAlt_, wantAlt - alt_, parameters_.maxGotoRate, parameters_.acceleration, dt);
    az_ = Wrap360(az_ + vAz_ * dt);
    alt_ = std::clamp(alt_ + vAlt_ * dt, -10.0, 90.0);
    if (gotoActive_ && std::fabs(Wrap180(wantAz - az_)) < kArrived && std::fabs(wantAlt - alt_) < kArrived &&
        std::fabs(vAz_) < 0.05 && std::fabs(vAlt_) < 0.05) {
        gotoActive_ = false;
    }
}

// ---- protocol ----

void SimulatedEarlyNexStar::Record(const std::string& command, const char* prefix) {
    if (commands_.size() >= kMaxCommandHistory) return;
    std::string readable = prefix;
    for (unsigned char c : command) {
        if (c >= 32 && c < 127)
            readable += static_cast<char>(c);
        else
            readable += "<" + std::to_string(c) + ">";
    }
    commands_.push_back(readable);
}

void SimulatedEarlyNexStar::Receive(char byte) {
    if (fault_ == MountFault::Silence) return;
    const double now = clock_.MonotonicSeconds();
    if (!command_.empty() && now - commandStartedAt_ > kCommandTimeout) command_.clear();

    if (model_ == EarlyNexStarModel::Ultima2000) {
        if (byte == '\n') return;
        if (byte == '\r') {
            std::string line;
            line.swap(command_);
            if (line.empty()) return;
            Record(line);
            Execute(line);
            return;
        }
        if (command_.empty()) commandStartedAt_ = now;
        command_ += byte;
        if (command_.size() > kMaxLine) command_.clear();
        return;
    }

    // NexStar 5/8: one command at a time.
    if (command_.empty()) {
        if (now < busyUntil_) {
            lost_ += byte;
            return;
        }
        if (NexStar58CommandLength(byte) == 0) return;
        commandStartedAt_ = now;
    }
    command_ += byte;
    if (command_.size() < NexStar58CommandLength(command_[0])) return;
    std::string command;
    command.swap(command_);
    Record(command);
    busyUntil_ = now + parameters_.busySeconds;
    Execute(command);
}

void SimulatedEarlyNexStar::Reply(std::string text) {
    line_.Send(std::move(text), clock_.MonotonicSeconds(), parameters_.replyLatency, fault_, stallSeconds_,
               "#,");
}

void SimulatedEarlyNexStar::Execute(const std::string& command) {
    const double now = clock_.MonotonicSeconds();
    auto later = [&] { pending_.push_back({now + parameters_.commandLatency, command}); };
    const bool ultima = model_ == EarlyNexStarModel::Ultima2000;
    switch (command[0]) {
        case 'E': {
            if (command.size() != 1) return;
            double ra = 0, dec = 0;
            RaDecOf(az_, alt_, UtcNow(), ra, dec);
            const long x = std::lround(Wrap360(ra * 15.0) / 360.0 * 65536.0) % 65536;
            const long y = std::lround(Wrap360(dec) / 360.0 * 65536.0) % 65536;
            char text[16];
            std::snprintf(text, sizeof text, "%04lX,%04lX#", x, y);
            return Reply(text);
        }
        case 'L': {
            if (command.size() != 1) return;
            bool going = gotoActive_;
            for (const auto& p : pending_) going = going || p.command[0] == 'R';
            return Reply(going ? "1#" : "0#");
        }
        case 'R':
            if (ultima) {
                // "R" + four hexadecimal digits + "," + four hexadecimal digits.
                if (command.size() != 10 || command[5] != ',' ||
                    Hex16(std::string_view(command).substr(1, 4)) < 0 ||
                    Hex16(std::string_view(command).substr(6, 4)) < 0)
                    return;
            }
            later();
            return Reply("#");
        case 'M':
        case 'U':
            if (!ultima || command.size() != 1) return;
            if (command[0] == 'M') later();
            return Reply("#");
        case '?':
            later();
            return Reply("#");
        default:
            return;
    }
}

void SimulatedEarlyNexStar::Act(const std::string& command) {
    const double utc = UtcNow();
    switch (command[0]) {
        case 'R': {
            int raValue = 0, decValue = 0;
            if (model_ == EarlyNexStarModel::Ultima2000) {
                raValue = Hex16(std::string_view(command).substr(1, 4));
                decValue = Hex16(std::string_view(command).substr(6, 4));
            } else {
                const auto at = [&](size_t i) { return static_cast<unsigned char>(command[i]); };
                raValue = at(1) * 256 + at(2);
                decValue = at(3) * 256 + at(4);
            }
            const double dec = SignedTurnDegrees(decValue);
            // A declination beyond the pole is not a place; the hand controller ignores the goto.
            if (std::fabs(dec) > 90.0) return;
            targetRa_ = raValue / 65536.0 * 24.0;
            targetDec_ = dec;
            gotoActive_ = true;
            return;
        }
        case 'M':
        case '?':
            // The motors brake and the tube tracks the sky from where it comes to rest.
            gotoActive_ = false;
            RaDecOf(az_, alt_, utc, targetRa_, targetDec_);
            return;
        default:
            return;
    }
}

}  // namespace corvane
