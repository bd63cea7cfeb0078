// corvane-mountsim: a simulated LX200-family mount on a pseudo-terminal, for tests and for
// rehearsing a night out. The first line printed is "ready on " + the device to open.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "core/Clock.h"
#include "scope/ToolOptions.h"
#include "sim/SimulatedEarlyNexStar.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"
#ifdef __linux__
#include <sys/prctl.h>
#endif

using namespace corvane;

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

bool ParseFault(const std::string& text, MountFault& fault, double& after, std::string& error) {
    const size_t at = text.find('@');
    const std::string name = text.substr(0, at);
    if (name == "silence")
        fault = MountFault::Silence;
    else if (name == "garbage")
        fault = MountFault::Garbage;
    else if (name == "stall")
        fault = MountFault::StalledReply;
    else if (name == "closed")
        fault = MountFault::ClosedLine;
    else {
        error = "--fault wants silence, garbage, stall or closed, optionally followed by @SECONDS";
        return false;
    }
    after = 0.0;
    if (at != std::string::npos) {
        char* end = nullptr;
        after = std::strtod(text.c_str() + at + 1, &end);
        if (*end != '\0' || !std::isfinite(after) || after < 0) {
            error = "--fault: bad delay '" + text.substr(at + 1) + "'";
            return false;
        }
    }
    return true;
}

std::string UtcText(double jd) {
    const CivilInstant t = CivilFromJulianDateMs(jd);
    const long long ms = t.millisecondOfDay;
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", t.date.year,
                  t.date.month, t.date.day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "corvane-mountsim: a simulated LX200-family or NexStar-family telescope mount on a pseudo-terminal"};
    app.footer(
        "Dynamics of the models (each axis):\n"
        "  lx200            goto 8 deg/s (:Sw2# to :Sw8# lower it), acceleration 4 deg/s2, moves act after\n"
        "                   30 ms, reply after 20 ms\n"
        "  lx200gps         goto and :RA/:RE rates up to 8 deg/s, acceleration 5 deg/s2, moves act after\n"
        "                   40 ms, reply after 30 ms; a rate is taken as written (the program's three\n"
        "                   decimals give steps of 0.001 deg/s)\n"
        "  autostar494      goto 3 deg/s, acceleration 2 deg/s2, moves act after 100 ms, reply after 250 ms\n"
        "  autostar497      goto 5 deg/s, acceleration 3 deg/s2, moves act after 50 ms, reply after 60 ms\n"
        "  lx200compatible  goto 5 deg/s, acceleration 4 deg/s2, moves act after 20 ms, reply after 10 ms\n"
        "  gemini           goto 4 deg/s, acceleration 3 deg/s2, moves act after 20 ms, reply after 15 ms\n"
        "  nexstargps       goto 5 deg/s, variable rate up to 43200 units (3 deg/s) in steps of 1/4\n"
        "                   arcsec/s, acceleration 2 deg/s2, commands act after 50 ms, reply after 60 ms\n"
        "                   (--mount altaz|eqn|eqs)\n"
        "  cge              German equatorial: goto 5 deg/s, variable rate up to 3 deg/s in steps of 1/4\n"
        "                   arcsec/s, acceleration 3 deg/s2, commands act after 40 ms, reply after 50 ms;\n"
        "                   the mount chooses its pier side: a goto west of --pier-limit (an hour angle,\n"
        "                   the meridian by default) puts the tube west of the pier, where the\n"
        "                   declination motor runs reversed; east of the pier it tracks on past the\n"
        "                   meridian up to the limit, where its right ascension axis stops\n"
        "  \"T\" modes (nexstargps, cge): 1 Alt-Az follows the sky on a fork; 2 EQ North and 3 EQ South\n"
        "                   turn axis 1 at the sidereal rate one way or the other; a mode that does not\n"
        "                   match the mounting drifts. eqs is a southern wedge: the polar axis points at\n"
        "                   the south pole, so both motors run the other way round from eqn\n"
        "  ultima           Ultima 2000, Alt-Az fork: hexadecimal gotos, each command ends with CR LF;\n"
        "                   goto 3 deg/s, acceleration 1.5 deg/s2, commands act after 100 ms,\n"
        "                   reply after 100 ms\n"
        "  nexstar58        NexStar 5/8, Alt-Az fork: byte-coded gotos, \"?\" cancels, one command at a\n"
        "                   time (bytes sent within 250 ms of a command are lost); goto 3 deg/s,\n"
        "                   acceleration 2 deg/s2, commands act after 150 ms, reply after 80 ms\n"
        "Every mount is as real ones are unless --ideal: each command acts up to 20 ms early or late\n"
        "(--seed repeats a run), each axis has 0.03 deg of backlash taken up on every reversal (the\n"
        "pointing log shows where the tube truly points; position replies show the encoders), and\n"
        "positions are answered at the resolution of the reply (LX200 short or long format; NexStar\n"
        "16-bit \"E\"/\"Z\" or 24-bit \"e\"/\"z\").\n"
        "A refused goto is answered as the LX200 command set gives it: \"1\" or \"2\" followed by the\n"
        "mount's message and \"#\" (\"1Object Below Horizon#\"), by every model including autostar494\n"
        "(--bare-refusal: the code alone); the AutoStars' :D# shows one bar while they slew.\n"
        "LX200-family gotos start 0.3 s after :MS# (autostar494 0.8 s, autostar497 0.5 s); stops act at\n"
        "once. Replies go out at 9600 baud (about 1 ms a byte).\n"
        "Sources of the figures: top slew speeds as the makers publish them: Meade's LX200 command set\n"
        "(:Sw, 2 to 8 deg/s, classic LX200) and LX200GPS manual (8 deg/s); Celestron's NexStar GPS and\n"
        "CGE hand-controller rate table (rate 9: 5 deg/s; rates 6 to 8: 0.5, 1, 3 deg/s) and the\n"
        "pass-through variable rate of the NexStar protocol (1/4 arcsec/s units, 3 deg/s used); the\n"
        "AutoStar, Ultima, NexStar 5/8, LX200-compatible and Gemini speeds are the top rates of those\n"
        "hand controllers as commonly given. No maker publishes an acceleration: the values above let\n"
        "a motor reach full speed in one to two seconds, as these servo mounts are seen to do. Reply\n"
        "and command latencies are plausible values too: no maker publishes them.");
    app.set_version_flag("--version", std::string("corvane-mountsim ") + CORVANE_VERSION);
    std::string modelName = "lx200";
    std::string siteText;
    std::string pointingLog;
    std::string linkPath;
    std::string faultText;
    std::string startText;
    double maxRuntime = 0.0;
    std::vector<double> pointAt;
    bool polar = false;
    bool exitWithParent = false;
    bool ideal = false;
    unsigned seed = 1;
    app.add_option("--model", modelName,
                   "lx200, lx200gps, autostar494, autostar497, lx200compatible, gemini, nexstargps, cge, "
                   "ultima or nexstar58")
        ->capture_default_str();
    std::string mountingName = "altaz";
    app.add_option("--mount", mountingName, "nexstargps: altaz (fork), eqn or eqs (fork on a wedge)")
        ->capture_default_str();
    app.add_option("--site", siteText,
                   "LAT,LON,ALT_M[,UTC_OFFSET]: degrees north, degrees east, metres, "
                   "hours (default: this computer's zone)");
    app.add_option("--pointing-log", pointingLog, "write UTC, azimuth, altitude, RA and Dec every 100 ms");
    std::string commandLog;
    app.add_option("--command-log", commandLog,
                   "write every command received, after the monotonic clock's seconds when it arrived");
    app.add_option("--link", linkPath, "also make this symbolic link to the device");
    app.add_option("--fault", faultText,
                   "inject a fault: silence, garbage, stall or closed, optionally @SECONDS later");
    app.add_option("--start", startText,
                   "set the mount's clock to this UTC at launch (ISO 8601, such as 2017-04-28T03:15:00Z)");
    app.add_option("--point", pointAt, "AZ,ALT: where the tube points at launch, degrees (default 180,45)")
        ->delimiter(',')
        ->expected(2);
    app.add_option("--max-runtime", maxRuntime, "exit after this many seconds (0: run until stopped)");
    app.add_flag("--polar", polar, "move commands drive RA and Dec (a polar-aligned mount)");
    app.add_flag("--exit-with-parent", exitWithParent, "exit when the starting process ends");
    bool bareRefusal = false;
    double pierLimit = 0.0;
    app.add_option(
           "--pier-limit", pierLimit,
           "cge: hour angle in degrees (west positive) where a goto takes the west side of the pier and "
           "past which tracking east of the pier stops")
        ->capture_default_str();
    app.add_flag("--bare-refusal", bareRefusal, "LX200 family: answer a refused goto with its code alone");
    app.add_flag("--ideal", ideal, "a perfect mount: no latency jitter, no backlash");
    app.add_option("--seed", seed, "seed of the latency jitter (the same seed repeats a run)")
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    const auto model = MountModelFromName(modelName);
    const auto nexstarModel = NexStarModelFromName(modelName);
    const auto mounting = NexStarMountingFromName(mountingName);
    if (!mounting) {
        std::cerr << "corvane-mountsim: --mount wants altaz, eqn or eqs\n";
        return 2;
    }
    if (!(std::fabs(pierLimit) <= 90.0)) {
        std::cerr << "corvane-mountsim: --pier-limit wants an hour angle of -90 to 90 degrees\n";
        return 2;
    }
    const auto earlyModel = EarlyNexStarModelFromName(modelName);
    if (!model && !nexstarModel && !earlyModel) {
        std::cerr << "corvane-mountsim: unknown model '" << modelName << "'\n";
        return 2;
    }
    MountSite site;
    site.utcOffsetHours = LocalUtcOffsetHours();
    std::string error;
    if (!siteText.empty()) {
        const auto parsed = ParseSiteOption(siteText, error);
        if (!parsed) {
            std::cerr << "corvane-mountsim: " << error << "\n";
            return 2;
        }
        site = MountSite{parsed->latitude, parsed->longitude, parsed->altitudeMetres, parsed->utcOffsetHours};
    }
    std::optional<double> startUtc;
    if (!startText.empty() && !(startUtc = ParseUtcOption(startText))) {
        std::cerr << "corvane-mountsim: --start wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z\n";
        return 2;
    }
    if (pointAt.size() == 2 && !(std::isfinite(pointAt[0]) && std::fabs(pointAt[1]) <= 90.0)) {
        std::cerr << "corvane-mountsim: --point wants an azimuth and an altitude of -90 to 90 degrees\n";
        return 2;
    }
    MountFault fault = MountFault::None;
    double faultAfter = 0.0;
    if (!faultText.empty() && !ParseFault(faultText, fault, faultAfter, error)) {
        std::cerr << "corvane-mountsim: " << error << "\n";
        return 2;
    }
#ifdef __linux__
    if (exitWithParent) ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::cerr << "corvane-mountsim: cannot create a pseudo-terminal: " << std::strerror(errno) << "\n";
        return 1;
    }
    const std::string device = ::ptsname(master);
    // Holding the other end open keeps the terminal alive between clients; raw mode from the start.
    const int slave = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
        std::cerr << "corvane-mountsim: cannot open " << device << "\n";
        return 1;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(device.c_str(), linkPath.c_str()) != 0) {
            std::cerr << "corvane-mountsim: cannot make the link " << linkPath << "\n";
            return 1;
        }
    }
    std::FILE* log = nullptr;
    if (!pointingLog.empty()) {
        log = std::fopen(pointingLog.c_str(), "w");
        if (log == nullptr) {
            std::cerr << "corvane-mountsim: cannot write " << pointingLog << "\n";
            return 1;
        }
        if (std::fputs("# UTC azimuth_deg altitude_deg ra_hours dec_deg\n", log) < 0 ||
            std::fflush(log) != 0) {
            std::cerr << "corvane-mountsim: cannot write " << pointingLog << ": " << std::strerror(errno)
                      << "\n";
            std::fclose(log);
            return 1;
        }
    }

    std::FILE* commands = nullptr;
    if (!commandLog.empty()) {
        commands = std::fopen(commandLog.c_str(), "w");
        if (commands == nullptr) {
            std::cerr << "corvane-mountsim: cannot write " << commandLog << "\n";
            return 1;
        }
    }
    size_t commandsLogged = 0;

    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    SystemClock clock;
    MountRealism realism = ideal ? MountRealism::Ideal() : MountRealism{};
    realism.seed = seed;
    std::unique_ptr<SimulatedSerialMount> simulator;
    if (model) {
        MountParameters parameters = DefaultMountParameters(*model);
        parameters.polar = polar;
        parameters.bareRefusal = bareRefusal;
        parameters.realism = realism;
        simulator = std::make_unique<SimulatedMount>(*model, site, clock, parameters);
    } else if (earlyModel) {
        EarlyNexStarParameters parameters = DefaultEarlyNexStarParameters(*earlyModel);
        parameters.realism = realism;
        simulator = std::make_unique<SimulatedEarlyNexStar>(*earlyModel, site, clock, parameters);
    } else {
        NexStarParameters parameters = DefaultNexStarParameters(*nexstarModel);
        parameters.mounting = *mounting;
        parameters.pierLimit = pierLimit;
        parameters.realism = realism;
        simulator = std::make_unique<SimulatedNexStar>(*nexstarModel, site, clock, parameters);
    }
    SimulatedSerialMount& mount = *simulator;
    mount.Open(device);
    if (startUtc)
        mount.SetClockOffsetDays(*startUtc - (clock.LocalJulianDate() - site.utcOffsetHours / 24.0));

    if (pointAt.size() == 2) mount.PointAt(pointAt[0], pointAt[1]);
    if (fault != MountFault::None) mount.InjectFaultAfter(fault, faultAfter);

    std::cout << "ready on " << device << std::endl;

    const double start = clock.MonotonicSeconds();
    double nextLog = start;
    int exitCode = 0;
    while (!stopRequested) {
        const double now = clock.MonotonicSeconds();
        if (maxRuntime > 0 && now - start >= maxRuntime) break;
        if (mount.ActiveFault() == MountFault::ClosedLine) {
            std::cout << "line closed" << std::endl;
            break;
        }
        pollfd p{master, POLLIN, 0};
        const int ready = ::poll(&p, 1, 10);
        if (ready > 0 && (p.revents & POLLIN)) {
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) mount.Write(std::string_view(buffer, static_cast<size_t>(n)));
        }
        if (commands != nullptr) {
            const auto received = mount.Commands();
            for (; commandsLogged < received.size(); ++commandsLogged)
                std::fprintf(commands, "%.3f %s\n", clock.MonotonicSeconds(),
                             received[commandsLogged].c_str());
            std::fflush(commands);
        }
        const int waiting = mount.BytesWaiting();
        if (waiting > 0) {
            const std::string reply = mount.Read(waiting);
            size_t sent = 0;
            for (int tries = 0; sent < reply.size() && tries < 100; ++tries) {
                const ssize_t n = ::write(master, reply.data() + sent, reply.size() - sent);
                if (n > 0)
                    sent += static_cast<size_t>(n);
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    break;
                else
                    ::usleep(1000);
            }
        }
        if (log != nullptr && now >= nextLog) {
            nextLog += 0.1;
            if (nextLog < now) nextLog = now + 0.1;
            const MountState s = mount.State();
            if (std::fprintf(log, "%s %9.4f %8.4f %8.5f %8.4f\n", UtcText(s.utcJulianDate).c_str(), s.azimuth,
                             s.altitude, s.raHours, s.decDegrees) < 0 ||
                std::fflush(log) != 0) {
                // DEPARTURE: the pointing log is what a rehearsal is checked against: a lost line
                // ends the run instead of being ignored.
                std::cerr << "corvane-mountsim: cannot write " << pointingLog << ": " << std::strerror(errno)
                          << "\n";
                exitCode = 1;
                break;
            }
        }
    }
    if (log != nullptr && std::fclose(log) != 0 && exitCode == 0) {
        std::cerr << "corvane-mountsim: cannot write " << pointingLog << ": " << std::strerror(errno) << "\n";
        exitCode = 1;
    }
    if (commands != nullptr) std::fclose(commands);
    if (!linkPath.empty()) ::unlink(linkPath.c_str());
    ::close(slave);
    ::close(master);
    return exitCode;
}
