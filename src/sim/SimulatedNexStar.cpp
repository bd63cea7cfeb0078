#include "sim/SimulatedNexStar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

constexpr double kArrived = 0.01;            // degrees: the goto has ended
constexpr double kCommandTimeout = 1.0;      // seconds: a command left unfinished is dropped
constexpr double kUnitsPerDegree = 14400.0;  // pass-through rate units (quarter arcseconds)

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

// Fixed slew rates 1 to 9 of the hand controller, degrees per second: 2, 4, 8, 16 and 32 times
// sidereal, then 0.5, 1, 3 and 5 degrees per second, as Celestron lists them.
constexpr double kFixedRates[] = {0.0, 0.0083, 0.0167, 0.0333, 0.0667, 0.133, 0.5, 1.0, 3.0, 5.0};

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
    // Top speed (rate 9 of the hand controller), acceleration, command and reply latency.
    static_cast<MountFigures&>(p) = model == NexStarModel::Cge ? MountFigures{5.0, 3.0, 0.04, 0.05, {}}
                                                               : MountFigures{5.0, 2.0, 0.05, 0.06, {}};
    return p;
}

SimulatedNexStar::SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock)
    : SimulatedNexStar(model, site, clock, DefaultNexStarParameters(model)) {}

SimulatedNexStar::SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock,
                                   const NexStarParameters& parameters)
    : SimulatedSerialMount(site, clock, parameters, 2024, "#,"), model_(model), parameters_(parameters) {
    OnPointAt(180.0, 45.0);  // at power-on: pointing south, half way up
}

// ---- world side ----

MountState SimulatedNexStar::CurrentState() {
    MountState s{};
    s.utcJulianDate = sky_.UtcNow();
    SkyFromAxes(axis1_.Pointing(), axis2_.Pointing(), s.utcJulianDate, s.raHours, s.decDegrees);
    sky_.AltAzOf(s.raHours, s.decDegrees, s.utcJulianDate, s.azimuth, s.altitude);
    if (AltAzMount()) {
        s.azimuth = Wrap360(axis1_.Pointing());
        s.altitude = axis2_.Pointing();
    }
    s.slewing = gotoActive_;
    return s;
}

void SimulatedNexStar::OnPointAt(double azimuth, double altitude) {
    const double utc = sky_.UtcNow();
    double ra = 0, dec = 0;
    sky_.RaDecOf(azimuth, altitude, utc, ra, dec);
    double p1 = 0, p2 = 0;
    AxesFromSky(ra, dec, utc, FlipsFor(sky_.HourAngle(ra, utc)), p1, p2);
    if (AltAzMount()) {
        p1 = Wrap360(azimuth);
        p2 = altitude;
    }
    axis1_.Place(p1);
    axis2_.Place(p2);
    rate1_ = rate2_ = 0.0;
    gotoActive_ = false;
    CaptureHere(utc);
}

bool SimulatedNexStar::PierFlipped() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    return Flipped();
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

// Alt-Az fork: axis 1 azimuth, axis 2 altitude. Fork on a northern wedge: axis 1 the hour angle
// (a positive motor rate follows the sky), axis 2 the declination. On a southern wedge the polar
// axis points at the south pole: both axes turn the other way round, so the sky needs a negative
// rate on axis 1 and a positive one on axis 2 lowers the declination. German: axis 1 is the hour
// angle plus 90 (tube east of the pier) or minus 90 (west of the pier), axis 2 the declination,
// or 180 minus it on the west side.
void SimulatedNexStar::AxesFromSky(double raHours, double decDeg, double utc, bool flipped, double& a1,
                                   double& a2) const {
    if (AltAzMount()) {
        sky_.AltAzOf(raHours, decDeg, utc, a1, a2);
        return;
    }
    const double ha = sky_.HourAngle(raHours, utc);
    if (!German()) {
        const double sense = SouthernWedge() ? -1.0 : 1.0;
        a1 = sense * ha;
        a2 = sense * decDeg;
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
        sky_.RaDecOf(a1, a2, utc, raHours, decDeg);
        return;
    }
    double ha = a1, dec = a2;
    if (SouthernWedge()) {
        ha = -a1;
        dec = -a2;
    } else if (German()) {
        if (a2 > 90.0) {
            ha = a1 + 90.0;
            dec = 180.0 - a2;
        } else {
            ha = a1 - 90.0;
        }
    }
    raHours = Wrap360(sky_.LocalSiderealDegrees(utc) - ha) / 15.0;
    decDeg = dec;
}

void SimulatedNexStar::CaptureHere(double utc) {
    SkyFromAxes(axis1_.Position(), axis2_.Position(), utc, holdRa_, holdDec_);
}

// ---- motion ----

void SimulatedNexStar::GotoAxes(double utc, double& t1, double& t2) const {
    if (gotoAltAz_ && AltAzMount()) {
        t1 = gotoAz_;
        t2 = gotoAlt_;
        return;
    }
    double ra = gotoRa_, dec = gotoDec_;
    if (gotoAltAz_) sky_.RaDecOf(gotoAz_, gotoAlt_, utc, ra, dec);
    AxesFromSky(ra, dec, utc, gotoFlipped_, t1, t2);
}

void SimulatedNexStar::Step(double dt, double utc) {
    const double accel = parameters_.acceleration;
    const bool wrapsAxis1 = !German();  // the German RA axis cannot turn round and round
    auto error1 = [&](double t1) {
        return wrapsAxis1 ? Wrap180(t1 - axis1_.Position()) : t1 - axis1_.Position();
    };
    if (gotoActive_) {
        double t1 = 0, t2 = 0;
        GotoAxes(utc, t1, t2);
        axis1_.DriveTowards(error1(t1), parameters_.maxGotoRate, accel, dt);
        axis2_.DriveTowards(t2 - axis2_.Position(), parameters_.maxGotoRate, accel, dt);
    } else if (rate1_ == 0.0 && rate2_ == 0.0 && trackingMode_ != 0) {
        Track(dt, utc);
    } else {
        axis1_.RampTo(rate1_, accel, dt);
        axis2_.RampTo(rate2_, accel, dt);
    }
    axis1_.Move(dt);
    axis2_.Move(dt);
    if (AltAzMount()) {
        axis1_.Relabel(Wrap360(axis1_.Position()));
        axis2_.Limit(-10.0, 90.0);  // the fork stops at the zenith and a little below the horizon
    } else if (!German()) {
        axis1_.Relabel(Wrap180(axis1_.Position()));
        axis2_.Limit(-90.0, 90.0);
    } else if (!Flipped()) {
        // East of the pier the right ascension axis stops where the hour angle reaches the limit
        // (or the meridian, with a limit east of it).
        axis1_.Limit(-270.0, std::max(parameters_.pierLimit, 0.0) + 90.0);
    }
    if (gotoActive_) {
        double t1 = 0, t2 = 0;
        GotoAxes(utc, t1, t2);
        if (std::fabs(error1(t1)) < kArrived && std::fabs(t2 - axis2_.Position()) < kArrived &&
            std::fabs(axis1_.Velocity()) < 0.05 && std::fabs(axis2_.Velocity()) < 0.05) {
            gotoActive_ = false;
            CaptureHere(utc);
        }
    }
}

void SimulatedNexStar::Track(double dt, double utc) {
    const double accel = parameters_.acceleration;
    if (trackingMode_ != 1) {
        // EQ North and EQ South: the controller turns axis 1 at the sidereal rate, the way a
        // polar axis aimed at the north or the south pole follows the sky, and holds axis 2.
        constexpr double kSiderealRate = 360.98564736629 / 86400.0;
        axis1_.RampTo(trackingMode_ == 2 ? kSiderealRate : -kSiderealRate, accel, dt);
        axis2_.RampTo(0.0, accel, dt);
        return;
    }
    if (AltAzMount()) {
        // Alt-Az on a fork: the motors follow the sky at up to the variable rate.
        double t1 = 0, t2 = 0;
        AxesFromSky(holdRa_, holdDec_, utc, false, t1, t2);
        axis1_.DriveTowards(Wrap180(t1 - axis1_.Position()), parameters_.maxVariableRate, accel, dt);
        axis2_.DriveTowards(t2 - axis2_.Position(), parameters_.maxVariableRate, accel, dt);
        return;
    }
    // Alt-Az on an equatorial mounting: the controller drives the azimuth and altitude rates of the
    // place it holds, but on axes that are not azimuth and altitude.
    double az0 = 0, alt0 = 0, az1 = 0, alt1 = 0;
    sky_.AltAzOf(holdRa_, holdDec_, utc, az0, alt0);
    sky_.AltAzOf(holdRa_, holdDec_, utc + 1.0 / 86400.0, az1, alt1);
    axis1_.RampTo(Wrap180(az1 - az0), accel, dt);
    axis2_.RampTo(alt1 - alt0, accel, dt);
}

void SimulatedNexStar::StartGoto(double raHours, double decDeg, double utc) {
    gotoActive_ = true;
    gotoAltAz_ = false;
    gotoRa_ = raHours;
    gotoDec_ = decDeg;
    rate1_ = rate2_ = 0.0;
    // A German mount chooses its side of the pier by its own rule, the target's hour angle against
    // its limit; the program does not choose it.
    gotoFlipped_ = FlipsFor(sky_.HourAngle(raHours, utc));
}

void SimulatedNexStar::StartGotoAltAz(double az, double alt, double utc) {
    double ra = 0, dec = 0;
    sky_.RaDecOf(az, alt, utc, ra, dec);
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
    const double now = Now();
    if (!command_.empty() && now - commandStartedAt_ > kCommandTimeout) command_.clear();
    if (command_.empty()) {
        if (CommandLength(byte) == 0) return;
        commandStartedAt_ = now;
    }
    command_ += byte;
    if (command_.size() < CommandLength(command_[0])) return;
    std::string command;
    command.swap(command_);
    RecordBytes(command);
    Execute(command);
}

void SimulatedNexStar::Execute(const std::string& command) {
    const double utc = sky_.UtcNow();
    auto later = [&] { Later(command, parameters_.commandLatency); };
    auto bytes = [](std::initializer_list<int> values) {
        std::string text;
        for (int v : values) text += static_cast<char>(v);
        return text + "#";
    };
    const auto at = [&](size_t i) { return static_cast<unsigned char>(command[i]); };
    double ra = 0, dec = 0, az = 0, alt = 0;
    SkyFromAxes(axis1_.Position(), axis2_.Position(), utc, ra, dec);
    sky_.AltAzOf(ra, dec, utc, az, alt);
    if (AltAzMount()) {
        az = axis1_.Position();
        alt = axis2_.Position();
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
            for (const auto& [at, queued] : Queued())
                going = going || queued[0] == 'R' || queued[0] == 'r' || queued[0] == 'B' || queued[0] == 'b';
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
            return Reply(Flipped() ? "W#" : "E#");
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
            dms(sky_.Site().latitude, d1, m1, s1);
            dms(sky_.Site().longitude, d2, m2, s2);
            return Reply(bytes({d1, m1, s1, sky_.Site().latitude < 0 ? 1 : 0, d2, m2, s2,
                                sky_.Site().longitude < 0 ? 1 : 0}));
        }
        case 'W':
            sky_.Site().latitude = (at(1) + at(2) / 60.0 + at(3) / 3600.0) * (at(4) ? -1.0 : 1.0);
            sky_.Site().longitude = (at(5) + at(6) / 60.0 + at(7) / 3600.0) * (at(8) ? -1.0 : 1.0);
            return Reply("#");
        case 'h': {
            const double local = utc + sky_.Site().utcOffsetHours / 24.0 + 0.5;
            const long long day = static_cast<long long>(std::floor(local));
            const long long s = std::llround((local - day) * 86400.0) % 86400;
            const CivilDate date = CivilFromDayNumber(day);
            const int zone = static_cast<int>(std::lround(sky_.Site().utcOffsetHours));
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
                sky_.Site().utcOffsetHours = zone + at(8);
                sky_.ShiftClock(wanted - sky_.UtcNow());
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
    const double utc = sky_.UtcNow();
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
                    double p1 = 0, p2 = 0;
                    AxesFromSky(first * 24.0, dec, utc, Flipped(), p1, p2);
                    axis1_.Place(p1);
                    axis2_.Place(p2);
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
