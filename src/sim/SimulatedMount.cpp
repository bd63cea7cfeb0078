#include "sim/SimulatedMount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace corvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kStep = 0.01;                  // seconds of axis motion per integration step
constexpr double kArrived = 0.01;               // degrees: the goto has ended
constexpr size_t kMaxCommandHistory = 200000;

struct ModelName {
    MountModel model;
    const char* name;
};
constexpr ModelName kModelNames[] = {
    {MountModel::LX200, "lx200"},
    {MountModel::LX200GPS, "lx200gps"},
    {MountModel::AutoStar494, "autostar494"},
    {MountModel::AutoStar497, "autostar497"},
    {MountModel::LX200Compatible, "lx200compatible"},
    {MountModel::Gemini, "gemini"},
};

double Wrap360(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
}

double Wrap180(double degrees) {
    degrees = Wrap360(degrees);
    return degrees > 180.0 ? degrees - 360.0 : degrees;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Reads unsigned digits at `pos`; false when there are none.
bool ReadDigits(const std::string& text, size_t& pos, int& value, size_t maxDigits = 4) {
    const size_t start = pos;
    value = 0;
    while (pos < text.size() && pos - start < maxDigits &&
           std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

void SkipBlanks(const std::string& text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
}

// "HH:MM:SS" or "HH:MM.T"; hours.
std::optional<double> ParseRa(const std::string& text) {
    size_t pos = 0;
    SkipBlanks(text, pos);
    int h = 0, m = 0, s = 0;
    if (!ReadDigits(text, pos, h, 2) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!ReadDigits(text, pos, m, 2)) return std::nullopt;
    double seconds = 0.0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        int tenths = 0;
        if (!ReadDigits(text, pos, tenths, 1)) return std::nullopt;
        seconds = tenths * 6.0;
    } else if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!ReadDigits(text, pos, s, 2)) return std::nullopt;
        seconds = s;
    }
    // A real mount refuses a field out of range ("0"), a seconds field of 60 included.
    if (h > 23 || m > 59 || seconds >= 60.0) return std::nullopt;
    return h + m / 60.0 + seconds / 3600.0;
}

// Optional sign, degrees, one separator byte, minutes, optionally a separator and seconds.
std::optional<double> ParseAngle(const std::string& text, int maxDegrees) {
    size_t pos = 0;
    SkipBlanks(text, pos);
    double sign = 1.0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) sign = text[pos++] == '-' ? -1.0 : 1.0;
    int d = 0, m = 0, s = 0;
    if (!ReadDigits(text, pos, d, 3) || pos >= text.size()) return std::nullopt;
    ++pos;  // the degree separator, whatever byte it is
    if (!ReadDigits(text, pos, m, 2)) return std::nullopt;
    if (pos < text.size() && (text[pos] == ':' || text[pos] == '\'')) {
        ++pos;
        if (!ReadDigits(text, pos, s, 2)) return std::nullopt;
    }
    const double value = d + m / 60.0 + s / 3600.0;
    if (m > 59 || s > 59 || value > maxDegrees) return std::nullopt;
    return sign * value;
}

void CivilFromJulianDate(double jd, int& year, int& month, int& day, double& dayFraction) {
    const double shifted = jd + 0.5;
    const long long number = static_cast<long long>(std::floor(shifted));
    dayFraction = shifted - static_cast<double>(number);
    const CivilDate d = CivilFromDayNumber(number);
    year = static_cast<int>(d.year);
    month = static_cast<int>(d.month);
    day = static_cast<int>(d.day);
}

std::string Clock24(double dayFraction) {
    long long s = std::llround(dayFraction * 86400.0) % 86400;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

}  // namespace

std::optional<MountModel> MountModelFromName(std::string_view name) {
    for (const auto& entry : kModelNames) {
        if (name == entry.name) return entry.model;
    }
    return std::nullopt;
}

const char* MountModelName(MountModel model) {
    for (const auto& entry : kModelNames) {
        if (entry.model == model) return entry.name;
    }
    return "lx200";
}

MountParameters DefaultMountParameters(MountModel model) {
    MountParameters p;
    switch (model) {
        case MountModel::LX200:
            p.maxSlewRate = 6.0;
            p.replyLatency = 0.02;
            p.commandLatency = 0.03;
            p.startsLongFormat = false;
            break;
        case MountModel::LX200GPS:
            p.maxSlewRate = 8.0;
            p.acceleration = 5.0;
            p.replyLatency = 0.03;
            p.commandLatency = 0.04;
            p.startsLongFormat = true;
            break;
        case MountModel::AutoStar494:
            p.maxSlewRate = 3.0;
            p.acceleration = 2.0;
            p.slewStartLag = 0.8;
            p.replyLatency = 0.25;
            p.commandLatency = 0.1;
            p.startsLongFormat = false;
            break;
        case MountModel::AutoStar497:
            p.maxSlewRate = 5.0;
            p.acceleration = 3.0;
            p.slewStartLag = 0.5;
            p.replyLatency = 0.06;
            p.commandLatency = 0.05;
            p.startsLongFormat = true;
            break;
        case MountModel::LX200Compatible:
            p.maxSlewRate = 5.0;
            p.replyLatency = 0.01;
            p.commandLatency = 0.02;
            p.startsLongFormat = true;
            break;
        case MountModel::Gemini:
            p.maxSlewRate = 4.0;
            p.acceleration = 3.0;
            p.replyLatency = 0.015;
            p.commandLatency = 0.02;
            p.startsLongFormat = true;
            break;
    }
    return p;
}

SimulatedMount::SimulatedMount(MountModel model, const MountSite& site, Clock& clock)
    : SimulatedMount(model, site, clock, DefaultMountParameters(model)) {}

SimulatedMount::SimulatedMount(MountModel model, const MountSite& site, Clock& clock,
                               const MountParameters& parameters)
    : model_(model),
      parameters_(parameters),
      clock_(clock),
      site_(site),
      longFormat_(parameters.startsLongFormat),
      alignment_(parameters.polar ? Alignment::Polar : Alignment::AltAz),
      simTime_(clock.MonotonicSeconds()) {
    CaptureHere(UtcNow());
    pendingRa_ = targetRa_;
    pendingDec_ = targetDec_;
}

// ---- SerialPort ----

bool SimulatedMount::Open(const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault_ == MountFault::ClosedLine) return false;
    open_ = true;
    return true;
}

bool SimulatedMount::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SimulatedMount::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

int SimulatedMount::BytesWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return -1;
    Advance();
    return line_.Ready(clock_.MonotonicSeconds());
}

std::string SimulatedMount::Read(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return {};
    return line_.Take(count, clock_.MonotonicSeconds());
}

bool SimulatedMount::Write(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || fault_ == MountFault::ClosedLine) return false;
    Advance();
    for (char c : bytes) Receive(c);
    return true;
}

// ---- world side ----

MountState SimulatedMount::State() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    MountState s{};
    s.utcJulianDate = UtcNow();
    s.azimuth = az_;
    s.altitude = alt_;
    AltAzToRaDec(az_, alt_, s.utcJulianDate, s.raHours, s.decDegrees);
    s.slewing = slewing_;
    return s;
}

void SimulatedMount::PointAt(double azimuth, double altitude) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    az_ = Wrap360(azimuth);
    alt_ = std::clamp(altitude, -90.0, 90.0);
    vAz_ = vAlt_ = 0.0;
    slewing_ = false;
    moveAxis1_ = moveAxis2_ = 0;
    CaptureHere(UtcNow());
}

void SimulatedMount::InjectFault(MountFault fault, double stallSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = fault;
    stallSeconds_ = stallSeconds;
}

void SimulatedMount::SetClockOffsetDays(double days) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    clockOffsetDays_ = std::isfinite(days) ? days : 0.0;
    CaptureHere(UtcNow());
}

bool SimulatedMount::LongFormat() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return longFormat_;
}

void SimulatedMount::SetLongFormat(bool longFormat) {
    std::lock_guard<std::mutex> lock(mutex_);
    longFormat_ = longFormat;
}

std::vector<std::string> SimulatedMount::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

double SimulatedMount::AltitudeOf(double raHours, double decDegrees) {
    std::lock_guard<std::mutex> lock(mutex_);
    double az = 0, alt = 0;
    RaDecToAltAz(raHours, decDegrees, UtcNow(), az, alt);
    return alt;
}

// ---- sky ----

double SimulatedMount::UtcNow() const {
    return clock_.LocalJulianDate() - site_.utcOffsetHours / 24.0 + clockOffsetDays_;
}

double SimulatedMount::LocalSiderealDegrees(double utc) const {
    // Mean sidereal time at Greenwich (IAU 1982), plus the east longitude.
    const double d = utc - 2451545.0;
    const double t = d / 36525.0;
    const double gmst = 280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    return Wrap360(gmst + site_.longitude);
}

void SimulatedMount::RaDecToAltAz(double raHours, double decDeg, double utc, double& az, double& alt) const {
    const double h = (LocalSiderealDegrees(utc) - raHours * 15.0) * kDeg;
    const double dec = decDeg * kDeg, lat = site_.latitude * kDeg;
    const double sinAlt = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(h);
    alt = std::asin(std::clamp(sinAlt, -1.0, 1.0)) / kDeg;
    az = Wrap360(std::atan2(-std::cos(dec) * std::sin(h),
                            std::sin(dec) * std::cos(lat) - std::cos(dec) * std::sin(lat) * std::cos(h)) /
                 kDeg);
}

void SimulatedMount::AltAzToRaDec(double az, double alt, double utc, double& raHours, double& decDeg) const {
    const double a = az * kDeg, e = alt * kDeg, lat = site_.latitude * kDeg;
    const double sinDec = std::sin(lat) * std::sin(e) + std::cos(lat) * std::cos(e) * std::cos(a);
    decDeg = std::asin(std::clamp(sinDec, -1.0, 1.0)) / kDeg;
    const double h = std::atan2(-std::sin(a) * std::cos(e),
                                std::sin(e) * std::cos(lat) - std::cos(e) * std::sin(lat) * std::cos(a)) /
                     kDeg;
    raHours = Wrap360(LocalSiderealDegrees(utc) - h) / 15.0;
}

void SimulatedMount::CaptureHere(double utc) {
    AltAzToRaDec(az_, alt_, utc, targetRa_, targetDec_);
    targetKind_ = TargetKind::RaDec;
    holdAz_ = az_;
    holdAlt_ = alt_;
}

// ---- motion ----

namespace {
// One axis towards an error `error` (degrees) with a speed limit and an acceleration limit,
// braking in time to stop at the target.
void DriveAxis(double& velocity, double error, double maxRate, double acceleration, double dt) {
    double wanted = std::min(maxRate, std::sqrt(2.0 * acceleration * std::fabs(error)));
    wanted = std::min(wanted, std::fabs(error) / dt);
    if (error < 0) wanted = -wanted;
    const double change = std::clamp(wanted - velocity, -acceleration * dt, acceleration * dt);
    velocity += change;
}
}  // namespace

double SimulatedMount::MoveRate(int axis) const {
    const std::optional<double>& custom = axis == 1 ? customRate1_ : customRate2_;
    double rate;
    if (custom) {
        rate = *custom;
    } else {
        static constexpr double kRates[] = {0.0, 1.0, 0.133, 0.00835};
        rate = rateIndex_ == 0 ? parameters_.maxSlewRate : kRates[rateIndex_];
    }
    return std::clamp(rate, 0.0, parameters_.maxSlewRate);
}

void SimulatedMount::Advance() {
    const double now = clock_.MonotonicSeconds();
    if (now <= simTime_) return;
    const double gap = now - simTime_;
    // Very long gaps (a program left idle) are covered in at most 60000 coarser steps.
    const double step = gap > 600.0 ? gap / 60000.0 : kStep;
    const double utcNow = UtcNow();
    auto actOnPending = [this](double upTo) {
        while (!pending_.empty() && pending_.front().first <= upTo) {
            const std::string command = pending_.front().second;
            pending_.pop_front();
            Execute(command);
        }
    };
    while (simTime_ < now) {
        double h = std::min(step, now - simTime_);
        if (!pending_.empty()) h = std::clamp(pending_.front().first - simTime_, 0.0, h);
        if (h > 0) {
            simTime_ += h;
            Step(h, utcNow - (now - simTime_) / 86400.0);
        }
        actOnPending(simTime_);
    }
    actOnPending(now);
}

void SimulatedMount::Step(double dt, double utc) {
    const double accel = parameters_.acceleration;
    if (MovingAny() && !parameters_.polar) {
        // Moves run each axis at its rate (a stopped axis holds still), ramping with the acceleration.
        auto ramp = [&](double& velocity, double wanted) {
            velocity += std::clamp(wanted - velocity, -accel * dt, accel * dt);
        };
        ramp(vAz_, moveAxis1_ * MoveRate(1));
        ramp(vAlt_, moveAxis2_ * MoveRate(2));
        az_ = Wrap360(az_ + vAz_ * dt);
        alt_ = std::clamp(alt_ + vAlt_ * dt, -90.0, 90.0);
        holdAz_ = az_;
        holdAlt_ = alt_;
        return;
    }
    if (MovingAny()) {  // polar: moves shift the tracked RA/Dec
        targetRa_ = Wrap360((targetRa_ + moveAxis1_ * MoveRate(1) * dt / 15.0) * 15.0) / 15.0;
        targetDec_ = std::clamp(targetDec_ + moveAxis2_ * MoveRate(2) * dt, -90.0, 90.0);
        targetKind_ = TargetKind::RaDec;
    }
    if (slewing_ && simTime_ < slewStartAt_) return;

    double wantAz = holdAz_, wantAlt = holdAlt_;
    if (slewing_ || (targetKind_ == TargetKind::RaDec && alignment_ != Alignment::Land)) {
        RaDecToAltAz(targetRa_, targetDec_, utc, wantAz, wantAlt);
    }
    const double errAz = Wrap180(wantAz - az_), errAlt = wantAlt - alt_;
    DriveAxis(vAz_, errAz, parameters_.maxSlewRate, accel, dt);
    DriveAxis(vAlt_, errAlt, parameters_.maxSlewRate, accel, dt);
    az_ = Wrap360(az_ + vAz_ * dt);
    alt_ = std::clamp(alt_ + vAlt_ * dt, -90.0, 90.0);
    // Arrived: close on both axes and no longer moving faster than the sky.
    if (slewing_ && std::fabs(Wrap180(wantAz - az_)) < kArrived && std::fabs(wantAlt - alt_) < kArrived &&
        std::fabs(vAz_) < 0.05 && std::fabs(vAlt_) < 0.05) {
        slewing_ = false;
        if (alignment_ == Alignment::Land) {
            holdAz_ = az_;
            holdAlt_ = alt_;
            targetKind_ = TargetKind::AltAz;
        }
    }
}

// ---- protocol ----

void SimulatedMount::Receive(char byte) {
    if (fault_ == MountFault::Silence) return;
    auto record = [this](std::string text) {
        if (commands_.size() < kMaxCommandHistory) commands_.push_back(std::move(text));
    };
    if (byte == '\x06' && !inCommand_) {
        record("<ACK>");
        switch (model_) {
            case MountModel::Gemini:
                Reply("G");
                break;
            case MountModel::LX200Compatible:
                Reply("P");
                break;
            default:
                Reply(alignment_ == Alignment::Land ? "L" : alignment_ == Alignment::Polar ? "P" : "A");
        }
        return;
    }
    if (byte == ':' && !inCommand_) {  // inside a command a colon is part of its text
        inCommand_ = true;
        command_.clear();
        return;
    }
    if (byte == '#') {
        if (inCommand_) {
            inCommand_ = false;
            record(":" + command_ + "#");
            // Moves and rates reach the motors after the controller's latency; a stop halts them
            // at once.
            const bool motion = (command_.size() == 2 && command_[0] == 'M' && command_ != "MS") ||
                                StartsWith(command_, "RA") || StartsWith(command_, "RE") || command_ == "RS" ||
                                command_ == "RM" || command_ == "RC" || command_ == "RG";
            if (motion && parameters_.commandLatency > 0.0) {
                pending_.emplace_back(clock_.MonotonicSeconds() + parameters_.commandLatency, command_);
            } else {
                Execute(command_);
            }
        }
        return;
    }
    if (inCommand_) {
        if (command_.size() < 80) {
            command_ += byte;
        } else {
            inCommand_ = false;  // runaway text: drop it
        }
    }
}

void SimulatedMount::Reply(std::string text) {
    line_.Send(std::move(text), clock_.MonotonicSeconds(), parameters_.replyLatency, fault_, stallSeconds_, "#");
}

std::string SimulatedMount::FormatRa(double hours) const {
    char text[48];
    if (longFormat_) {
        const long long s = std::llround(Wrap360(hours * 15.0) / 15.0 * 3600.0) % 86400;
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        const long long t = std::llround(Wrap360(hours * 15.0) / 15.0 * 600.0) % 14400;
        std::snprintf(text, sizeof text, "%02lld:%02lld.%lld", t / 600, t / 10 % 60, t % 10);
    }
    return text;
}

std::string SimulatedMount::FormatSigned(double degrees) const {
    const char sign = degrees < 0 ? '-' : '+';
    const double magnitude = std::min(std::fabs(degrees), 90.0);
    char text[48];
    if (longFormat_) {
        const long long s = std::llround(magnitude * 3600.0);
        const char secondsSeparator = model_ == MountModel::LX200Compatible ? ':' : '\'';
        std::snprintf(text, sizeof text, "%c%02lld\xDF%02lld%c%02lld", sign, s / 3600, s / 60 % 60,
                      secondsSeparator, s % 60);
    } else {
        const long long m = std::llround(magnitude * 60.0);
        std::snprintf(text, sizeof text, "%c%02lld\xDF%02lld", sign, m / 60, m % 60);
    }
    return text;
}

std::string SimulatedMount::FormatAzimuth(double degrees) const {
    char text[48];
    if (longFormat_) {
        const long long s = std::llround(Wrap360(degrees) * 3600.0) % (360 * 3600);
        std::snprintf(text, sizeof text, "%03lld\xDF%02lld'%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        const long long m = std::llround(Wrap360(degrees) * 60.0) % (360 * 60);
        std::snprintf(text, sizeof text, "%03lld\xDF%02lld", m / 60, m % 60);
    }
    return text;
}

std::string SimulatedMount::DistanceBars(double utc) {
    int raBars = 0, decBars = 0;
    if (slewing_) {
        double ra = 0, dec = 0;
        AltAzToRaDec(az_, alt_, utc, ra, dec);
        const double raError = std::fabs(Wrap180((targetRa_ - ra) * 15.0));
        const double decError = std::fabs(targetDec_ - dec);
        raBars = static_cast<int>(std::min(16.0, std::ceil(raError)));
        decBars = static_cast<int>(std::min(16.0, std::ceil(decError)));
        if (raBars + decBars == 0) raBars = 1;
    }
    if (model_ == MountModel::LX200) {
        std::string text(32, ' ');
        std::fill_n(text.begin(), raBars, '\x7F');
        std::fill_n(text.begin() + 16, decBars, '\x7F');
        return text + "#";
    }
    const int bars = std::max(raBars, decBars);
    // The AutoStars show one bar until the slew is complete, then nothing.
    if (model_ == MountModel::AutoStar494 || model_ == MountModel::AutoStar497)
        return std::string(bars == 0 ? 0 : 1, '\x7F') + "#";
    return std::string(bars == 0 ? 0 : std::max(1, bars / 4), '\x7F') + "#";
}

void SimulatedMount::Execute(const std::string& command) {
    const double utc = UtcNow();
    const bool meade = model_ == MountModel::LX200 || model_ == MountModel::LX200GPS ||
                       model_ == MountModel::AutoStar494 || model_ == MountModel::AutoStar497;
    const std::string argument = command.size() > 2 ? command.substr(2) : std::string();
    auto localParts = [&](int& year, int& month, int& day, double& fraction) {
        CivilFromJulianDate(utc + site_.utcOffsetHours / 24.0, year, month, day, fraction);
    };
    char text[64];
    if (ExecuteControl(command, utc)) return;

    // Queries.
    if (command == "GZ") return Reply(FormatAzimuth(az_) + "#");
    if (command == "GA") return Reply(FormatSigned(alt_) + "#");
    if (command == "GR" || command == "GD") {
        double ra = 0, dec = 0;
        AltAzToRaDec(az_, alt_, utc, ra, dec);
        return Reply((command == "GR" ? FormatRa(ra) : FormatSigned(dec)) + "#");
    }
    if (command == "Gr") return Reply(FormatRa(pendingRa_) + "#");
    if (command == "Gd") return Reply(FormatSigned(pendingDec_) + "#");
    if (command == "GS") return Reply(Clock24(LocalSiderealDegrees(utc) / 360.0) + "#");
    if (command == "GL" || command == "Ga") {
        int y, m, d;
        double f;
        localParts(y, m, d, f);
        return Reply(Clock24(f) + "#");
    }
    if (command == "GC") {
        int y, m, d;
        double f;
        localParts(y, m, d, f);
        std::snprintf(text, sizeof text, "%02d/%02d/%02d#", m, d, ((y % 100) + 100) % 100);
        return Reply(text);
    }
    if (command == "GG") {
        std::snprintf(text, sizeof text, "%+05.1f#", -site_.utcOffsetHours);
        return Reply(text);
    }
    if (command == "Gt") {
        const long long m = std::llround(std::fabs(site_.latitude) * 60.0);
        std::snprintf(text, sizeof text, "%c%02lld\xDF%02lld#", site_.latitude < 0 ? '-' : '+', m / 60,
                      m % 60);
        return Reply(text);
    }
    if (command == "Gg") {
        const long long m = std::llround(Wrap360(-site_.longitude) * 60.0) % (360 * 60);
        std::snprintf(text, sizeof text, "%03lld\xDF%02lld#", m / 60, m % 60);
        return Reply(text);
    }
    if (command == "GT") return Reply("60.1#");
    if (command == "Gc") return Reply("(24)#");
    if (command == "GVP") {
        if (model_ == MountModel::LX200GPS) return Reply("LX2001#");
        if (model_ == MountModel::AutoStar494 || model_ == MountModel::AutoStar497) return Reply("Autostar#");
        return;
    }
    if (command == "GVN") return Reply("4.2#");

    // Precision, motion, alignment.
    if (command == "U") {
        longFormat_ = !longFormat_;
        return;
    }
    if (command == "Q") {
        slewing_ = false;
        moveAxis1_ = moveAxis2_ = 0;
        vAz_ = vAlt_ = 0.0;
        CaptureHere(utc);
        return;
    }
    if (command == "Qn" || command == "Qs" || command == "Qe" || command == "Qw") {
        const bool wasMoving = MovingAny();
        (command[1] == 'n' || command[1] == 's' ? moveAxis2_ : moveAxis1_) = 0;
        if (wasMoving && !MovingAny()) {
            if (!parameters_.polar) vAz_ = vAlt_ = 0.0;
            CaptureHere(utc);
        }
        return;
    }
    if (command == "Mn" || command == "Ms" || command == "Me" || command == "Mw") {
        if (!MovingAny()) CaptureHere(utc);
        slewing_ = false;
        switch (command[1]) {
            case 'n':
                moveAxis2_ = 1;
                break;
            case 's':
                moveAxis2_ = -1;
                break;
            case 'e':
                moveAxis1_ = 1;
                break;
            default:
                moveAxis1_ = -1;
                break;
        }
        return;
    }
    if (command == "MS") {
        double az = 0, alt = 0;
        RaDecToAltAz(pendingRa_, pendingDec_, utc, az, alt);
        // The AutoStar #494 answers a refused goto with its code alone.
        const bool bare = model_ == MountModel::AutoStar494;
        if (alt < parameters_.minAltitude) {
            return Reply(bare                           ? "1"
                         : model_ == MountModel::Gemini ? "1Object below horizon.#"
                                                        : "1Object Below Horizon#");
        }
        if (alt > parameters_.maxAltitude) return Reply(bare ? "2" : "2Object Below Higher#");
        Reply("0");
        targetRa_ = pendingRa_;
        targetDec_ = pendingDec_;
        targetKind_ = TargetKind::RaDec;
        moveAxis1_ = moveAxis2_ = 0;
        // The start lag is the mount's reaction from rest; a goto during a goto redirects at once.
        if (!slewing_) slewStartAt_ = clock_.MonotonicSeconds() + parameters_.slewStartLag;
        slewing_ = true;
        return;
    }
    if (command == "D") return Reply(DistanceBars(utc));
    if (command == "CM") {
        RaDecToAltAz(pendingRa_, pendingDec_, utc, az_, alt_);
        vAz_ = vAlt_ = 0.0;
        slewing_ = false;
        CaptureHere(utc);
        return Reply("Coordinates     matched.        #");
    }
    if (command == "RS" || command == "RM" || command == "RC" || command == "RG") {
        rateIndex_ = command[1] == 'S' ? 0 : command[1] == 'M' ? 1 : command[1] == 'C' ? 2 : 3;
        customRate1_.reset();
        customRate2_.reset();
        return;
    }
    if ((StartsWith(command, "RA") || StartsWith(command, "RE")) && model_ == MountModel::LX200GPS) {
        const double rate = std::strtod(argument.c_str(), nullptr);
        if (std::isfinite(rate) && rate >= 0.0) (command[1] == 'A' ? customRate1_ : customRate2_) = rate;
        return;
    }
    if (command == "AA" || command == "AP" || command == "AL") {
        alignment_ = command[1] == 'A'   ? Alignment::AltAz
                     : command[1] == 'P' ? Alignment::Polar
                                         : Alignment::Land;
        CaptureHere(utc);
        if (alignment_ == Alignment::Land && !slewing_) targetKind_ = TargetKind::AltAz;
        return;
    }

    // Settings.
    if (StartsWith(command, "Sr")) {
        const auto ra = ParseRa(argument);
        if (ra) pendingRa_ = *ra;
        return Reply(ra ? "1" : "0");
    }
    if (StartsWith(command, "Sd")) {
        const auto dec = ParseAngle(argument, 90);
        if (dec) pendingDec_ = *dec;
        return Reply(dec ? "1" : "0");
    }
    if (StartsWith(command, "SL")) {
        size_t pos = 0;
        SkipBlanks(argument, pos);
        int h = 0, m = 0, s = 0;
        const bool ok = ReadDigits(argument, pos, h, 2) && pos < argument.size() && argument[pos++] == ':' &&
                        ReadDigits(argument, pos, m, 2) && pos < argument.size() && argument[pos++] == ':' &&
                        ReadDigits(argument, pos, s, 2) && h < 24 && m < 60 && s < 60;
        if (ok) {
            int y, mo, d;
            double f;
            localParts(y, mo, d, f);
            clockOffsetDays_ += ((h * 3600.0 + m * 60.0 + s) / 86400.0 - f);
        }
        return Reply(ok ? "1" : "0");
    }
    if (StartsWith(command, "SC")) {
        size_t pos = 0;
        SkipBlanks(argument, pos);
        int mo = 0, d = 0, y = 0;
        const bool ok = ReadDigits(argument, pos, mo, 2) && pos < argument.size() && argument[pos++] == '/' &&
                        ReadDigits(argument, pos, d, 2) && pos < argument.size() && argument[pos++] == '/' &&
                        ReadDigits(argument, pos, y, 2) && mo >= 1 && mo <= 12 && d >= 1 && d <= 31;
        if (!ok) return Reply("0");
        int oy, om, od;
        double f;
        localParts(oy, om, od, f);
        const double localNow = utc + site_.utcOffsetHours / 24.0;
        const double wanted = CivilToJulianDate(2000 + y, mo, d, 0, 0, 0.0) + f;
        clockOffsetDays_ += wanted - localNow;
        return Reply(meade ? "1Updating Planetary Data#                                #" : "1");
    }
    if (StartsWith(command, "SG")) {
        char* end = nullptr;
        const double hours = std::strtod(argument.c_str(), &end);
        const bool ok = end != argument.c_str() && std::isfinite(hours) && std::fabs(hours) <= 14.0;
        if (ok) {
            const double local = utc + site_.utcOffsetHours / 24.0;
            site_.utcOffsetHours = -hours;
            // The mount keeps its local time; its idea of UTC moves with the offset.
            clockOffsetDays_ += (local - site_.utcOffsetHours / 24.0) - utc;
        }
        return Reply(ok ? "1" : "0");
    }
    if (StartsWith(command, "St")) {
        const auto latitude = ParseAngle(argument, 90);
        if (latitude) site_.latitude = *latitude;
        return Reply(latitude ? "1" : "0");
    }
    if (StartsWith(command, "Sg")) {
        const auto west = ParseAngle(argument, 360);
        if (west) site_.longitude = Wrap180(-*west);
        return Reply(west ? "1" : "0");
    }
    if (StartsWith(command, "Sw")) return Reply("1");
    // Anything unknown: no reply, as a real mount.
}

}  // namespace corvane
