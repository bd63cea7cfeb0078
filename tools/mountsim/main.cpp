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
#include <memory>
#include <iostream>
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
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", t.date.year, t.date.month,
                  t.date.day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"corvane-mountsim: a simulated LX200-family or NexStar-family telescope mount on a pseudo-terminal"};
    app.footer(
        "Dynamics of the models (each axis):\n"
        "  lx200            goto 6 deg/s, acceleration 4 deg/s2, moves act after 30 ms, reply after 20 ms\n"
        "  lx200gps         goto and :RA/:RE rates up to 8 deg/s, acceleration 5 deg/s2, moves act after\n                   40 ms, reply after 30 ms\n"
        "  autostar494      goto 3 deg/s, acceleration 2 deg/s2, moves act after 100 ms, reply after 250 ms\n"
        "  autostar497      goto 5 deg/s, acceleration 3 deg/s2, moves act after 50 ms, reply after 60 ms\n"
        "  lx200compatible  goto 5 deg/s, acceleration 4 deg/s2, moves act after 20 ms, reply after 10 ms\n"
        "  gemini           goto 4 deg/s, acceleration 3 deg/s2, moves act after 20 ms, reply after 15 ms\n"
        "  nexstargps       goto 4 deg/s, variable rate up to 43200 units (3 deg/s), acceleration\n"
        "                   2 deg/s2, commands act after 50 ms, reply after 60 ms (--mount altaz|eqn|eqs)\n"
        "  cge              German equatorial: goto 5 deg/s, variable rate up to 3 deg/s, acceleration\n"
        "                   3 deg/s2, commands act after 40 ms, reply after 50 ms; a goto west of the\n"
        "                   meridian puts the tube west of the pier, where the declination motor runs reversed\n"
        "  ultima           Ultima 2000, Alt-Az fork: hexadecimal gotos, each command ends with CR LF;\n"
        "                   goto 3 deg/s, acceleration 1.5 deg/s2, commands act after 100 ms,\n"
        "                   reply after 100 ms\n"
        "  nexstar58        NexStar 5/8, Alt-Az fork: byte-coded gotos, \"?\" cancels, one command at a\n"
        "                   time (bytes sent within 250 ms of a command are lost); goto 3 deg/s,\n"
        "                   acceleration 2 deg/s2, commands act after 150 ms, reply after 80 ms\n"
        "A refused goto (target below the horizon) is answered \"1\" alone by autostar494, and \"1\" with\n"
        "the mount's message by the other LX200-family models; the AutoStars' :D# shows one bar while\n"
        "they slew.\n"
        "LX200-family gotos start 0.3 s after :MS# (autostar494 0.8 s, autostar497 0.5 s); stops act at\n"
        "once. Replies go out at 9600 baud (about 1 ms a byte).");
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
    CLI11_PARSE(app, argc, argv);

    const auto model = MountModelFromName(modelName);
    const auto nexstarModel = NexStarModelFromName(modelName);
    const auto mounting = NexStarMountingFromName(mountingName);
    if (!mounting) {
        std::cerr << "corvane-mountsim: --mount wants altaz, eqn or eqs\n";
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
    std::unique_ptr<MountSimulator> simulator;
    if (model) {
        MountParameters parameters = DefaultMountParameters(*model);
        parameters.polar = polar;
        simulator = std::make_unique<SimulatedMount>(*model, site, clock, parameters);
    } else if (earlyModel) {
        simulator = std::make_unique<SimulatedEarlyNexStar>(*earlyModel, site, clock);
    } else {
        NexStarParameters parameters = DefaultNexStarParameters(*nexstarModel);
        parameters.mounting = *mounting;
        simulator = std::make_unique<SimulatedNexStar>(*nexstarModel, site, clock, parameters);
    }
    MountSimulator& mount = *simulator;
    mount.Open(device);
    if (startUtc)
        mount.SetClockOffsetDays(*startUtc - (clock.LocalJulianDate() - site.utcOffsetHours / 24.0));

    if (pointAt.size() == 2) mount.PointAt(pointAt[0], pointAt[1]);

    std::cout << "ready on " << device << std::endl;

    const double start = clock.MonotonicSeconds();
    double nextLog = start;
    bool faultInjected = fault == MountFault::None;
    int exitCode = 0;
    while (!stopRequested) {
        const double now = clock.MonotonicSeconds();
        if (maxRuntime > 0 && now - start >= maxRuntime) break;
        if (!faultInjected && now - start >= faultAfter) {
            faultInjected = true;
            if (fault == MountFault::ClosedLine) {
                std::cout << "line closed" << std::endl;
                break;
            }
            mount.InjectFault(fault);
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
                std::fprintf(commands, "%.3f %s\n", clock.MonotonicSeconds(), received[commandsLogged].c_str());
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
