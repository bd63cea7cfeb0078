#include "sim/SimulatedNexStar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kStep = 0.01;
constexpr double kArrived = 0.01;            // degrees: the goto has ended
constexpr double kCommandTimeout = 1.0;      // seconds: a command left unfinished is dropped
constexpr double kUnitsPerDegree = 14400.0;  // pass-through rate units (quarter arcseconds)
constexpr size_t kMaxCommandHistory = 200000;

double Wrap360(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
}

double Wrap180(double degrees) {
    degrees = Wrap360(degrees);
    return degrees >= 180.0 ? degrees - 360.0 : degrees;
}

// Towards `error` with a speed limit, braking in time to stop at the target.
void DriveAxis(double& velocity, double error, double maxRate, double acceleration, double dt) {
    double wanted = std::min(maxRate, std::sqrt(2.0 * acceleration * std::fabs(error)));
    wanted = std::min(wanted, std::fabs(error) / dt);
    if (error < 0) wanted = -wanted;
    velocity += std::clamp(wanted - velocity, -acceleration * dt, acceleration * dt);
}

void Ramp(double& velocity, double wanted, double acceleration, double dt) {
    velocity += std::clamp(wanted - velocity, -acceleration * dt, acceleration * dt);
}

int HexValue(std::string_view text) {
    long value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return -1;
        value = value * 16 + d;
    }
    return static_cast<int>(value & 0x7FFFFFFF);
}

// "XXXX,YYYY" or "XXXXXXXX,YYYYYYYY" as fractions of a turn.
bool DecodePair(std::string_view text, double& first, double& second) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    const std::string_view a = text.substr(0, comma), b = text.substr(comma + 1);
    if (a.size() != b.size() || (a.size() != 4 && a.size() != 8)) return false;
    const double scale = a.size() == 4 ? 65536.0 : 4294967296.0;
    // Eight digits may not fit a positive int: read them in two halves.
    auto read = [&](std::string_view digits) -> double {
        if (digits.size() == 4) return HexValue(digits);
        const int high = HexValue(digits.substr(0, 4)), low = HexValue(digits.substr(4));
        return high < 0 || low < 0 ? -1.0 : high * 65536.0 + low;
    };
    const double x = read(a), y = read(b);
    if (x < 0 || y < 0) return false;
    first = x / scale;
    second = y / scale;
    return true;
}

std::string EncodePair(double firstTurns, double secondTurns, bool precise) {
    char text[40];
    auto turns = [](double t) { return t - std::floor(t); };
    if (precise) {
        // 24 significant bits, as the hand controller gives them.
        const auto x = static_cast<unsigned long>(std::llround(turns(firstTurns) * 16777216.0) % 16777216)
                       << 8;
        const auto y = static_cast<unsigned long>(std::llround(turns(secondTurns) * 16777216.0) % 16777216)
                       << 8;
        std::snprintf(text, sizeof text, "%08lX,%08lX#", x, y);
    } else {
        const long x = std::llround(turns(firstTurns) * 65536.0) % 65536;
        const long y = std::llround(turns(secondTurns) * 65536.0) % 65536;
        std::snprintf(text, sizeof text, "%04lX,%04lX#", x, y);
    }
    return text;
}

// Fixed slew rates 1 to 9 of the hand controller, degrees per second.
constexpr double kFixedRates[] = {0.0, 0.0083, 0.0167, 0.0333, 0.0667, 0.133, 0.5, 1.0, 2.0, 4.0};

}  // namespace

std::optional<NexStarModel> NexStarModelFromName(std::string_view name) {
    if (name == "nexstargps") return NexStarModel::NexStarGps;
    if (name == "cge") return NexStarModel::Cge;
    return std::nullopt;
}

std::optional<NexStarMounting> NexStarMountingFromName(std::string_view name) {
    if (name == "altaz") return NexStarMounting::AltAz;
    if (name == "eqn") return NexStarMounting::EqNorth;
    if (name == "eqs") return NexStarMounting::EqSouth;
    return std::nullopt;
}

NexStarParameters DefaultNexStarParameters(NexStarModel model) {
    NexStarParameters p;
    if (model == NexStarModel::Cge) {
        p.maxGotoRate = 5.0;
        p.acceleration = 3.0;
        p.commandLatency = 0.04;
        p.replyLatency = 0.05;
    }
    return p;
}

SimulatedNexStar::SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock)
    : SimulatedNexStar(model, site, clock, DefaultNexStarParameters(model)) {}

SimulatedNexStar::SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock,
                                   const NexStarParameters& parameters)
    : model_(model), parameters_(parameters), clock_(clock), site_(site), simTime_(clock.MonotonicSeconds()) {
    std::lock_guard<std::mutex> lock(mutex_);
    double ra = 0, dec = 0;
    // At power-on: pointing south, half way up.
    RaDecOf(180.0, 45.0, UtcNow(), ra, dec);
    AxesFromSky(ra, dec, UtcNow(), false, a1_, a2_);
    CaptureHere(UtcNow());
}

// ---- SerialPort ----

bool SimulatedNexStar::Open(const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault_ == MountFault::ClosedLine) return false;
    open_ = true;
    return true;
}

bool SimulatedNexStar::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SimulatedNexStar::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

int SimulatedNexStar::BytesWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return -1;
    Advance();
    return line_.Ready(clock_.MonotonicSeconds());
}

std::string SimulatedNexStar::Read(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return {};
    return line_.Take(count, clock_.MonotonicSeconds());
}

bool SimulatedNexStar::Write(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return false;
    Advance();
    for (char c : bytes) Receive(c);
    return true;
}

// ---- world side ----

MountState SimulatedNexStar::State() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    MountState s{};
    s.utcJulianDate = UtcNow();
    SkyFromAxes(a1_, a2_, s.utcJulianDate, s.raHours, s.decDegrees);
    AltAzOf(s.raHours, s.decDegrees, s.utcJulianDate, s.azimuth, s.altitude);
    if (AltAzMount()) {
        s.azimuth = Wrap360(a1_);
        s.altitude = a2_;
    }
    s.slewing = gotoActive_;
    return s;
}

void SimulatedNexStar::InjectFault(MountFault fault, double stallSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = fault;
    stallSeconds_ = stallSeconds;
}

void SimulatedNexStar::SetClockOffsetDays(double days) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    double ra = 0, dec = 0;
    SkyFromAxes(a1_, a2_, UtcNow(), ra, dec);
    double az = 0, alt = 0;
    AltAzOf(ra, dec, UtcNow(), az, alt);
    clockOffsetDays_ = std::isfinite(days) ? days : 0.0;
    // The tube stays where it is on the ground.
    RaDecOf(az, alt, UtcNow(), ra, dec);
    AxesFromSky(ra, dec, UtcNow(), a2_ > 90.0, a1_, a2_);
    CaptureHere(UtcNow());
}

std::vector<std::string> SimulatedNexStar::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

void SimulatedNexStar::PointAt(double azimuth, double altitude) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    const double utc = UtcNow();
    double ra = 0, dec = 0;
    RaDecOf(azimuth, altitude, utc, ra, dec);
    const double ha = Wrap180(LocalSiderealDegrees(utc) - ra * 15.0);
    AxesFromSky(ra, dec, utc, German() && ha >= 0.0, a1_, a2_);
    if (AltAzMount()) {
        a1_ = Wrap360(azimuth);
        a2_ = altitude;
    }
    v1_ = v2_ = rate1_ = rate2_ = 0.0;
    gotoActive_ = false;
    CaptureHere(utc);
}

bool SimulatedNexStar::PierFlipped() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    return German() && a2_ > 90.0;
}

double SimulatedNexStar::VariableRate(int axis) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    return axis == 1 ? rate1_ : rate2_;
}

int SimulatedNexStar::TrackingMode() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    return trackingMode_;
}

// ---- sky ----

double SimulatedNexStar::UtcNow() const {
    return clock_.LocalJulianDate() - site_.utcOffsetHours / 24.0 + clockOffsetDays_;
}

double SimulatedNexStar::LocalSiderealDegrees(double utc) const {
    const double d = utc - 2451545.0;
    const double t = d / 36525.0;
    const double gmst = 280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    return Wrap360(gmst + site_.longitude);
}

void SimulatedNexStar::AltAzOf(double raHours, double decDeg, double utc, double& az, double& alt) const {
    const double h = (LocalSiderealDegrees(utc) - raHours * 15.0) * kDeg;
    const double dec = decDeg * kDeg, lat = site_.latitude * kDeg;
    const double sinAlt = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(h);
    alt = std::asin(std::clamp(sinAlt, -1.0, 1.0)) / kDeg;
    az = Wrap360(std::atan2(-std::cos(dec) * std::sin(h),
                            std::sin(dec) * std::cos(lat) - std::cos(dec) * std::sin(lat) * std::cos(h)) /
                 kDeg);
}

void SimulatedNexStar::RaDecOf(double az, double alt, double utc, double& raHours, double& decDeg) const {
    const double a = az * kDeg, e = alt * kDeg, lat = site_.latitude * kDeg;
    const double sinDec = std::sin(lat) * std::sin(e) + std::cos(lat) * std::cos(e) * std::cos(a);
    decDeg = std::asin(std::clamp(sinDec, -1.0, 1.0)) / kDeg;
    const double h = std::atan2(-std::sin(a) * std::cos(e),
                                std::sin(e) * std::cos(lat) - std::cos(e) * std::sin(lat) * std::cos(a)) /
                     kDeg;
    raHours = Wrap360(LocalSiderealDegrees(utc) - h) / 15.0;
}

// Alt-Az fork: axis 1 azimuth, axis 2 altitude. Fork on a wedge: axis 1 the hour angle (a
// positive motor rate follows the sky), axis 2 the declination. German: axis 1 is the hour angle
// plus 90 (tube east of the pier) or minus 90 (west of the pier), axis 2 the declination, or 180
// minus it on the west side.
void SimulatedNexStar::AxesFromSky(double raHours, double decDeg, double utc, bool flipped, double& a1,
                                   double& a2) const {
    if (AltAzMount()) {
        AltAzOf(raHours, decDeg, utc, a1, a2);
        return;
    }
    const double ha = Wrap180(LocalSiderealDegrees(utc) - raHours * 15.0);
    if (!German()) {
        a1 = ha;
        a2 = decDeg;
    } else if (flipped) {
        a1 = ha - 90.0;
        a2 = 180.0 - decDeg;
    } else {
        a1 = Wrap180(ha + 90.0);
        a2 = decDeg;
    }
}

void SimulatedNexStar::SkyFromAxes(double a1, double a2, double utc, double& raHours, double& decDeg) const {
    if (AltAzMount()) {
        RaDecOf(a1, a2, utc, raHours, decDeg);
        return;
    }
    double ha = a1, dec = a2;
    if (German()) {
        if (a2 > 90.0) {
            ha = a1 + 90.0;
            dec = 180.0 - a2;
        } else {
            ha = a1 - 90.0;
        }
    }
    raHours = Wrap360(LocalSiderealDegrees(utc) - ha) / 15.0;
    decDeg = dec;
}

void SimulatedNexStar::CaptureHere(double utc) { SkyFromAxes(a1_, a2_, utc, holdRa_, holdDec_); }

// ---- motion ----

void SimulatedNexStar::Advance() {
    const double now = clock_.MonotonicSeconds();
    if (now <= simTime_) return;
    const double gap = now - simTime_;
    const double step = gap > 600.0 ? gap / 60000.0 : kStep;
    const double utcNow = UtcNow();
    while (simTime_ < now) {
        double h = std::min(step, now - simTime_);
        if (!pending_.empty()) h = std::clamp(pending_.front().at - simTime_, 0.0, h);
        if (h > 0) {
            simTime_ += h;
            Step(h, utcNow - (now - simTime_) / 86400.0);
        }
        while (!pending_.empty() && pending_.front().at <= simTime_) {
            const std::string command = pending_.front().command;
            pending_.pop_front();
            Act(command);
        }
    }
    while (!pending_.empty() && pending_.front().at <= now) {
        const std::string command = pending_.front().command;
        pending_.pop_front();
        Act(command);
    }
}

void SimulatedNexStar::Step(double dt, double utc) {
    const double accel = parameters_.acceleration;
    const bool wrapsAxis1 = !German();  // the German RA axis cannot turn round and round
    if (gotoActive_) {
        double t1 = 0, t2 = 0;
        if (gotoAltAz_ && AltAzMount()) {
            t1 = gotoAz_;
            t2 = gotoAlt_;
        } else {
            double ra = gotoRa_, dec = gotoDec_;
            if (gotoAltAz_) RaDecOf(gotoAz_, gotoAlt_, utc, ra, dec);
            AxesFromSky(ra, dec, utc, gotoFlipped_, t1, t2);
        }
        const double e1 = wrapsAxis1 ? Wrap180(t1 - a1_) : t1 - a1_;
        const double e2 = t2 - a2_;
        DriveAxis(v1_, e1, parameters_.maxGotoRate, accel, dt);
        DriveAxis(v2_, e2, parameters_.maxGotoRate, accel, dt);
    } else if (rate1_ == 0.0 && rate2_ == 0.0 && trackingMode_ != 0) {
        // Tracking: the motors follow the sky at up to the variable rate.
        double t1 = 0, t2 = 0;
        AxesFromSky(holdRa_, holdDec_, utc, German() && a2_ > 90.0, t1, t2);
        DriveAxis(v1_, wrapsAxis1 ? Wrap180(t1 - a1_) : t1 - a1_, parameters_.maxVariableRate, accel, dt);
        DriveAxis(v2_, t2 - a2_, parameters_.maxVariableRate, accel, dt);
    } else {
        Ramp(v1_, rate1_, accel, dt);
        Ramp(v2_, rate2_, accel, dt);
    }
    a1_ += v1_ * dt;
    a2_ += v2_ * dt;
    if (AltAzMount()) {
        a1_ = Wrap360(a1_);
        // The fork stops at the zenith and a little below the horizon.
        if (a2_ > 90.0 || a2_ < -10.0) {
            a2_ = std::clamp(a2_, -10.0, 90.0);
            v2_ = 0.0;
        }
    } else if (!German()) {
        a1_ = Wrap180(a1_);
        if (std::fabs(a2_) > 90.0) {
            a2_ = std::clamp(a2_, -90.0, 90.0);
            v2_ = 0.0;
        }
    }
    if (gotoActive_) {
        double t1 = 0, t2 = 0;
        if (gotoAltAz_ && AltAzMount()) {
            t1 = gotoAz_;
            t2 = gotoAlt_;
        } else {
            double ra = gotoRa_, dec = gotoDec_;
            if (gotoAltAz_) RaDecOf(gotoAz_, gotoAlt_, utc, ra, dec);
            AxesFromSky(ra, dec, utc, gotoFlipped_, t1, t2);
        }
        const double e1 = wrapsAxis1 ? Wrap180(t1 - a1_) : t1 - a1_;
        if (std::fabs(e1) < kArrived && std::fabs(t2 - a2_) < kArrived && std::fabs(v1_) < 0.05 &&
            std::fabs(v2_) < 0.05) {
            gotoActive_ = false;
            CaptureHere(utc);
        }
    }
}

void SimulatedNexStar::StartGoto(double raHours, double decDeg, double utc) {
    gotoActive_ = true;
    gotoAltAz_ = false;
    gotoRa_ = raHours;
    gotoDec_ = decDeg;
    rate1_ = rate2_ = 0.0;
    // A German mount takes the side of the pier that keeps the tube above the counterweight.
    gotoFlipped_ = German() && Wrap180(LocalSiderealDegrees(utc) - raHours * 15.0) >= 0.0;
}

void SimulatedNexStar::StartGotoAltAz(double az, double alt, double utc) {
    double ra = 0, dec = 0;
    RaDecOf(az, alt, utc, ra, dec);
    StartGoto(ra, dec, utc);
    gotoAltAz_ = true;
    gotoAz_ = Wrap360(az);
    gotoAlt_ = alt;
}

// ---- protocol ----

size_t SimulatedNexStar::CommandLength(char first) const {
    switch (first) {
        case 'E':
        case 'e':
        case 'Z':
        case 'z':
        case 'L':
        case 'M':
        case 'V':
        case 'J':
        case 't':
        case 'w':
        case 'h':
        case 'm':
        case 'p':
        case 'x':
        case 'y':
            return 1;
        case 'T':
        case 'K':
            return 2;
        case 'P':
            return 8;
        case 'W':
        case 'H':
            return 9;
        case 'R':
        case 'B':
        case 'S':
        case 's':
            return 10;
        case 'r':
        case 'b':
            return 18;
        default:
            return 0;  // not a command: ignored, as the hand controller does
    }
}

void SimulatedNexStar::Receive(char byte) {
    if (fault_ == MountFault::Silence) return;
    const double now = clock_.MonotonicSeconds();
    if (!command_.empty() && now - commandStartedAt_ > kCommandTimeout) command_.clear();
    if (command_.empty()) {
        if (CommandLength(byte) == 0) return;
        commandStartedAt_ = now;
    }
    command_ += byte;
    if (command_.size() < CommandLength(command_[0])) return;
    std::string command;
    command.swap(command_);
    if (commands_.size() < kMaxCommandHistory) {
        std::string readable;
        for (unsigned char c : command) {
            if (c >= 32 && c < 127)
                readable += static_cast<char>(c);
            else
                readable += "<" + std::to_string(c) + ">";
        }
        commands_.push_back(readable);
    }
    Execute(command);
}

void SimulatedNexStar::Reply(std::string text) {
    line_.Send(std::move(text), clock_.MonotonicSeconds(), parameters_.replyLatency, fault_, stallSeconds_, "#,");
}

void SimulatedNexStar::Execute(const std::string& command) {
    const double utc = UtcNow();
    const double now = clock_.MonotonicSeconds();
    auto later = [&] { pending_.push_back({now + parameters_.commandLatency, command}); };
    auto bytes = [](std::initializer_list<int> values) {
        std::string text;
        for (int v : values) text += static_cast<char>(v);
        return text + "#";
    };
    const auto at = [&](size_t i) { return static_cast<unsigned char>(command[i]); };
    double ra = 0, dec = 0, az = 0, alt = 0;
    SkyFromAxes(a1_, a2_, utc, ra, dec);
    AltAzOf(ra, dec, utc, az, alt);
    if (AltAzMount()) {
        az = a1_;
        alt = a2_;
    }
    switch (command[0]) {
        case 'E':
        case 'e':
            return Reply(EncodePair(ra / 24.0, dec / 360.0, command[0] == 'e'));
        case 'Z':
        case 'z':
            return Reply(EncodePair(az / 360.0, alt / 360.0, command[0] == 'z'));
        case 'R':
        case 'r':
        case 'B':
        case 'b':
        case 'S':
        case 's':
        case 'M':
        case 'T':
            later();
            return Reply("#");
        case 'L': {
            bool going = gotoActive_;
            for (const auto& p : pending_)
                going = going || p.command[0] == 'R' || p.command[0] == 'r' || p.command[0] == 'B' ||
                        p.command[0] == 'b';
            return Reply(going ? "1#" : "0#");
        }
        case 't':
            return Reply(bytes({trackingMode_}));
        case 'V':
            return Reply(bytes({4, 21}));
        case 'K':
            return Reply(command.substr(1, 1) + "#");
        case 'J':
            return Reply(bytes({1}));
        case 'm':
            return Reply(bytes({model_ == NexStarModel::Cge ? 5 : 1}));
        case 'p':
            return Reply(German() && a2_ > 90.0 ? "W#" : "E#");
        case 'x':
        case 'y':
            return Reply("#");
        case 'w': {
            auto dms = [](double v, int& d, int& m, int& s) {
                const long long total = std::llround(std::fabs(v) * 3600.0);
                d = static_cast<int>(total / 3600);
                m = static_cast<int>(total / 60 % 60);
                s = static_cast<int>(total % 60);
            };
            int d1, m1, s1, d2, m2, s2;
            dms(site_.latitude, d1, m1, s1);
            dms(site_.longitude, d2, m2, s2);
            return Reply(
                bytes({d1, m1, s1, site_.latitude < 0 ? 1 : 0, d2, m2, s2, site_.longitude < 0 ? 1 : 0}));
        }
        case 'W':
            site_.latitude = (at(1) + at(2) / 60.0 + at(3) / 3600.0) * (at(4) ? -1.0 : 1.0);
            site_.longitude = (at(5) + at(6) / 60.0 + at(7) / 3600.0) * (at(8) ? -1.0 : 1.0);
            return Reply("#");
        case 'h': {
            const double local = utc + site_.utcOffsetHours / 24.0 + 0.5;
            const long long day = static_cast<long long>(std::floor(local));
            const long long s = std::llround((local - day) * 86400.0) % 86400;
            const CivilDate date = CivilFromDayNumber(day);
            const int zone = static_cast<int>(std::lround(site_.utcOffsetHours));
            return Reply(
                bytes({static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60),
                       static_cast<int>(date.month), static_cast<int>(date.day),
                       static_cast<int>(date.year - 2000), (zone + 256) % 256, 0}));
        }
        case 'H': {
            const int zone = at(7) > 127 ? at(7) - 256 : at(7);
            const double wanted = CivilToJulianDate(2000 + at(6), at(4), at(5), at(1), at(2), at(3)) -
                                  zone / 24.0 - at(8) / 24.0;
            if (std::isfinite(wanted)) {
                site_.utcOffsetHours = zone + at(8);
                clockOffsetDays_ += wanted - UtcNow();
            }
            return Reply("#");
        }
        case 'P': {
            const int dest = at(2), id = at(3);
            if ((dest == 16 || dest == 17) &&
                ((at(1) == 3 && (id == 6 || id == 7)) || (at(1) == 2 && (id == 36 || id == 37)))) {
                later();
                return Reply("#");
            }
            if ((dest == 16 || dest == 17) && id == 254) return Reply(bytes({5, 7}));
            if (dest == 176 && id == 55) return Reply(bytes({1}));
            return Reply(std::string(std::min<int>(at(7), 8), '\0') + "#");
        }
        default:
            return;
    }
}

void SimulatedNexStar::Act(const std::string& command) {
    const double utc = UtcNow();
    const auto at = [&](size_t i) { return static_cast<unsigned char>(command[i]); };
    double first = 0, second = 0;
    switch (command[0]) {
        case 'R':
        case 'r':
            if (DecodePair(std::string_view(command).substr(1), first, second)) {
                double dec = second * 360.0;
                if (dec > 180.0) dec -= 360.0;
                // A declination beyond the pole is not a place; the mount ignores the goto.
                if (std::fabs(dec) <= 90.0) StartGoto(first * 24.0, dec, utc);
            }
            return;
        case 'B':
        case 'b':
            if (DecodePair(std::string_view(command).substr(1), first, second)) {
                double alt = second * 360.0;
                if (alt > 180.0) alt -= 360.0;
                if (std::fabs(alt) <= 90.0) StartGotoAltAz(first * 360.0, alt, utc);
            }
            return;
        case 'S':
        case 's':
            if (DecodePair(std::string_view(command).substr(1), first, second)) {
                double dec = second * 360.0;
                if (dec > 180.0) dec -= 360.0;
                if (std::fabs(dec) <= 90.0) {
                    AxesFromSky(first * 24.0, dec, utc, German() && a2_ > 90.0, a1_, a2_);
                    CaptureHere(utc);
                }
            }
            return;
        case 'M':
            gotoActive_ = false;
            CaptureHere(utc);
            return;
        case 'T':
            trackingMode_ = at(1) <= 3 ? at(1) : trackingMode_;
            CaptureHere(utc);
            return;
        case 'P': {
            const bool axis1 = at(2) == 16;
            double rate;
            if (at(1) == 3) {
                rate = std::min((at(4) * 256 + at(5)) / kUnitsPerDegree, parameters_.maxVariableRate);
                if (at(3) == 7) rate = -rate;
            } else {
                rate = std::min(kFixedRates[std::min<int>(at(4), 9)], parameters_.maxGotoRate);
                if (at(3) == 37) rate = -rate;
            }
            if (rate != 0.0) gotoActive_ = false;
            (axis1 ? rate1_ : rate2_) = rate;
            if (rate1_ == 0.0 && rate2_ == 0.0) CaptureHere(utc);
            return;
        }
        default:
            return;
    }
}

}  // namespace corvane
