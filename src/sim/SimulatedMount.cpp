#include "sim/SimulatedMount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace corvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kArrived = 0.01;  // degrees: the goto has ended

// Each model's name and figures: top goto speed (degrees per second), acceleration (degrees per
// second squared), start lag of a goto, reply and command latency (seconds), precision at power-on.
// The top speeds are the makers' (corvane-mountsim --help cites them); no maker publishes an
// acceleration, so those are plausible values for servo-driven forks.
struct ModelEntry {
    MountModel model;
    const char* name;
    double maxGotoRate, acceleration, slewStartLag, replyLatency, commandLatency;
    bool longFormat;
};
constexpr ModelEntry kModels[] = {
    {MountModel::LX200, "lx200", 8.0, 4.0, 0.3, 0.02, 0.03, false},
    {MountModel::LX200GPS, "lx200gps", 8.0, 5.0, 0.3, 0.03, 0.04, true},
    {MountModel::AutoStar494, "autostar494", 3.0, 2.0, 0.8, 0.25, 0.1, false},
    {MountModel::AutoStar497, "autostar497", 5.0, 3.0, 0.5, 0.06, 0.05, true},
    {MountModel::LX200Compatible, "lx200compatible", 5.0, 4.0, 0.3, 0.01, 0.02, true},
    {MountModel::Gemini, "gemini", 4.0, 3.0, 0.3, 0.015, 0.02, true},
};

const ModelEntry& EntryOf(MountModel model) {
    for (const auto& entry : kModels) {
        if (entry.model == model) return entry;
    }
    return kModels[0];
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
    for (const auto& entry : kModels) {
        if (name == entry.name) return entry.model;
    }
    return std::nullopt;
}

const char* MountModelName(MountModel model) { return EntryOf(model).name; }

MountParameters DefaultMountParameters(MountModel model) {
    const ModelEntry& e = EntryOf(model);
    MountParameters p;
    p.maxGotoRate = e.maxGotoRate;
    p.acceleration = e.acceleration;
    p.slewStartLag = e.slewStartLag;
    p.replyLatency = e.replyLatency;
    p.commandLatency = e.commandLatency;
    p.startsLongFormat = e.longFormat;
    return p;
}

SimulatedMount::SimulatedMount(MountModel model, const MountSite& site, Clock& clock)
    : SimulatedMount(model, site, clock, DefaultMountParameters(model)) {}

SimulatedMount::SimulatedMount(MountModel model, const MountSite& site, Clock& clock,
                               const MountParameters& parameters)
    : SimulatedSerialMount(site, clock, parameters, 12345, "#"),
      model_(model),
      parameters_(parameters),
      longFormat_(parameters.startsLongFormat),
      alignment_(parameters.polar ? Alignment::Polar : Alignment::AltAz),
      slewLimit_(parameters.maxGotoRate) {
    OnPointAt(180.0, 45.0);  // at power-on: pointing south, half way up
    pendingRa_ = targetRa_;
    pendingDec_ = targetDec_;
}

// ---- world side ----

MountState SimulatedMount::CurrentState() {
    if (!parameters_.polar) return HorizontalState(slewing_);
    MountState s{};
    s.utcJulianDate = sky_.UtcNow();
    SkyOf(axis1_.Pointing(), axis2_.Pointing(), s.utcJulianDate, s.raHours, s.decDegrees);
    sky_.AltAzOf(s.raHours, s.decDegrees, s.utcJulianDate, s.azimuth, s.altitude);
    s.slewing = slewing_;
    return s;
}

void SimulatedMount::AxesOf(double raHours, double decDeg, double utc, double& a1, double& a2) const {
    if (!parameters_.polar) {
        sky_.AltAzOf(raHours, decDeg, utc, a1, a2);
        return;
    }
    a1 = Wrap360(sky_.HourAngle(raHours, utc));
    a2 = decDeg;
}

void SimulatedMount::SkyOf(double a1, double a2, double utc, double& raHours, double& decDeg) const {
    if (!parameters_.polar) {
        sky_.RaDecOf(a1, a2, utc, raHours, decDeg);
        return;
    }
    raHours = Wrap360(sky_.LocalSiderealDegrees(utc) - a1) / 15.0;
    decDeg = a2;
}

void SimulatedMount::OnPointAt(double azimuth, double altitude) {
    double p1 = Wrap360(azimuth), p2 = std::clamp(altitude, -90.0, 90.0);
    if (parameters_.polar) {
        double ra = 0, dec = 0;
        sky_.RaDecOf(p1, p2, sky_.UtcNow(), ra, dec);
        AxesOf(ra, dec, sky_.UtcNow(), p1, p2);
    }
    axis1_.Place(p1);
    axis2_.Place(p2);
    slewing_ = false;
    moveAxis1_ = moveAxis2_ = 0;
    CaptureHere(sky_.UtcNow());
}

bool SimulatedMount::LongFormat() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return longFormat_;
}

void SimulatedMount::SetLongFormat(bool longFormat) {
    std::lock_guard<std::mutex> lock(mutex_);
    longFormat_ = longFormat;
}

double SimulatedMount::AltitudeOf(double raHours, double decDegrees) {
    std::lock_guard<std::mutex> lock(mutex_);
    double az = 0, alt = 0;
    sky_.AltAzOf(raHours, decDegrees, sky_.UtcNow(), az, alt);
    return alt;
}

void SimulatedMount::CaptureHere(double utc) {
    SkyOf(axis1_.Position(), axis2_.Position(), utc, targetRa_, targetDec_);
    targetKind_ = TargetKind::RaDec;
    holdAz_ = axis1_.Position();
    holdAlt_ = axis2_.Position();
}

// ---- motion ----

double SimulatedMount::MoveRate(int axis) const {
    const std::optional<double>& custom = axis == 1 ? customRate1_ : customRate2_;
    double rate;
    if (custom) {
        rate = *custom;
    } else {
        static constexpr double kRates[] = {0.0, 1.0, 0.133, 0.00835};
        rate = rateIndex_ == 0 ? slewLimit_ : kRates[rateIndex_];
    }
    return std::clamp(rate, 0.0, slewLimit_);
}

void SimulatedMount::Step(double dt, double utc) {
    const double accel = parameters_.acceleration;
    auto moveAxes = [&] {
        axis1_.Move(dt);
        axis1_.Relabel(Wrap360(axis1_.Position()));
        axis2_.Move(dt);
        axis2_.Limit(-90.0, 90.0);
    };
    if (MovingAny() && !parameters_.polar) {
        // Moves run each axis at its rate (a stopped axis holds still), ramping with the acceleration.
        axis1_.RampTo(moveAxis1_ * MoveRate(1), accel, dt);
        axis2_.RampTo(moveAxis2_ * MoveRate(2), accel, dt);
        moveAxes();
        holdAz_ = axis1_.Position();
        holdAlt_ = axis2_.Position();
        return;
    }
    if (MovingAny()) {
        // Polar: a move turns each axis at its rate against the sky, the drive still turning the
        // polar axis with the sky (east raises the right ascension, lowering the hour angle).
        // The motors run at the rate, as on a level fork; tracking resumes from where they stop.
        constexpr double kSiderealRate = 360.98564736629 / 86400.0;
        const double sky = alignment_ == Alignment::Land ? 0.0 : kSiderealRate;
        axis1_.RampTo(sky - moveAxis1_ * MoveRate(1), accel, dt);
        axis2_.RampTo(moveAxis2_ * MoveRate(2), accel, dt);
        moveAxes();
        CaptureHere(utc);
        return;
    }
    if (slewing_ && StepTime() < slewStartAt_) return;

    double wantAz = holdAz_, wantAlt = holdAlt_;
    if (slewing_ || (targetKind_ == TargetKind::RaDec && alignment_ != Alignment::Land)) {
        AxesOf(targetRa_, targetDec_, utc, wantAz, wantAlt);
    }
    axis1_.DriveTowards(Wrap180(wantAz - axis1_.Position()), slewLimit_, accel, dt);
    axis2_.DriveTowards(wantAlt - axis2_.Position(), slewLimit_, accel, dt);
    moveAxes();
    // Arrived: close on both axes and no longer moving faster than the sky.
    if (slewing_ && std::fabs(Wrap180(wantAz - axis1_.Position())) < kArrived &&
        std::fabs(wantAlt - axis2_.Position()) < kArrived && std::fabs(axis1_.Velocity()) < 0.05 &&
        std::fabs(axis2_.Velocity()) < 0.05) {
        slewing_ = false;
        if (alignment_ == Alignment::Land) {
            holdAz_ = axis1_.Position();
            holdAlt_ = axis2_.Position();
            targetKind_ = TargetKind::AltAz;
        }
    }
}

// ---- protocol ----

void SimulatedMount::Receive(char byte) {
    if (byte == '\x06' && !inCommand_) {
        Record("<ACK>");
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
            Record(":" + command_ + "#");
            // Moves and rates reach the motors after the controller's latency; a stop halts them
            // at once.
            const bool motion = (command_.size() == 2 && command_[0] == 'M' && command_ != "MS") ||
                                StartsWith(command_, "RA") || StartsWith(command_, "RE") ||
                                command_ == "RS" || command_ == "RM" || command_ == "RC" || command_ == "RG";
            if (motion && parameters_.commandLatency > 0.0) {
                Later(command_, parameters_.commandLatency);
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
        SkyOf(axis1_.Position(), axis2_.Position(), utc, ra, dec);
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
    const double utc = sky_.UtcNow();
    const bool meade = model_ == MountModel::LX200 || model_ == MountModel::LX200GPS ||
                       model_ == MountModel::AutoStar494 || model_ == MountModel::AutoStar497;
    const std::string argument = command.size() > 2 ? command.substr(2) : std::string();
    auto localParts = [&](int& year, int& month, int& day, double& fraction) {
        CivilFromJulianDate(utc + sky_.Site().utcOffsetHours / 24.0, year, month, day, fraction);
    };
    char text[64];
    if (ExecuteControl(command, utc)) return;

    // Queries.
    if (command == "GZ" || command == "GA") {
        double az = axis1_.Position(), alt = axis2_.Position();
        if (parameters_.polar) {
            double ra = 0, dec = 0;
            SkyOf(axis1_.Position(), axis2_.Position(), utc, ra, dec);
            sky_.AltAzOf(ra, dec, utc, az, alt);
        }
        return Reply((command == "GZ" ? FormatAzimuth(az) : FormatSigned(alt)) + "#");
    }
    if (command == "GR" || command == "GD") {
        double ra = 0, dec = 0;
        SkyOf(axis1_.Position(), axis2_.Position(), utc, ra, dec);
        return Reply((command == "GR" ? FormatRa(ra) : FormatSigned(dec)) + "#");
    }
    if (command == "Gr") return Reply(FormatRa(pendingRa_) + "#");
    if (command == "Gd") return Reply(FormatSigned(pendingDec_) + "#");
    if (command == "GS") return Reply(Clock24(sky_.LocalSiderealDegrees(utc) / 360.0) + "#");
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
        std::snprintf(text, sizeof text, "%+05.1f#", -sky_.Site().utcOffsetHours);
        return Reply(text);
    }
    if (command == "Gt") {
        const long long m = std::llround(std::fabs(sky_.Site().latitude) * 60.0);
        std::snprintf(text, sizeof text, "%c%02lld\xDF%02lld#", sky_.Site().latitude < 0 ? '-' : '+', m / 60,
                      m % 60);
        return Reply(text);
    }
    if (command == "Gg") {
        const long long m = std::llround(Wrap360(-sky_.Site().longitude) * 60.0) % (360 * 60);
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
        HaltAxes();
        CaptureHere(utc);
        return;
    }
    if (command == "Qn" || command == "Qs" || command == "Qe" || command == "Qw") {
        const bool wasMoving = MovingAny();
        (command[1] == 'n' || command[1] == 's' ? moveAxis2_ : moveAxis1_) = 0;
        if (wasMoving && !MovingAny()) {
            if (!parameters_.polar) HaltAxes();
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
        sky_.AltAzOf(pendingRa_, pendingDec_, utc, az, alt);
        const bool bare = parameters_.bareRefusal;
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
        if (!slewing_) slewStartAt_ = Now() + parameters_.slewStartLag;
        slewing_ = true;
        return;
    }
    if (command == "D") return Reply(DistanceBars(utc));
    if (command == "CM") {
        double a1 = 0, a2 = 0;
        AxesOf(pendingRa_, pendingDec_, utc, a1, a2);
        axis1_.Place(a1);
        axis2_.Place(a2);
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
            sky_.ShiftClock((h * 3600.0 + m * 60.0 + s) / 86400.0 - f);
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
        const double localNow = utc + sky_.Site().utcOffsetHours / 24.0;
        const double wanted = CivilToJulianDate(2000 + y, mo, d, 0, 0, 0.0) + f;
        sky_.ShiftClock(wanted - localNow);
        return Reply(meade ? "1Updating Planetary Data#                                #" : "1");
    }
    if (StartsWith(command, "SG")) {
        char* end = nullptr;
        const double hours = std::strtod(argument.c_str(), &end);
        const bool ok = end != argument.c_str() && std::isfinite(hours) && std::fabs(hours) <= 14.0;
        if (ok) {
            const double local = utc + sky_.Site().utcOffsetHours / 24.0;
            sky_.Site().utcOffsetHours = -hours;
            // The mount keeps its local time; its idea of UTC moves with the offset.
            sky_.ShiftClock((local - sky_.Site().utcOffsetHours / 24.0) - utc);
        }
        return Reply(ok ? "1" : "0");
    }
    if (StartsWith(command, "St")) {
        const auto latitude = ParseAngle(argument, 90);
        if (latitude) sky_.Site().latitude = *latitude;
        return Reply(latitude ? "1" : "0");
    }
    if (StartsWith(command, "Sg")) {
        const auto west = ParseAngle(argument, 360);
        if (west) sky_.Site().longitude = Wrap180(-*west);
        return Reply(west ? "1" : "0");
    }
    if (StartsWith(command, "Sw")) {
        // The classic LX200 takes a top slew speed of 2 to 8 degrees per second; the others only
        // acknowledge it.
        if (model_ != MountModel::LX200) return Reply("1");
        size_t pos = 0;
        int n = 0;
        const bool ok = ReadDigits(argument, pos, n, 1) && pos == argument.size() && n >= 2 && n <= 8;
        if (ok) slewLimit_ = std::min<double>(n, parameters_.maxGotoRate);
        return Reply(ok ? "1" : "0");
    }
    // Anything unknown: no reply, as a real mount.
}

}  // namespace corvane
