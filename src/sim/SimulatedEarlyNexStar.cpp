#include "sim/SimulatedEarlyNexStar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

constexpr double kArrived = 0.01;        // degrees: the goto has ended
constexpr double kCommandTimeout = 1.0;  // seconds: a command left unfinished is dropped
constexpr size_t kMaxLine = 32;          // Ultima: a longer line is noise and dropped

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
    const bool ultima = model == EarlyNexStarModel::Ultima2000;
    EarlyNexStarParameters p;
    // Top speed, acceleration, command and reply latency.
    static_cast<MountFigures&>(p) =
        ultima ? MountFigures{3.0, 1.5, 0.1, 0.1, {}} : MountFigures{3.0, 2.0, 0.15, 0.08, {}};
    p.busySeconds = ultima ? 0.15 : 0.25;
    return p;
}

SimulatedEarlyNexStar::SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock)
    : SimulatedEarlyNexStar(model, site, clock, DefaultEarlyNexStarParameters(model)) {}

SimulatedEarlyNexStar::SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock,
                                             const EarlyNexStarParameters& parameters)
    : SimulatedSerialMount(site, clock, parameters, 1997, "#,"), model_(model), parameters_(parameters) {
    OnPointAt(180.0, 45.0);  // at power-on: pointing south, half way up
}

// ---- world side ----

void SimulatedEarlyNexStar::OnClockSet() {
    // The tube stays where it is on the ground and tracks the sky from there.
    sky_.RaDecOf(axis1_.Position(), axis2_.Position(), sky_.UtcNow(), targetRa_, targetDec_);
}

void SimulatedEarlyNexStar::OnPointAt(double azimuth, double altitude) {
    axis1_.Place(Wrap360(azimuth));
    axis2_.Place(std::clamp(altitude, -10.0, 90.0));
    gotoActive_ = false;
    OnClockSet();
}

// ---- motion ----

void SimulatedEarlyNexStar::Step(double dt, double utc) {
    // A goto runs at the goto speed; afterwards the motors follow the sky at the target.
    double wantAz = 0, wantAlt = 0;
    sky_.AltAzOf(targetRa_, targetDec_, utc, wantAz, wantAlt);
    wantAlt = std::clamp(wantAlt, -10.0, 90.0);  // the fork's stops
    axis1_.DriveTowards(Wrap180(wantAz - axis1_.Position()), parameters_.maxGotoRate,
                        parameters_.acceleration, dt);
    axis2_.DriveTowards(wantAlt - axis2_.Position(), parameters_.maxGotoRate, parameters_.acceleration, dt);
    axis1_.Move(dt);
    axis1_.Relabel(Wrap360(axis1_.Position()));
    axis2_.Move(dt);
    axis2_.Limit(-10.0, 90.0);
    if (gotoActive_ && std::fabs(Wrap180(wantAz - axis1_.Position())) < kArrived &&
        std::fabs(wantAlt - axis2_.Position()) < kArrived && std::fabs(axis1_.Velocity()) < 0.05 &&
        std::fabs(axis2_.Velocity()) < 0.05) {
        gotoActive_ = false;
    }
}

// ---- protocol ----

void SimulatedEarlyNexStar::AfterWrite() {
    if (lost_.empty()) return;
    RecordBytes(lost_, "(lost) ");
    lost_.clear();
}

void SimulatedEarlyNexStar::Receive(char byte) {
    const double now = Now();
    if (!command_.empty() && now - commandStartedAt_ > kCommandTimeout) command_.clear();

    if (model_ == EarlyNexStarModel::Ultima2000) {
        if (byte == '\n') return;
        if (byte == '\r') {
            std::string line;
            line.swap(command_);
            if (line.empty()) return;
            RecordBytes(line);
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
    RecordBytes(command);
    busyUntil_ = now + parameters_.busySeconds;
    Execute(command);
}

void SimulatedEarlyNexStar::Execute(const std::string& command) {
    auto later = [&] { Later(command, parameters_.commandLatency); };
    const bool ultima = model_ == EarlyNexStarModel::Ultima2000;
    switch (command[0]) {
        case 'E': {
            if (command.size() != 1) return;
            double ra = 0, dec = 0;
            sky_.RaDecOf(axis1_.Position(), axis2_.Position(), sky_.UtcNow(), ra, dec);
            const long x = std::lround(Wrap360(ra * 15.0) / 360.0 * 65536.0) % 65536;
            const long y = std::lround(Wrap360(dec) / 360.0 * 65536.0) % 65536;
            char text[16];
            std::snprintf(text, sizeof text, "%04lX,%04lX#", x, y);
            return Reply(text);
        }
        case 'L': {
            if (command.size() != 1) return;
            bool going = gotoActive_;
            for (const auto& [at, queued] : Queued()) going = going || queued[0] == 'R';
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
    const double utc = sky_.UtcNow();
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
            sky_.RaDecOf(axis1_.Position(), axis2_.Position(), utc, targetRa_, targetDec_);
            return;
        default:
            return;
    }
}

}  // namespace corvane
